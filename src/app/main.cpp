// Program start: the window, or with a command the headless mode
// (parlotel --help lists both).
#include "DemoUnit.h"
#include "Headless.h"
#include "LineTrace.h"
#include "ProgramOptions.h"
#include "Unit1.h"
#include "serial/SpSystem.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/MessageSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

const QString DemoHint = QStringLiteral(
    "Демо: системный пароль 1234, пароль администратора 1111 (заводские; --demo-reset возвращает их)");

// A headless run needs no display; a platform the user chose still wins.
void UseOffscreenUnlessChosen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int RunWindow(const TProgramOptions& options, const QString& demoFolder, QApplication& app)
{
    TForm1 window(QCoreApplication::applicationFilePath());
    TFormComm comm;
    TDemoUnit unit;
    if (options.Demo) {
        if (!unit.Start(TDemoUnit::FindExecutable(QCoreApplication::applicationDirPath()), demoFolder,
                        options.DemoReset)) {
            QMessageBox::critical(nullptr, QStringLiteral("Parlotel"),
                                  QStringLiteral("Не удалось запустить эмулятор устройства: ") + unit.ErrorText());
            return ecConnect;
        }
        spOverrideDevice(window.Session()->PortNumber, unit.Device());
        window.SetPasswordHint(DemoHint);
    }
    window.show();
    TLineTrace trace;
    QString error;
    if (!options.TracePath.isEmpty() && !trace.Open(options.TracePath, error))
        ErrorBox(error);
    else if (!options.TracePath.isEmpty())
        comm.SetLineTap(&trace);
    // The start-up benchmark times the program to its window: told so, it says
    // when the window is up and the event loop runs, and leaves.
    if (qEnvironmentVariableIsSet("PARLOTEL_EXIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, [&app] {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            app.quit();
        });
    const int code = app.exec();
    comm.SetLineTap(nullptr);
    SetApplicationTerminating(true); // before the window and the unit go
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    TProgramOptions options;
    if (const auto exitCode = ParseProgramOptions(argc, argv, options))
        return *exitCode;
    if (options.Headless)
        UseOffscreenUnlessChosen();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlotel"));
    const QString demoFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/demo");

    if (!options.Headless)
        return RunWindow(options, demoFolder, app);
    const int code = RunHeadless(*options.Headless, demoFolder);
    SetApplicationTerminating(true);
    return code;
}
