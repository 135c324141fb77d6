#include "SpSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include <cerrno>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SP_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define SP_TSAN 1
#endif
#ifdef SP_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace {

// A call posted to the main thread. WhenGone runs when the event is destroyed,
// whether or not the call ran (the application may drop it at shutdown), so a
// waiting thread is always released.
class TCallEvent : public QEvent {
public:
    static QEvent::Type Kind()
    {
        static const auto kind = QEvent::Type(QEvent::registerEventType());
        return kind;
    }
    TCallEvent(std::function<void()> call, std::function<void()> whenGone)
        : QEvent(Kind()), m_call(std::move(call)), m_whenGone(std::move(whenGone))
    {
    }
    ~TCallEvent() override
    {
#ifdef SP_TSAN
        __tsan_acquire(this); // also when Qt discards the event unrun at exit
#endif
        if (m_whenGone)
            m_whenGone();
    }
    void Run() { m_call(); }

private:
    std::function<void()> m_call;
    std::function<void()> m_whenGone;
};

// Runs posted calls in the main thread. Qt's queue hands the event over with
// locks the thread sanitizer cannot see; the annotations tell it.
class TMainRunner : public QObject {
public:
    bool event(QEvent* e) override
    {
#ifdef SP_TSAN
        __tsan_acquire(e);
#endif
        if (e->type() != TCallEvent::Kind())
            return QObject::event(e);
        static_cast<TCallEvent*>(e)->Run();
        return true;
    }
};

void postToMain(std::function<void()> call, std::function<void()> whenGone)
{
    static TMainRunner* const runner = [] {
        auto* r = new TMainRunner; // lives as long as the process
        r->moveToThread(QCoreApplication::instance()->thread());
        return r;
    }();
    auto* e = new TCallEvent(std::move(call), std::move(whenGone));
#ifdef SP_TSAN
    __tsan_release(e);
#endif
    QCoreApplication::postEvent(runner, e);
}

} // namespace

bool spIsMainThread()
{
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void spSynchronize(const std::function<void()>& fn)
{
    if (spIsMainThread()) {
        fn();
        return;
    }
    struct TDone {
        std::mutex Mutex;
        std::condition_variable Cond;
        bool Gone = false;
    };
    auto done = std::make_shared<TDone>();
    // One queue for every hand-over keeps the issuing order.
    postToMain([&fn] { fn(); }, [done] {
        std::lock_guard lock(done->Mutex);
        done->Gone = true;
        done->Cond.notify_all();
    });
    std::unique_lock lock(done->Mutex);
    done->Cond.wait(lock, [&] { return done->Gone; });
}

void spPost(std::function<void()> fn)
{
    if (!QCoreApplication::instance()) {
        fn();
        return;
    }
    postToMain(std::move(fn), {});
}

bool spProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        qint64 left = sliceMs;
        if (timeoutMs >= 0) {
            left = timeoutMs - clock.elapsed();
            if (left <= 0)
                return false;
            left = std::min<qint64>(left, sliceMs);
        }
        // The timer bounds the slice; any posted event ends it earlier.
        QTimer slice;
        slice.setSingleShot(true);
        slice.start(int(left));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void spWakeMainThread()
{
    if (QCoreApplication::instance())
        postToMain([] {}, {});
}

struct TSpSyncGate::TState {
    std::mutex Mutex;
    std::condition_variable Cond;
    bool Closed = false;
    int Running = 0;
};

namespace {

// What a waiting thread knows of its call.
struct TSyncCall {
    bool Started = false;
    bool Finished = false;
    bool Gone = false; // the posted call ran or was dropped
};

// Runs f unless the gate is closed, counted as running meanwhile.
bool runGuarded(const std::shared_ptr<TSpSyncGate::TState>& st, const std::function<void()>& f)
{
    {
        std::lock_guard lock(st->Mutex);
        if (st->Closed)
            return false;
        ++st->Running;
    }
    try {
        f();
    } catch (...) {
        std::lock_guard lock(st->Mutex);
        --st->Running;
        st->Cond.notify_all();
        throw;
    }
    std::lock_guard lock(st->Mutex);
    --st->Running;
    st->Cond.notify_all();
    return true;
}

} // namespace

TSpSyncGate::TSpSyncGate() : m_state(std::make_shared<TState>()) {}

bool TSpSyncGate::Synchronize(std::function<void()> fn) const
{
    const auto st = m_state;
    if (spIsMainThread())
        return runGuarded(st, fn);

    auto call = std::make_shared<TSyncCall>();
    {
        std::lock_guard lock(st->Mutex);
        if (st->Closed)
            return false;
    }
    postToMain(
        [st, call, fn = std::move(fn)] {
            {
                std::lock_guard lock(st->Mutex);
                call->Started = true;
            }
            const bool ran = runGuarded(st, fn);
            std::lock_guard lock(st->Mutex);
            call->Finished = ran;
        },
        [st, call] {
            std::lock_guard lock(st->Mutex);
            call->Gone = true;
            st->Cond.notify_all();
        });

    std::unique_lock lock(st->Mutex);
    st->Cond.wait(lock, [&] { return call->Gone || (st->Closed && !call->Started); });
    return call->Finished;
}

void TSpSyncGate::Post(std::function<void()> fn) const
{
    const auto st = m_state;
    spPost([st, fn = std::move(fn)] { runGuarded(st, fn); });
}

void TSpSyncGate::Close() const
{
    std::lock_guard lock(m_state->Mutex);
    m_state->Closed = true;
    m_state->Cond.notify_all();
}

void TSpSyncGate::WaitIdle() const
{
    if (spIsMainThread())
        return;
    std::unique_lock lock(m_state->Mutex);
    m_state->Cond.wait(lock, [this] { return m_state->Running == 0; });
}

bool TSpSyncGate::IsClosed() const
{
    std::lock_guard lock(m_state->Mutex);
    return m_state->Closed;
}

int spCurrentThreadId()
{
    return int(::syscall(SYS_gettid));
}

void spSetThreadPriority(int threadId, TSpThreadPriority priority)
{
    // Linux gives each thread its own nice value; that is the only priority
    // ordinary threads have.
    static const int nice[] = {19, 10, 5, 0, -5, -10, -20};
    ::setpriority(PRIO_PROCESS, id_t(threadId), nice[priority]);
}

QString spFormatDeviceName(const QString& pattern, int portNum)
{
    const qsizetype at = pattern.indexOf(QLatin1String("%d"));
    if (at < 0)
        return pattern;
    return pattern.left(at) + QString::number(portNum) + pattern.mid(at + 2);
}

namespace {

std::mutex g_overrideMutex;
QMap<int, QString> g_overrides;

QString overriddenDevice(int port)
{
    std::lock_guard lock(g_overrideMutex);
    return g_overrides.value(port);
}

} // namespace

void spOverrideDevice(int port, const QString& device)
{
    std::lock_guard lock(g_overrideMutex);
    if (device.isEmpty())
        g_overrides.remove(port);
    else
        g_overrides.insert(port, device);
}

QString spAutomaticComDevice(int port, const QString& devRoot)
{
    const QString usb = QStringLiteral("%1/ttyUSB%2").arg(devRoot).arg(port - 1);
    if (QFileInfo::exists(usb))
        return usb;
    return QStringLiteral("%1/ttyS%2").arg(devRoot).arg(port - 1);
}

QString spResolveDevice(const QString& name, const QString& devRoot)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"));
    const auto match = comName.match(name);
    if (!match.hasMatch())
        return name;
    const int port = match.captured(1).toInt();
    if (const QString overridden = overriddenDevice(port); !overridden.isEmpty())
        return overridden;
    QSettings settings(QStringLiteral("pt71qm"));
    const QString mapped = settings.value(QStringLiteral("Devices/") + name).toString();
    if (!mapped.isEmpty())
        return mapped;
    return spAutomaticComDevice(port, devRoot);
}

namespace {

// A pseudo-terminal has no modem lines and answers these calls with ENOTTY or
// EINVAL; the line works without them.
void setModemLines(int fd, int bits, bool on)
{
    if (bits)
        ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits);
}

speed_t speedConstant(int rate)
{
    static const struct { int rate; speed_t code; } table[] = {
        {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
        {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400},
        {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
        {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
        {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
        {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& entry : table)
        if (entry.rate == rate)
            return entry.code;
    return B0;
}

bool setFrame(termios& t, const TSpLineSettings& s)
{
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (s.DataBits < 5 || s.DataBits > 8 || (s.StopBits != 0 && s.StopBits != 2))
        return false;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CLOCAL | CREAD | sizes[s.DataBits - 5];
    if (s.StopBits == 2)
        t.c_cflag |= CSTOPB;
    switch (s.Parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return false;
    }
    if (s.HardwareFlow)
        t.c_cflag |= CRTSCTS;
    return true;
}

} // namespace

int spOpenDevice(const QString& path, int& fd)
{
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // TIOCEXCL alone does not stop root, nor a second port of this process: an
    // advisory lock on the open file does both for every program that asks.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        fd = -1;
        return err;
    }
    // Keeps out programs that do not use flock (not for root).
    ::ioctl(fd, TIOCEXCL);
    // The unit must not see DTR or RTS raised by the driver's open.
    setModemLines(fd, TIOCM_DTR | TIOCM_RTS, false);
    return 0;
}

void spReleaseDevice(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
}

int spApplyLineSettings(int fd, const TSpLineSettings& s)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return errno;
    ::cfmakeraw(&t);
    const speed_t speed = speedConstant(s.BitRate);
    if (speed == B0 || !setFrame(t, s))
        return EINVAL;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
    if (s.XonXoffOut)
        t.c_iflag |= IXON;
    if (s.XonXoffIn)
        t.c_iflag |= IXOFF;
    if (s.ParityCheck)
        t.c_iflag |= INPCK;
    t.c_cc[VSTART] = cc_t(s.XonChar);
    t.c_cc[VSTOP] = cc_t(s.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return errno;
    // tcsetattr reports success when any part was taken: a driver that refused
    // the rate must not leave the line silently at another one.
    termios back{};
    if (::tcgetattr(fd, &back) != 0)
        return errno;
    if (::cfgetospeed(&back) != speed)
        return EINVAL;
    setModemLines(fd, TIOCM_DTR, s.Dtr);
    if (!s.HardwareFlow)
        setModemLines(fd, TIOCM_RTS, s.Rts);
    return 0;
}

int spSetImmediateReads(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return errno;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) != 0 ? errno : 0;
}

int spBytesWaiting(int fd, int& count)
{
    count = 0;
    return ::ioctl(fd, FIONREAD, &count) != 0 ? errno : 0;
}

int spBytesUnsent(int fd, int& count)
{
    count = 0;
    return ::ioctl(fd, TIOCOUTQ, &count) != 0 ? errno : 0;
}

int spPurgeDevice(int fd, int code)
{
    const bool input = code & (2 | 8);
    const bool output = code & (1 | 4);
    if (!input && !output)
        return 0;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return ::tcflush(fd, queue) != 0 ? errno : 0;
}

QString spErrorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

TSpWakeFd::TSpWakeFd() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TSpWakeFd::~TSpWakeFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TSpWakeFd::Signal() const
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void TSpWakeFd::Drain() const
{
    uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &value, sizeof value);
}
