#include "JobRunner.h"

#include "Interruption.h"
#include "Unit1.h"
#include "session/AAMenu.h"

TJobRunner::TJobRunner(TForm1& window) : m_window(window), m_earlier(CurrentMessageSink())
{
    SetMessageSink(this);
}

TJobRunner::~TJobRunner()
{
    SetMessageSink(m_earlier);
}

bool TJobRunner::Run(TJoint1* job, int state)
{
    if (!Connected() || TInterruption::Requested())
        return false;
    const int before = m_messages.load();
    job->State = state;
    m_window.Session()->Submit(job);
    m_window.Server()->WaitIdle();
    return m_messages.load() == before && Connected();
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

void TJobRunner::ShowMessage(TMsgKind kind, const QString& text)
{
    ++m_messages;
    m_earlier->ShowMessage(kind, text);
}

bool TJobRunner::Confirm(const QString& text, TConfirmButtons buttons)
{
    ++m_messages;
    return m_earlier->Confirm(text, buttons);
}

TPasswordAnswer TJobRunner::AskPassword(QString& password)
{
    ++m_messages;
    return m_earlier->AskPassword(password);
}
