// What the running program holds in memory: the real executable runs the
// headless export against the demo unit (`parlotel --export FILE --demo
// --password 1234`: it builds the main window and its catalogue, connects,
// reads every page and writes the file), while its resident set is read from
// /proc/PID/status every 10 ms. Reported: the largest VmRSS seen and the last
// VmHWM (peak) seen before it exited. Target: under 100 MB.
//   build/bench/memory/bench_memory
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int WaitMs = 120000;

// A field of /proc/PID/status in kB; -1 once the process is gone.
long long statusKb(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(PARLOTEL_EXE), {"--export", home.filePath(QStringLiteral("settings.txt")), "--demo",
                                                 "--password", "1234"});
    if (!program.waitForStarted(WaitMs))
        return std::fprintf(stderr, "bench_memory: the program did not start\n"), 1;
    const qint64 pid = program.processId();
    long long rss = 0, peak = 0;
    while (!program.waitForFinished(10)) {
        rss = std::max(rss, statusKb(pid, "VmRSS"));
        peak = std::max(peak, statusKb(pid, "VmHWM"));
    }
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return std::fprintf(stderr, "bench_memory: the export failed (exit code %d)\n", program.exitCode()), 1;
    std::printf("resident set of parlotel connected to the demo unit, every page read: largest VmRSS %.1f MB, "
                "peak VmHWM %.1f MB (target under 100 MB)\n",
                double(rss) / 1024, double(peak) / 1024);
    return 0;
}
