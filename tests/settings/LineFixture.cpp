#include "LineFixture.h"

namespace {

class TCallJob : public TJoint {
public:
    explicit TCallJob(std::function<void()> fn) : m_fn(std::move(fn)) {}
    bool Process() override
    {
        m_fn();
        return true;
    }

private:
    std::function<void()> m_fn;
};

} // namespace

TLineFixture::TLineFixture()
{
    Comm.SpComm1.SetDeviceName(Pty.SlavePath());
    Comm.SpComm1.Open();
}

bool TLineFixture::Run(TJoint& job, int state, int limitMs)
{
    if (!Server.WaitIdle(limitMs))
        return false;
    job.State = state;
    Server.IdleEvent.Reset();
    Server.Start(&job);
    return Server.WaitIdle(limitMs);
}

bool TLineFixture::RunOnWorker(std::function<void()> fn, int limitMs)
{
    if (!Server.WaitIdle(limitMs))
        return false;
    m_call = std::make_unique<TCallJob>(std::move(fn));
    return Run(*m_call, 1, limitMs);
}
