// How long a command line takes from SendAndWaitEcho to its echo when the far end
// answers at once, and what the open port costs while the line is quiet.
//   bench_line_latency [rounds]      (default 2000)
#include "session/Comm.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The far end: echoes every byte the moment it arrives.
void echoPeer(int master, const std::atomic<bool>& stop)
{
    char buf[4096];
    while (!stop.load()) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            [[maybe_unused]] ssize_t w = ::write(master, buf, size_t(n));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return std::fprintf(stderr, "no pseudo-terminal\n"), 1;
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    std::atomic<bool> stop{false};
    std::thread peer(echoPeer, master, std::cref(stop));

    TFormComm comm;
    comm.SpComm1.SetDeviceName(QString::fromLocal8Bit(ptsname(master)));
    comm.SpComm1.Open();

    std::vector<double> micros;
    int failures = 0;
    std::thread worker([&] {
        const QByteArray line = "GET 12345\r"; // ten bytes
        for (int i = 0; i < rounds; ++i) {
            const auto start = std::chrono::steady_clock::now();
            failures += comm.SendAndWaitEcho(line, 1000) != wrFound;
            micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    worker.join();

    std::sort(micros.begin(), micros.end());
    std::printf("SendAndWaitEcho, 10-byte line, %d rounds: median %.0f us, p99 %.0f us, max %.0f us, failures %d\n",
                rounds, micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back(), failures);

    // Connected and quiet: the event loop runs, the port's threads must sleep.
    const double before = cpuSeconds();
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("CPU time while connected and idle for 10 s: %.3f s\n", cpuSeconds() - before);

    comm.SpComm1.Close();
    stop.store(true);
    peer.join();
    ::close(master);
    return failures == 0 ? 0 : 1;
}
