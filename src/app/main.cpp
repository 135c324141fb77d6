// Program start: parlotel [--demo] [--demo-reset] [--help].
#include "DemoUnit.h"
#include "Unit1.h"
#include "serial/SpSystem.h"
#include "session/AAMenu.h"
#include "session/Comm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>
#include <optional>

namespace {

const QString DemoHint = QStringLiteral(
    "Демо: системный пароль 1234, пароль администратора 1111 (заводские; --demo-reset возвращает их)");

struct TOptions {
    bool Demo = false;
    bool Reset = false;
};

// Parsed before the application object exists, so that --help needs no display.
// Returns an exit code when the program should end at once.
std::optional<int> ParseOptions(int argc, char** argv, TOptions& options)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Parlotel: configures the auto-attendant unit over a serial line."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Start the emulated unit and connect the chosen COM port to it "
                                                 "for this run (nothing is stored)."));
    const QCommandLineOption reset(QStringLiteral("demo-reset"),
                                   QStringLiteral("Like --demo, with the unit back in its factory state."));
    parser.addOptions({help, demo, reset});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "parlotel: %s\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    options.Reset = parser.isSet(reset);
    options.Demo = options.Reset || parser.isSet(demo);
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    TOptions options;
    if (const auto exitCode = ParseOptions(argc, argv, options))
        return *exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlotel"));
    const QString demoFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/demo");

    TForm1 window(QCoreApplication::applicationFilePath());
    TFormComm comm;
    TDemoUnit unit;
    if (options.Demo) {
        if (!unit.Start(TDemoUnit::FindExecutable(QCoreApplication::applicationDirPath()), demoFolder,
                        options.Reset)) {
            QMessageBox::critical(nullptr, QStringLiteral("Parlotel"),
                                  QStringLiteral("Не удалось запустить эмулятор устройства: ") + unit.ErrorText());
            return 1;
        }
        spOverrideDevice(window.Session()->PortNumber, unit.Device());
        window.SetPasswordHint(DemoHint);
    }
    window.show();
    const int code = app.exec();
    SetApplicationTerminating(true);
    return code;
}
