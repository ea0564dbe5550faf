// The splash window's progress bar.
#include "dialogs/CDlgSplash.h"

#include <gtest/gtest.h>

using namespace kestovar;

TEST(SplashProgress, BarGrowsTwelvePixelsAStepAndFillsAfterFiftyFiveSteps)
{
    const QSize window(650, 450);
    EXPECT_EQ(SplashProgressRect(0, window), QRect(0, 400, 0, 5));
    EXPECT_EQ(SplashProgressRect(10, window), QRect(0, 400, 120, 5));
    EXPECT_FALSE(SplashFull(54, 650));
    EXPECT_TRUE(SplashFull(55, 650));
    EXPECT_EQ(SplashProgressRect(650, window).width(), 650) << "never wider than the window";
}

TEST(Splash, TimerStepsStopWhenFullAndCompleteFillsAtOnce)
{
    CDlgSplash splash;
    EXPECT_EQ(splash.size(), QSize(650, 450)) << "sized to its background";
    splash.ShowNow();
    EXPECT_TRUE(splash.IsRunning());
    for (int i = 0; i < 54; ++i)
        splash.Step();
    EXPECT_TRUE(splash.IsRunning());
    splash.Step();
    EXPECT_FALSE(splash.IsRunning());

    CDlgSplash early;
    early.ShowNow();
    for (int i = 0; i < 10; ++i)
        early.Step();
    early.Complete();
    EXPECT_FALSE(early.IsRunning());
    EXPECT_EQ(early.ProgressRect(), QRect(0, 400, 650, 5));
    const QImage img = early.grab().toImage();
    EXPECT_GT(qBlue(img.pixel(640, 402)), 120) << "the bar reaches the right edge";
}
