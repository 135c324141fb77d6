#pragma once
// Runs catalogue jobs one at a time for the commands without the window, and
// tells whether each went through: the job ended with no message box raised
// while it ran and the session still logged in. The boxes themselves still go
// to the sink that was there (the headless mode prints them).

#include "session/MessageSink.h"

class TForm1;
class TJoint1;

class TJobRunner {
public:
    explicit TJobRunner(TForm1& window);
    TJobRunner(const TJobRunner&) = delete;
    TJobRunner& operator=(const TJobRunner&) = delete;

    // Main thread: starts the job in state and waits until it has ended;
    // false without starting it once the run has been interrupted.
    bool Run(TJoint1* job, int state);
    bool Connected() const;
    bool SystemLevel() const;

private:
    TForm1& m_window;
    TMessageCounter m_messages;
};
