#include "platform/ThreadPriority.h"

#include <cerrno>

#include <pthread.h>
#include <sched.h>

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

// ioprio_set(2) has no glibc wrapper: IOPRIO_WHO_PROCESS with a thread id names that
// thread; the class sits in the value's top bits.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassIdle = 3;

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

bool LowerThisThreadToIdle()
{
    const bool nice = LowerThisThreadToBackground();
    sched_param param {};
    const bool cpu = pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0;
    const bool io = syscall(SYS_ioprio_set, kIoprioWhoProcess, ThisThreadId(), kIoprioClassIdle << kIoprioClassShift) == 0;
    return nice && cpu && io;
}

bool ThisThreadIsIdle()
{
    int policy = 0;
    sched_param param {};
    if (pthread_getschedparam(pthread_self(), &policy, &param) != 0 || policy != SCHED_IDLE)
        return false;
    const long io = syscall(SYS_ioprio_get, kIoprioWhoProcess, ThisThreadId());
    return io >= 0 && (io >> kIoprioClassShift) == kIoprioClassIdle;
}

} // namespace kestovar
