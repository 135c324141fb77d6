// Program start: the window, or with a command the headless mode
// (parlotel --help lists both).
#include "Headless.h"
#include "ProgramOptions.h"
#include "WindowRun.h"
#include "session/Server.h"

#include <QApplication>
#include <QStandardPaths>

namespace {

// A headless run needs no display; a platform the user chose still wins.
void UseOffscreenUnlessChosen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
