#include "JobRunner.h"

#include "Interruption.h"
#include "session/AAMenu.h"
#include "window/Unit1.h"

TJobRunner::TJobRunner(TForm1& window) : m_window(window) {}

bool TJobRunner::Run(TJoint1* job, int state)
{
    if (!Connected() || TInterruption::Requested())
        return false;
    const int before = m_messages.Count();
    job->State = state;
    m_window.Session()->Submit(job);
    m_window.Server()->WaitIdle();
    return m_messages.Count() == before && Connected();
}

bool TJobRunner::Connected() const
{
    const uint8_t level = m_window.Session()->Level;
    return level == TAAMenu::lvAdmin || level == TAAMenu::lvSystem;
}

bool TJobRunner::SystemLevel() const
{
    return m_window.Session()->Level == TAAMenu::lvSystem;
}
