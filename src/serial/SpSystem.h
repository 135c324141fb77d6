#pragma once
// Platform layer of the serial library: running a call in the main thread while
// the caller waits (plain, and through a gate that a closing port can shut), the
// main thread's own waits that keep the window alive, thread priorities, and the
// POSIX serial device calls behind the port.

#include <QString>

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

// "COM%d" with 2 gives "COM2": the first "%d" takes the number; a pattern
// without it is used unchanged.
QString spFormatDeviceName(const QString& pattern, int portNum);
// The device a name stands for: "/..." as it stands; "COMn" through this run's
// override (spOverrideDevice), else the setting Devices/COMn when present, else
// {devRoot}/ttyUSB{n-1} when that exists, else {devRoot}/ttyS{n-1}; anything
// else unchanged.
QString spResolveDevice(const QString& name, const QString& devRoot = QStringLiteral("/dev"));
// The device "COMn" stands for when nothing is assigned to it.
QString spAutomaticComDevice(int port, const QString& devRoot = QStringLiteral("/dev"));
// Points "COMn" at device for the rest of this run, ahead of the stored setting
// and without touching it (the demo mode's emulated unit); an empty device
// removes the override.
void spOverrideDevice(int port, const QString& device);

// The line settings as the device layer applies them.
struct TSpLineSettings {
    int BitRate = 19200;
    int Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int DataBits = 8; // 5 to 8
    int StopBits = 0; // 0 one, 1 one and a half, 2 two
    bool HardwareFlow = false;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool ParityCheck = false;
    unsigned char XonChar = 17;
    unsigned char XoffChar = 19;
    bool Dtr = false; // line held on
    bool Rts = false;
};

// Every function below returns 0 or the errno of the failed call.

// Opens for exclusive use, non-blocking, with DTR and RTS dropped.
int spOpenDevice(const QString& path, int& fd);
// Gives up the exclusive use at once; the descriptor itself is closed by its
// last user with ::close.
void spReleaseDevice(int fd);
// Raw mode with the given settings; EINVAL for a setting the platform lacks.
int spApplyLineSettings(int fd, const TSpLineSettings& settings);
// Reads return at once with whatever is waiting.
int spSetImmediateReads(int fd);
int spBytesWaiting(int fd, int& count);
int spBytesUnsent(int fd, int& count);
// code: 1 abort writes, 2 abort reads, 4 clear output, 8 clear input.
int spPurgeDevice(int fd, int code);
QString spErrorText(int err);

// A descriptor that poll() sees readable once signalled: how another thread
// wakes a thread that sleeps in poll() on the device.
class TSpWakeFd {
public:
    TSpWakeFd();
    ~TSpWakeFd();
    TSpWakeFd(const TSpWakeFd&) = delete;
    TSpWakeFd& operator=(const TSpWakeFd&) = delete;
    int Fd() const { return m_fd; }
    void Signal() const;
    void Drain() const;

private:
    int m_fd = -1;
};
