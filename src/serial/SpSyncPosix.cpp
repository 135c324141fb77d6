// The POSIX half of SpSync.h: thread priorities.
#include "SpSync.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

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
