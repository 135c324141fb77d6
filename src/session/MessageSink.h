#pragma once
// The one seam for everything a person must answer while a job runs: error and
// warning boxes, confirmations and the password prompt. Whatever thread raises
// one, it is shown modally in the main thread while the caller waits. The window
// installs a sink that shows real boxes; tests and the headless mode install
// their own to answer or record them.

#include <QString>

#include <atomic>

enum class TMsgKind { Error, Warning };
enum class TConfirmButtons { OkCancel, YesNo };
enum class TPasswordAnswer { Entered, Untouched, Cancelled };

class TMessageSink {
public:
    virtual ~TMessageSink() = default;
    virtual void ShowMessage(TMsgKind kind, const QString& text) = 0;
    // True for OK or Yes.
    virtual bool Confirm(const QString& text, TConfirmButtons buttons) = 0;
    // Entered: password holds the text the user typed; Untouched: OK without
    // editing; Cancelled: cancel or the prompt was closed.
    virtual TPasswordAnswer AskPassword(QString& password) = 0;
};

// Installs the sink used from now on (not owned). nullptr restores the default,
// which prints messages to standard error, declines confirmations and cancels
// the password prompt, so nothing ever waits for a person who is not there.
void SetMessageSink(TMessageSink* sink);
TMessageSink* CurrentMessageSink();
// That default, for a sink that has nowhere to show a box any more.
TMessageSink& StandardErrorSink();

// While it exists: installed as the sink, it counts every box raised and
// passes each on to the sink that was there before it. Tells a series of jobs
// whether any of them came up with a message, whatever the jobs made of it.
class TMessageCounter : public TMessageSink {
public:
    TMessageCounter();
    ~TMessageCounter() override; // puts the earlier sink back
    TMessageCounter(const TMessageCounter&) = delete;
    TMessageCounter& operator=(const TMessageCounter&) = delete;

    int Count() const { return m_count.load(); }

    void ShowMessage(TMsgKind kind, const QString& text) override;
    bool Confirm(const QString& text, TConfirmButtons buttons) override;
    TPasswordAnswer AskPassword(QString& password) override;

private:
    TMessageSink* m_earlier;
    std::atomic<int> m_count{0};
};

void ErrorBox(const QString& text);
void WarningBox(const QString& text);
bool ConfirmBox(const QString& text, TConfirmButtons buttons = TConfirmButtons::OkCancel);
TPasswordAnswer PasswordBox(QString& password);
