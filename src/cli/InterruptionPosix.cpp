// The POSIX half of Interruption.h: the signal handler only writes a byte
// into a pipe, which a socket notifier reads in the main thread.
#include "Interruption.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int CaughtSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_pipe[2] = {-1, -1};
// What each signal did before. SIGHUP ignored then (under nohup) stays ignored.
// SIGINT and SIGTERM are always a request to stop: a shell script starts its
// background commands with SIGINT ignored, and a "kill -INT" sent to one must
// still stop it rather than let it finish as if nothing had been asked.
struct sigaction g_earlier[std::size(CaughtSignals)];

// Async-signal-safe: one byte into a non-blocking pipe, errno kept. A full
// pipe already holds enough signals to act on.
void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void CatchSignals()
{
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted: the serial and file calls of the run never see EINTR.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(CaughtSignals); ++i) {
        ::sigaction(CaughtSignals[i], nullptr, &g_earlier[i]);
        if (CaughtSignals[i] != SIGHUP || g_earlier[i].sa_handler != SIG_IGN)
            ::sigaction(CaughtSignals[i], &action, nullptr);
    }
}

void RestoreSignals()
{
    for (std::size_t i = 0; i < std::size(CaughtSignals); ++i)
        ::sigaction(CaughtSignals[i], &g_earlier[i], nullptr);
}

} // namespace

void TInterruption::Catch()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        ssize_t got = 0;
        while ((got = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
            for (ssize_t i = 0; i < got; ++i)
                Arrived();
    });
    m_watcher = notifier;
    CatchSignals();
}

void TInterruption::Release()
{
    if (!m_watcher)
        return;
    RestoreSignals();
    delete m_watcher;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}
