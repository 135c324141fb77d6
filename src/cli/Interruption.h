#pragma once
// Ctrl-C, SIGTERM and SIGHUP during a headless run (on Windows Ctrl-C,
// Ctrl-Break and the console closing). The handler only hands the signal on;
// the main thread takes it while it waits for the worker (its waits process
// events) and calls OnFirst, or OnSecond for any later signal. The commands ask Requested() before each next job, so that a
// run ends at a safe point: transfers cancelled, the unit told goodbye, the
// trace closed whole.

#include <QObject>

#include <functional>

class TInterruption : public QObject {
public:
    // Catches the three signals until destroyed; one object at a time.
    TInterruption();
    ~TInterruption() override; // the signals end the program again
    TInterruption(const TInterruption&) = delete;
    TInterruption& operator=(const TInterruption&) = delete;

    // Main thread. OnFirst should only ask the running work to stop; OnSecond
    // ends the program.
    std::function<void()> OnFirst;
    std::function<void()> OnSecond;

    // Any thread: a signal has come during this run.
    static bool Requested();

private:
    // The platform's half (InterruptionPosix.cpp, InterruptionWin32.cpp): Catch makes m_watcher call
    // Arrived in the main thread once for each signal that comes; nothing is
    // caught when it fails, and the signals keep ending the program at once.
    void Catch();
    void Release();
    void Arrived();

    QObject* m_watcher = nullptr;
    int m_count = 0;
};
