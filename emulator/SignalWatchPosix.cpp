// The POSIX half of SignalWatch.h: a self-pipe written by the handler and
// watched by the event loop.
#include "SignalWatch.h"

#include <QSocketNotifier>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_writeEnd = -1;

// Only async-signal-safe work here: the event loop does the rest.
void OnSignal(int number)
{
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &byte, 1);
}

} // namespace

struct TSignalWatch::TState {
    int Pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> Notifier;
};

TSignalWatch::TSignalWatch() : m_state(std::make_unique<TState>()) {}

TSignalWatch::~TSignalWatch()
{
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        std::signal(number, SIG_DFL);
    m_state->Notifier.reset();
    for (const int fd : m_state->Pipe)
        if (fd >= 0)
            ::close(fd);
}

bool TSignalWatch::Install(QString& error)
{
    int* pipe = m_state->Pipe;
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = QStringLiteral("cannot create the signal pipe");
        return false;
    }
    g_writeEnd = pipe[1];
    m_state->Notifier = std::make_unique<QSocketNotifier>(pipe[0], QSocketNotifier::Read);
    connect(m_state->Notifier.get(), &QSocketNotifier::activated, this, [this, readEnd = pipe[0]] {
        unsigned char number = 0;
        while (::read(readEnd, &number, 1) == 1) {
            if (number == SIGUSR1)
                emit Report();
            else
                emit Terminate();
        }
    });
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaction(number, &action, nullptr);
    // Writing to a reader that went away must fail with EPIPE, not end the unit.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}
