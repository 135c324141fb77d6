#pragma once
// Runs catalogue jobs one at a time for the commands without the window, and
// tells whether each went through: the job ended with no message box raised
// while it ran and the session still logged in. The boxes themselves still go
// to the sink that was there (the headless mode prints them).

#include "session/MessageSink.h"

#include <atomic>

class TForm1;
class TJoint1;

class TJobRunner : private TMessageSink {
public:
    explicit TJobRunner(TForm1& window);
    ~TJobRunner() override; // puts the earlier sink back
    TJobRunner(const TJobRunner&) = delete;
    TJobRunner& operator=(const TJobRunner&) = delete;

    // Main thread: starts the job in state and waits until it has ended;
    // false without starting it once the run has been interrupted.
    bool Run(TJoint1* job, int state);
    bool Connected() const;
    bool SystemLevel() const;

private:
    void ShowMessage(TMsgKind kind, const QString& text) override;
    bool Confirm(const QString& text, TConfirmButtons buttons) override;
    TPasswordAnswer AskPassword(QString& password) override;

    TForm1& m_window;
    TMessageSink* m_earlier;
    std::atomic<int> m_messages{0};
};
