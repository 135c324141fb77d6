#include "Server.h"

#include "MessageSink.h"
#include "serial/SpSync.h"

#include <QThread>

#include <exception>

namespace {
std::atomic<bool> g_terminating{false};
}

bool ApplicationTerminating()
{
    return g_terminating.load();
}

void SetApplicationTerminating(bool terminating)
{
    g_terminating.store(terminating);
}

bool TJoint::Process()
{
    WarningBox(QStringLiteral("TJoint: process ?"));
    return false;
}

bool TJoint::NeedsMainThread()
{
    return false;
}

TCOMServer::TCOMServer()
{
    m_thread.reset(QThread::create([this] { Run(); }));
    m_thread->setObjectName(QStringLiteral("TCOMServer"));
    // Started at once but asleep until the first Start: "created not running"
    // is only about jobs, and this avoids a start-up race on the first hand-over.
    m_thread->start(QThread::HighestPriority);
}

TCOMServer::~TCOMServer()
{
    m_stop.store(true);
    m_wake.Set();
    // The worker may be inside a hand-over to this thread: keep serving them.
    spProcessMessagesUntil([this] { return m_finished.load(); });
    m_thread->wait();
}

void TCOMServer::Start(TJoint* job)
{
    if (OnBeforeStart)
        OnBeforeStart();
    m_job.store(job);
    m_wake.Set();
}

bool TCOMServer::WaitIdle(int timeoutMs)
{
    return spProcessMessagesUntil([this] { return IdleEvent.IsSet(); }, timeoutMs);
}

bool TCOMServer::ShouldStop() const
{
    return m_stop.load() || ApplicationTerminating();
}

void TCOMServer::Run()
{
    for (;;) {
        m_wake.Wait(-1);
        if (m_stop.load())
            break;
        m_done.store(false);
        while (!m_done.load() && !ShouldStop()) {
            TJoint* job = m_job.load();
            bool done = true;
            try {
                if (job->NeedsMainThread())
                    spSynchronize([&] { done = job->Process(); });
                else
                    done = job->Process();
            } catch (const std::exception& e) {
                // Expected failures are reported by the steps themselves; anything
                // else ends the job with its text rather than the program.
                ErrorBox(QString::fromUtf8(e.what()));
                done = true;
            }
            m_done.store(done);
        }
        if (m_done.load() && OnAfterDone && !m_stop.load())
            spSynchronize(OnAfterDone);
        IdleEvent.Set();
        spWakeMainThread();
        if (ShouldStop())
            break;
    }
    IdleEvent.Set();
    m_finished.store(true);
    spWakeMainThread();
}

void TBusyBracket::BeginBusy()
{
    if (++m_count == 1 && OnBusy)
        OnBusy();
}

void TBusyBracket::EndBusy()
{
    if (--m_count == 0 && OnReady)
        OnReady();
}
