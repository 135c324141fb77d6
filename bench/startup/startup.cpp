// How long the program takes from its start to its main window shown: the real
// executable, started offscreen with PARLOTEL_EXIT_WHEN_SHOWN, which makes it
// print "shown" once the window is up and the event loop runs, and leave.
// Measured from the process start to that line (loading, Qt, the window, its
// catalogue); a fresh settings folder each round. Target: at most 1 s.
//   build/bench/startup/bench_startup [rounds]      (default 5)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int WaitMs = 30000;

// Seconds to "shown", or a negative value when the program did not get there.
double startOnce()
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("PARLOTEL_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(PARLOTEL_EXE), {});
    while (!program.canReadLine())
        if (!program.waitForReadyRead(WaitMs))
            return -1;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const bool shown = program.readLine().trimmed() == "shown";
    program.waitForFinished(WaitMs);
    return shown ? seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::vector<double> times;
    for (int round = 1; round <= rounds; ++round) {
        const double seconds = startOnce();
        if (seconds < 0) {
            std::fprintf(stderr, "bench_startup: the window was not shown\n");
            return 1;
        }
        std::printf("round %d: window shown after %.3f s\n", round, seconds);
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to the window shown: median %.3f s, worst %.3f s (target at most 1 s)\n",
                times[times.size() / 2], times.back());
    return 0;
}
