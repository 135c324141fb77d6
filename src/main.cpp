// Program start: the window, or with a command the headless mode
// (parlotel --help lists both).
#include "cli/Headless.h"
#include "cli/ProgramOptions.h"
#include "session/Server.h"
#include "support/Console.h"
#include "window/WindowRun.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// A headless run needs no display; a platform the user chose still wins.
void UseOffscreenUnlessChosen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A command's standard error is the user's: Qt's own diagnostics (such as
// "XDG_RUNTIME_DIR not set" under cron or su) are not for them.
void KeepQtDiagnosticsQuiet(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        qt_message_output(type, context, text);
}

// Messages while the window's application object is made: held back, since
// without a display Qt ends the program with an abort and advice to reinstall
// it, where the user needs to hear what is missing.
std::vector<std::pair<QtMsgType, QString>> g_startMessages;

void HoldStartMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        g_startMessages.emplace_back(type, text);
        return;
    }
    WriteText(TConsoleStream::Error,
              QStringLiteral("parlotel: the window needs a graphical display and none could be opened (DISPLAY or "
                             "WAYLAND_DISPLAY); the commands run without one (parlotel --help)\n"));
    std::_Exit(ecConnect);
}

void ReleaseStartMessages()
{
    qInstallMessageHandler(nullptr);
    for (const auto& [type, text] : std::exchange(g_startMessages, {}))
        qt_message_output(type, QMessageLogContext(), text);
}

} // namespace

int main(int argc, char** argv)
{
    TProgramOptions options;
    if (const auto exitCode = ParseProgramOptions(argc, argv, options))
        return *exitCode;
    if (options.Headless) {
        UseOffscreenUnlessChosen();
        qInstallMessageHandler(KeepQtDiagnosticsQuiet);
    } else {
        qInstallMessageHandler(HoldStartMessages);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlotel"));
    const QString demoFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/demo");

    if (!options.Headless) {
        ReleaseStartMessages();
        return RunWindow(options, demoFolder, app);
    }
    const int code = RunHeadless(*options.Headless, demoFolder);
    SetApplicationTerminating(true);
    return code;
}
