// How close to the line's own pace the headless export works: the whole run of
// `parlotel --export FILE --password 1234 --device PTY` (start, connect, every
// page, file, disconnect, exit) against the emulated unit in its factory state
// paced at 19200 bit/s, divided by the time the unit's own output takes on the
// line (bytes it sent during the run × 10 / 19200).
//   build/bench/export/bench_export [rounds]      (default 3)
#include "BenchUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int BitRate = 19200;
constexpr int WaitMs = 120000;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir folder;
    TBenchUnit unit;
    if (!unit.Start(folder.filePath(QStringLiteral("unit.json")), BitRate)) {
        std::fprintf(stderr, "the emulated unit did not start\n");
        return 1;
    }
    const QString file = folder.filePath(QStringLiteral("settings.txt"));
    std::printf("round  seconds  unit bytes  line seconds  ratio\n");
    double worst = 0;
    for (int round = 1; round <= rounds; ++round) {
        const qint64 before = unit.Sent();
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        program.start(QStringLiteral(PARLOTEL_EXE),
                      {"--export", file, "--password", "1234", "--device", unit.Device});
        if (!program.waitForFinished(WaitMs) || program.exitCode() != 0) {
            std::fprintf(stderr, "the export failed (exit code %d)\n", program.exitCode());
            return 1;
        }
        const double seconds = clock.elapsed() / 1000.0;
        const qint64 bytes = unit.Sent() - before;
        const double line = bytes * 10.0 / BitRate;
        worst = std::max(worst, seconds / line);
        std::printf("%5d  %7.2f  %10lld  %12.2f  %5.3f\n", round, seconds, bytes, line, seconds / line);
    }
    std::printf("worst ratio %.3f (target at most 1.15)\n", worst);
    return 0;
}
