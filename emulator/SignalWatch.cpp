#include "SignalWatch.h"

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

TSignalWatch::TSignalWatch() = default;

TSignalWatch::~TSignalWatch()
{
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        std::signal(number, SIG_DFL);
    m_notifier.reset();
    for (const int fd : m_pipe)
        if (fd >= 0)
            ::close(fd);
}

bool TSignalWatch::Install(QString& error)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = QStringLiteral("cannot create the signal pipe");
        return false;
    }
    g_writeEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TSignalWatch::OnReadable);
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

void TSignalWatch::OnReadable()
{
    unsigned char number = 0;
    while (::read(m_pipe[0], &number, 1) == 1) {
        if (number == SIGUSR1)
            emit Report();
        else
            emit Terminate();
    }
}
