// Whether the program keeps its resources over many sessions: the real window
// (offscreen) against the emulated unit, unpaced, cycle after cycle of connect,
// every page read, one setting written (the holiday switch, turned over each
// cycle), disconnect. Prints the resident memory, the open file descriptors
// and the threads after the first cycle and at each third of the run; any
// message box is printed and fails the run.
//   build/bench/soak/bench_soak [cycles]      (default 300; runs offscreen)
#include "BenchUnit.h"
#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "window/Unit1.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int JobsMs = 60000;

// "Name:   value kB" lines of /proc/self/status.
long statusValue(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(qsizetype(qstrlen(name))).trimmed().split(' ').value(0).toLong();
    return -1;
}

void printFigures(int cycle)
{
    const qsizetype fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    std::printf("cycle %4d   RSS %7ld kB   open fds %3lld   threads %2ld\n", cycle, statusValue("VmRSS:"),
                static_cast<long long>(fds), statusValue("Threads:"));
    std::fflush(stdout);
}

bool settle(TForm1& window)
{
    return window.Server()->WaitIdle(JobsMs) && window.BusyCount() == 0;
}

// One session: connect, every page, the holiday switch turned over, disconnect.
bool cycle(TForm1& window)
{
    window.PageControl1->setCurrentWidget(window.tbsNumbers);
    window.btnConnect->click();
    if (!settle(window) || window.Session()->Level != TAAMenu::lvSystem)
        return false;
    for (QWidget* page : {window.tbsGreetings, window.tbsTime, window.tbsMenu, window.tbsMail, window.tbsSysParams,
                          window.tbsMessages})
    {
        window.PageControl1->setCurrentWidget(page);
        if (!settle(window))
            return false;
    }
    window.PageControl1->setCurrentWidget(window.tbsTime);
    const bool holiday = window.cbHoliday->isChecked();
    window.cbHoliday->click();
    if (!settle(window) || window.cbHoliday->isChecked() == holiday)
        return false;
    window.btnDisconnect->click();
    return settle(window) && window.Session()->Level == TAAMenu::lvOff;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    TBenchUnit unit;
    if (!unit.Start(folder.filePath(QStringLiteral("unit.json")), 0)) {
        std::fprintf(stderr, "bench_soak: the emulated unit did not start\n");
        return 1;
    }
    TBenchSink sink;
    {
        TForm1 window(QCoreApplication::applicationFilePath());
        TFormComm comm;
        SetMessageSink(&sink);
        spOverrideDevice(window.Session()->PortNumber, unit.Device);
        window.show();
        for (int n = 1; n <= cycles; ++n) {
            if (!cycle(window) || sink.Boxes > 0) {
                std::fprintf(stderr, "bench_soak: cycle %d failed\n", n);
                return 1;
            }
            if (n == 1 || n == cycles || n % std::max(1, cycles / 3) == 0)
                printFigures(n);
        }
        SetMessageSink(nullptr);
    }
    spOverrideDevice(1, QString());
    return 0;
}
