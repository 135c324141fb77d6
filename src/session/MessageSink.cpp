#include "MessageSink.h"

#include "serial/SpSync.h"
#include "support/Console.h"

#include <atomic>

namespace {

class TStderrSink : public TMessageSink {
public:
    void ShowMessage(TMsgKind kind, const QString& text) override
    {
        WriteText(TConsoleStream::Error,
                  (kind == TMsgKind::Error ? QStringLiteral("error: ") : QStringLiteral("warning: ")) + text + u'\n');
    }
    bool Confirm(const QString& text, TConfirmButtons) override
    {
        WriteText(TConsoleStream::Error, QStringLiteral("question (declined): ") + text + u'\n');
        return false;
    }
    TPasswordAnswer AskPassword(QString&) override { return TPasswordAnswer::Cancelled; }
};

TStderrSink g_stderrSink;
std::atomic<TMessageSink*> g_sink{nullptr};

TMessageSink& sink()
{
    TMessageSink* s = g_sink.load();
    return s ? *s : g_stderrSink;
}

} // namespace

TMessageSink& StandardErrorSink()
{
    return g_stderrSink;
}

void SetMessageSink(TMessageSink* s)
{
    g_sink.store(s);
}

TMessageSink* CurrentMessageSink()
{
    return &sink();
}

TMessageCounter::TMessageCounter() : m_earlier(CurrentMessageSink())
{
    SetMessageSink(this);
}

TMessageCounter::~TMessageCounter()
{
    SetMessageSink(m_earlier);
}

void TMessageCounter::ShowMessage(TMsgKind kind, const QString& text)
{
    ++m_count;
    m_earlier->ShowMessage(kind, text);
}

bool TMessageCounter::Confirm(const QString& text, TConfirmButtons buttons)
{
    ++m_count;
    return m_earlier->Confirm(text, buttons);
}

TPasswordAnswer TMessageCounter::AskPassword(QString& password)
{
    ++m_count;
    return m_earlier->AskPassword(password);
}

void ErrorBox(const QString& text)
{
    spSynchronize([&] { sink().ShowMessage(TMsgKind::Error, text); });
}

void WarningBox(const QString& text)
{
    spSynchronize([&] { sink().ShowMessage(TMsgKind::Warning, text); });
}

bool ConfirmBox(const QString& text, TConfirmButtons buttons)
{
    bool answer = false;
    spSynchronize([&] { answer = sink().Confirm(text, buttons); });
    return answer;
}

TPasswordAnswer PasswordBox(QString& password)
{
    TPasswordAnswer answer = TPasswordAnswer::Cancelled;
    spSynchronize([&] { answer = sink().AskPassword(password); });
    return answer;
}
