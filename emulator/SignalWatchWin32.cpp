// The Windows half of SignalWatch.h: a console control handler, which the
// system runs in a thread of its own, posts the end to the event loop. There
// is no signal asking for the counts: the control line "count" does that.
#include "SignalWatch.h"

#include <QString>

#include <atomic>
#include <windows.h>

namespace {

std::atomic<TSignalWatch*> g_watch{nullptr};

BOOL WINAPI OnControl(DWORD event)
{
    TSignalWatch* watch = g_watch.load();
    if (!watch || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT))
        return FALSE;
    QMetaObject::invokeMethod(watch, &TSignalWatch::Terminate, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

struct TSignalWatch::TState {};

TSignalWatch::TSignalWatch() = default;

TSignalWatch::~TSignalWatch()
{
    if (g_watch.exchange(nullptr) == this)
        ::SetConsoleCtrlHandler(OnControl, FALSE);
}

bool TSignalWatch::Install(QString& error)
{
    g_watch.store(this);
    if (!::SetConsoleCtrlHandler(OnControl, TRUE)) {
        error = QStringLiteral("cannot install the console control handler");
        return false;
    }
    return true;
}
