#pragma once
// The job engine. Every exchange with the unit is a job (TJoint): a state number
// and one step at a time. One worker thread (TCOMServer) steps one job at a time
// until it reports done, running the steps that touch the window in the main
// thread while it waits. The busy bracket (TBusyBracket) keeps the window from
// starting a second exchange while one runs.

#include "serial/SpClasses.h"

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Process-wide "the application is terminating": no job is started or stepped
// any more once it is set.
bool ApplicationTerminating();
void SetApplicationTerminating(bool terminating);

class TJoint {
public:
    virtual ~TJoint() = default;

    // 0 means idle or finished; the caller sets it before handing the job over.
    int State = 0;

    // One step; true when the job is done.
    virtual bool Process();
    // Whether the step for the current State must run in the main thread.
    virtual bool NeedsMainThread();
};

class TCOMServer {
public:
    TCOMServer(); // its thread starts at once and sleeps until the first Start
    // Stops the worker after its current step and waits for it, serving its
    // hand-overs to the main thread meanwhile so that it can finish.
    ~TCOMServer();
    TCOMServer(const TCOMServer&) = delete;
    TCOMServer& operator=(const TCOMServer&) = delete;

    // Signalled while no job runs. Whoever hands a job over resets it first.
    TSpWaitEvent IdleEvent{true, true};
    std::function<void()> OnBeforeStart; // run in the caller's thread by Start
    std::function<void()> OnAfterDone;   // run in the main thread after each job

    // Main thread: OnBeforeStart, then run the job on the worker.
    void Start(TJoint* job);
    // The job being stepped; a step may replace it (the session hands over to
    // the job it navigated for), and the next step is taken from the new one.
    TJoint* Job() const { return m_job.load(); }
    void SetJob(TJoint* job) { m_job.store(job); }
    bool Done() const { return m_done.load(); }

    // Main thread: wait until the worker is idle, processing window messages.
    // Returns false when timeoutMs (negative: none) ran out first.
    bool WaitIdle(int timeoutMs = -1);

private:
    void Run();
    bool ShouldStop() const;

    std::atomic<TJoint*> m_job{nullptr};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    TSpWaitEvent m_wake{false, false}; // auto reset: a Start is remembered
    std::unique_ptr<QThread> m_thread;
};

// The nesting counter behind the window's busy look. It starts at 1; the window
// calls EndBusy once when it is ready. Main thread only.
class TBusyBracket {
public:
    std::function<void()> OnBusy;  // count went from 0 to 1
    std::function<void()> OnReady; // count went back to 0

    void BeginBusy();
    void EndBusy();
    int BusyCount() const { return m_count; }

private:
    int m_count = 1;
};
