#pragma once
// The library's threads and the main thread: running a call in the main thread
// while the caller waits (plain, and through a gate that a closing port can
// shut), the main thread's own waits that keep the window alive, and thread
// priorities. No device is touched here.

#include <functional>
#include <memory>

// True when called in the thread that runs the application's event loop.
bool spIsMainThread();

// Runs fn in the main thread and returns after it has run. Called in the main
// thread itself it runs fn inline. Calls from several threads run in the order
// they were issued. Without an application object fn runs inline.
void spSynchronize(const std::function<void()>& fn);

// Runs fn in the main thread later and returns at once (a progress notice that
// must not hold its sender up). Same queue as spSynchronize: calls of both kinds
// run in the order they were issued. Without an application object fn runs inline.
void spPost(std::function<void()> fn);

// Main thread only: processes events until done() is true, waking at once on any
// posted event (a hand-over, received bytes, spWakeMainThread) and at least every
// sliceMs. Returns false when timeoutMs (negative: none) ran out first.
bool spProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs = -1, int sliceMs = 100);

// Any thread: make a main thread blocked in spProcessMessagesUntil look at its
// condition again now.
void spWakeMainThread();

// Hand-overs to the main thread that their owner can call off. A background
// thread's Synchronize behaves like spSynchronize (same queue, same order) until
// the gate is closed: then the waiting thread is released at once and no call
// that has not started yet will ever run. That lets a port close or be destroyed
// while its threads wait for the main thread, without waiting for them and
// without any late call reaching a dead object. Copies share one gate.
class TSpSyncGate {
public:
    TSpSyncGate();
    // Runs fn in the main thread and waits until it has run. False when the gate
    // was closed before fn started (fn then never runs).
    bool Synchronize(std::function<void()> fn) const;
    // Runs fn in the main thread later without waiting for it; same order as
    // Synchronize. Dropped when the gate is closed before it starts.
    void Post(std::function<void()> fn) const;
    // After Close no call starts; one that is running goes on.
    void Close() const;
    // Outside the main thread: waits until no call is running, so the caller may
    // free what calls use. In the main thread a running call is the caller's own
    // caller, and this returns at once.
    void WaitIdle() const;
    bool IsClosed() const;

    struct TState; // shared with the calls in flight

private:
    std::shared_ptr<TState> m_state;
};

// The framework's seven steps of thread priority.
enum TSpThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The kernel's id of the calling thread, for spSetThreadPriority.
int spCurrentThreadId();
// Best effort: raising a thread above normal needs privileges that a desktop
// user usually lacks, and the line works the same without them.
void spSetThreadPriority(int threadId, TSpThreadPriority priority);
