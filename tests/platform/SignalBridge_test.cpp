#include "platform/SignalBridge.h"

#include <QSignalSpy>

#include <csignal>
#include <gtest/gtest.h>

using namespace kestovar;

TEST(SignalBridge, ASignalRaisedBeforeTheBridgeExistsWaitsForIt)
{
    ASSERT_TRUE(SignalBridge::InstallHandlers());
    // Without the handler this would end the test program.
    ASSERT_EQ(std::raise(SIGTERM), 0);

    SignalBridge bridge;
    QSignalSpy terminate(&bridge, &SignalBridge::terminateRequested);
    ASSERT_TRUE(terminate.wait(10000));
    ASSERT_EQ(terminate.count(), 1);
    EXPECT_EQ(terminate.at(0).at(0).toInt(), SIGTERM);
}

TEST(SignalBridge, EachSignalReachesItsOwnQtSignal)
{
    SignalBridge bridge;
    QSignalSpy terminate(&bridge, &SignalBridge::terminateRequested);
    QSignalSpy pull(&bridge, &SignalBridge::cameraPullRequested);
    QSignalSpy plug(&bridge, &SignalBridge::cameraPlugRequested);

    ASSERT_EQ(std::raise(SIGUSR1), 0);
    ASSERT_TRUE(pull.wait(10000));
    EXPECT_EQ(plug.count(), 0);
    EXPECT_EQ(terminate.count(), 0);

    ASSERT_EQ(std::raise(SIGUSR2), 0);
    ASSERT_TRUE(plug.wait(10000));
    EXPECT_EQ(pull.count(), 1);

    ASSERT_EQ(std::raise(SIGINT), 0);
    ASSERT_TRUE(terminate.wait(10000));
    EXPECT_EQ(terminate.at(0).at(0).toInt(), SIGINT);
    EXPECT_EQ(pull.count(), 1);
    EXPECT_EQ(plug.count(), 1);
}

TEST(SignalBridge, SignalsAreStillAbsorbedAfterTheBridgeIsGone)
{
    {
        SignalBridge bridge;
    }
    // The process must survive a late SIGTERM (for example during the save at exit).
    EXPECT_EQ(std::raise(SIGTERM), 0);
    SignalBridge next;
    QSignalSpy terminate(&next, &SignalBridge::terminateRequested);
    ASSERT_TRUE(terminate.wait(10000));
}
