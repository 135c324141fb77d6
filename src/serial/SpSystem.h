#pragma once
// Platform layer of the serial library: running a call in the main thread while
// the caller waits, the main thread's own waits that keep the window alive, and
// (further below) the POSIX serial device calls.

#include <functional>

// True when called in the thread that runs the application's event loop.
bool spIsMainThread();

// Runs fn in the main thread and returns after it has run. Called in the main
// thread itself it runs fn inline. Calls from several threads run in the order
// they were issued. Without an application object fn runs inline.
void spSynchronize(const std::function<void()>& fn);

// Main thread only: processes events until done() is true, waking at once on any
// posted event (a hand-over, received bytes, spWakeMainThread) and at least every
// sliceMs. Returns false when timeoutMs (negative: none) ran out first.
bool spProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs = -1, int sliceMs = 100);

// Any thread: make a main thread blocked in spProcessMessagesUntil look at its
// condition again now.
void spWakeMainThread();
