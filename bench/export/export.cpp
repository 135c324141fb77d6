// How close to the line's own pace the headless commands work: the whole run
// (start, connect, the command, disconnect, exit) of
// `parlotel --export FILE --password 1234 --device PTY`, and of `--get 15` in its
// place, against the emulated unit in its factory state paced at 19200 bit/s,
// divided by the time the unit's own output takes on the line (bytes it sent
// during the run × 10 / 19200). A single setting is over in a tenth of a second,
// so the program's own start and end weigh on it: they are timed apart (a run
// whose device does not exist) and its ratio is given without them as well.
// With tcp or rfc2217 the program reaches the same unit through ser2net on the
// loopback (its raw tcp accepter, or telnet(rfc2217)), as across a network.
//   build/bench/export/bench_export [rounds] [tcp|rfc2217]     (default 3, the pseudo-terminal)
#include "BenchUnit.h"
#include "Ser2net.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

constexpr int BitRate = 19200;
constexpr int WaitMs = 120000;

// One run of the program; its time in seconds, nothing when it did not end
// with the exit code expected.
std::optional<double> Run(const QStringList& args, int expected)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (expected != 0) // the failure is the point
        program.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(PARLOTEL_EXE), args);
    if (!program.waitForFinished(WaitMs) || program.exitCode() != expected) {
        std::fprintf(stderr, "parlotel %s: exit code %d\n", qPrintable(args.join(u' ')), program.exitCode());
        return std::nullopt;
    }
    return clock.nsecsElapsed() / 1e9;
}

// The program's own start and end: the fastest of rounds runs that fail at once.
std::optional<double> StartAndEnd(int rounds)
{
    double fastest = WaitMs;
    for (int round = 1; round <= rounds; ++round) {
        const auto seconds = Run({"--get", "15", "--password", "1234", "--device", "/dev/parlotel-bench-none"}, 1);
        if (!seconds)
            return std::nullopt;
        fastest = std::min(fastest, *seconds);
    }
    std::printf("start and end of the program %.3f s (fastest of %d)\n", fastest, rounds);
    return fastest;
}

struct TWorst {
    double Ratio = 0;
    double RatioWithoutStart = 0;
};

// The worst ratios of rounds runs of the command; nothing when one failed.
std::optional<TWorst> Measure(TBenchUnit& unit, const QString& device, const char* name, const QStringList& command,
                              int rounds, double start)
{
    std::printf("%s\nround  seconds  unit bytes  line seconds  ratio  without start and end\n", name);
    TWorst worst;
    for (int round = 1; round <= rounds; ++round) {
        const qint64 before = unit.Sent();
        const auto seconds = Run(command + QStringList{"--password", "1234", "--device", device}, 0);
        if (!seconds)
            return std::nullopt;
        const qint64 bytes = unit.Sent() - before;
        const double line = bytes * 10.0 / BitRate;
        worst.Ratio = std::max(worst.Ratio, *seconds / line);
        worst.RatioWithoutStart = std::max(worst.RatioWithoutStart, (*seconds - start) / line);
        std::printf("%5d  %7.3f  %10lld  %12.3f  %5.3f  %5.3f\n", round, *seconds, bytes, line, *seconds / line,
                    (*seconds - start) / line);
    }
    return worst;
}

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
    const QString scheme = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    std::unique_ptr<TestSupport::TSer2net> server;
    QString device = unit.Device;
    if (!scheme.isEmpty()) {
        server = std::make_unique<TestSupport::TSer2net>(
            folder.path(), scheme == QLatin1String("rfc2217") ? TestSupport::TSer2net::Rfc2217 : TestSupport::TSer2net::RawTcp,
            unit.Device, 0, TestSupport::TSer2net::Prompt);
        if (!server->Start()) {
            std::fprintf(stderr, "ser2net did not start (%s)\n", qPrintable(scheme));
            return 1;
        }
        device = server->Address();
        std::printf("through ser2net: %s\n", qPrintable(device));
    }
    const auto start = StartAndEnd(5);
    if (!start)
        return 1;
    const auto exported =
        Measure(unit, device, "export", {"--export", folder.filePath(QStringLiteral("settings.txt"))}, rounds, *start);
    const auto single = Measure(unit, device, "get 15", {"--get", "15"}, rounds, *start);
    server.reset();
    if (!exported || !single)
        return 1;
    std::printf("worst ratio %.3f (target at most 1.15)\n", exported->Ratio);
    std::printf("worst single-setting ratio %.3f, without start and end %.3f (target at most 1.3)\n", single->Ratio,
                single->RatioWithoutStart);
    return 0;
}
