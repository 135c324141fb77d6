// The Win32 half of Interruption.h: a console control handler. Windows calls
// it in a thread of its own; it posts the event to the main thread. Ctrl-C
// and Ctrl-Break are answered at once; for the console closing (and the user
// logging off or the system shutting down) the handler holds on until the run
// has stopped, since the process ends as soon as it returns, bounded below the
// time Windows grants before it ends the process itself.
#include "Interruption.h"

#include <QCoreApplication>
#include <QEvent>

#include <mutex>
#include <windows.h>

namespace {

// Windows ends a process five seconds after a close event; the run gets
// nearly all of it to log out of the unit and close its files.
constexpr DWORD CloseGraceMs = 4500;

std::mutex g_mutex;
QObject* g_watcher = nullptr; // guarded by g_mutex
HANDLE g_stopped = nullptr;   // set once the run no longer catches events

// The main thread's side: one event per control event that came.
class TArrivalWatcher final : public QObject {
public:
    TArrivalWatcher(QObject* parent, std::function<void()> arrived)
        : QObject(parent), m_arrived(std::move(arrived)) {}

    static QEvent::Type EventType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != EventType())
            return QObject::event(e);
        m_arrived();
        return true;
    }

private:
    std::function<void()> m_arrived;
};

BOOL WINAPI OnConsoleEvent(DWORD type)
{
    HANDLE stopped = nullptr;
    {
        std::lock_guard lock(g_mutex);
        if (!g_watcher)
            return FALSE;
        QCoreApplication::postEvent(g_watcher, new QEvent(TArrivalWatcher::EventType()));
        stopped = g_stopped;
    }
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(stopped, CloseGraceMs);
    return TRUE;
}

} // namespace

void TInterruption::Catch()
{
    const HANDLE stopped = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopped)
        return;
    auto* watcher = new TArrivalWatcher(this, [this] { Arrived(); });
    {
        std::lock_guard lock(g_mutex);
        g_watcher = watcher;
        g_stopped = stopped;
    }
    if (!::SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        std::lock_guard lock(g_mutex);
        g_watcher = nullptr;
        g_stopped = nullptr;
        delete watcher;
        ::CloseHandle(stopped);
        return;
    }
    m_watcher = watcher;
}

void TInterruption::Release()
{
    if (!m_watcher)
        return;
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    HANDLE stopped = nullptr;
    {
        std::lock_guard lock(g_mutex);
        g_watcher = nullptr;
        stopped = g_stopped;
        g_stopped = nullptr;
    }
    delete m_watcher;
    m_watcher = nullptr;
    // A close event's handler may still wait on it: it is released, and the
    // handle stays open for it (one handle per run, freed with the process).
    ::SetEvent(stopped);
}
