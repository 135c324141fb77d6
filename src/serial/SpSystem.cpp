#include "SpSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

bool spIsMainThread()
{
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void spSynchronize(const std::function<void()>& fn)
{
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    // A blocking queued call keeps the issuing order (one event queue) and
    // releases the caller even if the event is discarded at shutdown.
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
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
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
}
