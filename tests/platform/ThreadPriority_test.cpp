#include "platform/ThreadPriority.h"

#include <gtest/gtest.h>

#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace kestovar;

namespace {

// Runs `work` on a thread of its own and returns what it returned.
template <typename Work> auto OnItsOwnThread(Work work)
{
    decltype(work()) result {};
    std::thread([&] { result = work(); }).join();
    return result;
}

} // namespace

TEST(ThreadPriority, OnlyTheCallingThreadGoesToTheBackground)
{
    const int process = ThisThreadNice();
    const int lowered = OnItsOwnThread([] {
        EXPECT_TRUE(LowerThisThreadToBackground());
        EXPECT_TRUE(LowerThisThreadToBackground()) << "a second call changes nothing and succeeds";
        return ThisThreadNice();
    });
    EXPECT_EQ(lowered, std::max(process, kBackgroundNice));
    EXPECT_EQ(ThisThreadNice(), process) << "the rest of the process keeps its priority";
    // A new thread starts from the process's value, not the lowered thread's.
    EXPECT_EQ(OnItsOwnThread([] { return ThisThreadNice(); }), process);
}

TEST(ThreadPriority, AThreadAlreadyLowerIsNotRaised)
{
    const int nice = OnItsOwnThread([] {
        const auto tid = static_cast<id_t>(syscall(SYS_gettid));
        if (setpriority(PRIO_PROCESS, tid, 15) != 0)
            return -100;
        EXPECT_TRUE(LowerThisThreadToBackground());
        return ThisThreadNice();
    });
    ASSERT_NE(nice, -100);
    EXPECT_EQ(nice, 15);
}

TEST(ThreadPriority, AnIdleThreadYieldsProcessorAndDiskAndItsEncoderThreadsToo)
{
    struct Seen {
        bool lowered = false, idle = false, childIdle = false;
        int nice = 0;
    };
    const Seen seen = OnItsOwnThread([] {
        Seen s;
        s.lowered = LowerThisThreadToIdle();
        s.idle = ThisThreadIsIdle();
        s.nice = ThisThreadNice();
        std::thread([&] { s.childIdle = ThisThreadIsIdle(); }).join();
        return s;
    });
    EXPECT_TRUE(seen.lowered);
    EXPECT_TRUE(seen.idle);
    EXPECT_TRUE(seen.childIdle) << "threads it starts inherit the idle classes";
    EXPECT_GE(seen.nice, kBackgroundNice);
    EXPECT_FALSE(ThisThreadIsIdle()) << "the rest of the process keeps its priority";
    EXPECT_FALSE(OnItsOwnThread([] { return ThisThreadIsIdle(); }));
}
