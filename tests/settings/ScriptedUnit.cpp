#include "ScriptedUnit.h"

#include <QCoreApplication>

#include <poll.h>
#include <string_view>
#include <unistd.h>

namespace TestSupport {

TScriptedUnit::TScriptedUnit(TPtyPair& pty)
    : m_pty(pty)
    , m_thread([this] { Run(); })
{
}

TScriptedUnit::~TScriptedUnit()
{
    m_stop = true;
    m_thread.join();
}

void TScriptedUnit::On(const QByteArray& request, const QByteArray& reply, bool echoAfter)
{
    std::lock_guard lock(m_mutex);
    m_rules.push_back({request, reply, echoAfter});
}

void TScriptedUnit::Send(const QByteArray& bytes)
{
    std::lock_guard lock(m_mutex);
    m_pty.Write(bytes);
}

void TScriptedUnit::SetEcho(bool echo)
{
    std::lock_guard lock(m_mutex);
    m_echo = echo;
}

QByteArray TScriptedUnit::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void TScriptedUnit::ClearReceived()
{
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

int TScriptedUnit::Pending() const
{
    std::lock_guard lock(m_mutex);
    return int(m_rules.size());
}

void TScriptedUnit::Run()
{
    while (!m_stop) {
        pollfd fd{m_pty.MasterFd(), POLLIN, 0};
        if (::poll(&fd, 1, 20) <= 0 || !(fd.revents & POLLIN))
            continue;
        char buffer[512];
        const ssize_t n = ::read(m_pty.MasterFd(), buffer, sizeof buffer);
        if (n > 0)
            Take(buffer, int(n));
    }
}

void TScriptedUnit::Take(const char* bytes, int count)
{
    std::lock_guard lock(m_mutex);
    m_received.append(bytes, count); // a copy: nothing shared with this thread
    // The unit echoes each byte as it arrives, before it answers a line.
    for (char byte : std::string_view(bytes, size_t(count))) {
        if (m_echo)
            m_pty.Write(QByteArray(1, byte));
        m_unanswered += byte;
        if (m_rules.empty())
            continue;
        const TRule& rule = m_rules.front();
        if (!m_unanswered.endsWith(rule.Request))
            continue;
        m_pty.Write(rule.Reply);
        m_echo = rule.EchoAfter;
        m_unanswered.clear();
        m_rules.pop_front();
    }
}

TJobRunner::TJobRunner(const QString& device)
{
    Comm.SpComm1.SetDeviceName(device);
    Comm.SpComm1.Open();
}

TJobRunner::~TJobRunner()
{
    m_server->WaitIdle(30000);
    m_server.reset();
    // The worker's last wake-up call is still queued; run it now rather than
    // leave it to the application's shutdown, where the thread sanitizer
    // cannot see how it was handed over.
    QCoreApplication::sendPostedEvents();
}

bool TJobRunner::Run(TJoint& job, int state, int timeoutMs)
{
    if (!m_server->WaitIdle(timeoutMs))
        return false;
    job.State = state;
    m_server->IdleEvent.Reset();
    m_server->Start(&job);
    return m_server->WaitIdle(timeoutMs);
}

} // namespace TestSupport
