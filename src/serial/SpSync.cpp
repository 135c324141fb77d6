#include "SpSync.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <mutex>

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
