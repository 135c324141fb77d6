#include "WindowRun.h"

#include "Unit1.h"
#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "session/Server.h"
#include "support/DemoUnit.h"
#include "support/ExitCodes.h"
#include "support/LineTrace.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace {

const QString DemoHint = QStringLiteral(
    "Демо: системный пароль 1234, пароль администратора 1111 (заводские; --demo-reset возвращает их)");

} // namespace

int RunWindow(const TWindowOptions& options, const QString& demoFolder, QApplication& app)
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
        ErrorBox(QStringLiteral("Не удалось открыть файл трассировки %1: %2").arg(options.TracePath, error));
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
    // Closing the window while connected logs out inside the loop, so the
    // trace still sees the goodbye.
    const int code = app.exec();
    comm.SetLineTap(nullptr);
    if (!trace.Close(error))
        ErrorBox(error);
    SetApplicationTerminating(true); // before the window and the unit go
    return code;
}
