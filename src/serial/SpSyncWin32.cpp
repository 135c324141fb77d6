// The Win32 half of SpSync.h: thread priorities.
#include "SpSync.h"

#include <windows.h>

int spCurrentThreadId()
{
    return int(::GetCurrentThreadId());
}

void spSetThreadPriority(int threadId, TSpThreadPriority priority)
{
    static const int levels[] = {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_LOWEST,
                                 THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                 THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                 THREAD_PRIORITY_TIME_CRITICAL};
    const HANDLE thread = ::OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, DWORD(threadId));
    if (!thread)
        return;
    ::SetThreadPriority(thread, levels[priority]);
    ::CloseHandle(thread);
}
