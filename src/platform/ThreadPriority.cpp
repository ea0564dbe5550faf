#include "platform/ThreadPriority.h"

#include <cerrno>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestovar {
namespace {

// On Linux a thread id names one thread for setpriority, unlike POSIX's process.
id_t ThisThreadId()
{
    return static_cast<id_t>(syscall(SYS_gettid));
}

} // namespace

int ThisThreadNice()
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, ThisThreadId());
    return errno == 0 ? nice : 0;
}

bool LowerThisThreadToBackground()
{
    // Raising it back would need privileges an operator does not have: never lower
    // a thread that already sits below the background level.
    if (ThisThreadNice() >= kBackgroundNice)
        return true;
    return setpriority(PRIO_PROCESS, ThisThreadId(), kBackgroundNice) == 0;
}

} // namespace kestovar
