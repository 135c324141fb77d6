#include "BenchWindow.h"

#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "window/Unit1.h"

#include <QCoreApplication>

#include <cstdio>

TBenchWindow::TBenchWindow() = default;

TBenchWindow::~TBenchWindow()
{
    m_comm.reset();
    m_window.reset();
    SetMessageSink(nullptr);
}

bool TBenchWindow::Start(const char* bench, int bitRate)
{
    if (!Unit.Start(Folder.filePath(QStringLiteral("unit.json")), bitRate)) {
        std::fprintf(stderr, "%s: the emulated unit did not start\n", bench);
        return false;
    }
    // The window keeps its port choice in the user's configuration: not the
    // real one.
    qputenv("XDG_CONFIG_HOME", Folder.path().toLocal8Bit());
    m_window = std::make_unique<TForm1>(QCoreApplication::applicationFilePath());
    m_comm = std::make_unique<TFormComm>();
    SetMessageSink(&Sink);
    spOverrideDevice(m_window->Session()->PortNumber, Unit.Device);
    return true;
}
