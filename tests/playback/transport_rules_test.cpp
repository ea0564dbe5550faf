// The transport bar's arithmetic and small state machines, without windows.
#include "playback/TransportRules.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestovar {
namespace {

constexpr int64_t kSecond = kUnitsPerSecond;

TEST(TransportRules, TimesShowHoursModuloSixtyMinutesAndSeconds)
{
    EXPECT_EQ(FormatMovieTime(0), "00:00:00");
    EXPECT_EQ(FormatMovieTime((3600 + 2 * 60 + 3) * kSecond), "01:02:03");
    EXPECT_EQ(FormatMovieTime(59 * kSecond + kSecond - 1), "00:00:59"); // never rounded up
    EXPECT_EQ(FormatMovieTime(61 * 3600 * kSecond), "01:00:00");
    EXPECT_EQ(FormatMovieTime((59 * 3600 + 59 * 60 + 59) * kSecond), "59:59:59");
    EXPECT_EQ(FormatMovieTime(-5 * kSecond), "00:00:00");
}

TEST(TransportRules, SkipsAreTenthsHeldToTheRange)
{
    EXPECT_EQ(SkipPosition(95, 10, 0, 100), 100);
    EXPECT_EQ(SkipPosition(4, -10, 0, 100), 0);
    EXPECT_EQ(SkipPosition(50, 10, 0, 100), 60);
    EXPECT_EQ(SkipPosition(50, -10, 0, 100), 40);
    EXPECT_EQ(SkipPosition(100, 10, 0, 100), 100);
}

TEST(TransportRules, SeekTargetsAndProgressAreHundredthsOfTheDuration)
{
    const int64_t duration = 3723 * kSecond;
    EXPECT_EQ(SeekTarget(duration, 0), 0);
    EXPECT_EQ(SeekTarget(duration, 100), duration);
    EXPECT_EQ(SeekTarget(duration, 60), 2233'8000000); // 37 min 13.8 s
    EXPECT_EQ(SeekTarget(99, 50), 0); // a hundredth of 99 units is 0 units
    EXPECT_EQ(SeekTarget(duration, 150), duration);

    EXPECT_EQ(ProgressPercent(0, duration), 0);
    EXPECT_EQ(ProgressPercent(duration / 2, duration), 50);
    EXPECT_EQ(ProgressPercent(duration - 1, duration), 99);
    EXPECT_EQ(ProgressPercent(duration + kSecond, duration), 100);
    // Ten hours in: no overflow of the 64-bit product.
    EXPECT_EQ(ProgressPercent(36000 * kSecond, 72000 * kSecond), 50);
    EXPECT_FALSE(ProgressPercent(5, 0).has_value());
}

TEST(TransportRules, MulDivRoundsToTheNearest)
{
    EXPECT_EQ(MulDiv(630, 4, 3), 840);
    EXPECT_EQ(MulDiv(1000, 3, 4), 750);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(7, 2, 3), 5); // 4.67
    EXPECT_EQ(MulDiv(1, 1, 0), 0);
}

TEST(TransportRules, EnlargedRectangleFillsThePanelAboveItsButtonRow)
{
    const QRect panel(5, 20, 1000, 700);
    EXPECT_EQ(EnlargedVideoRect(panel, 0), QRect(5, 20, 1000, 630));
    EXPECT_EQ(EnlargedVideoRect(panel, 1), QRect(5, 20, 1000, 630));
    // 480P: 4:3 from the height (840 x 630), centred across.
    EXPECT_EQ(EnlargedVideoRect(panel, 2), QRect(5 + 80, 20, 840, 630));
    // A tall panel: 4:3 from the width instead (600 x 450), centred down.
    EXPECT_EQ(EnlargedVideoRect(QRect(0, 0, 600, 900), 2), QRect(0, (830 - 450) / 2, 600, 450));
    EXPECT_FALSE(EnlargedVideoRect(panel, 3).has_value());
    EXPECT_FALSE(EnlargedVideoRect(panel, -1).has_value());
    EXPECT_FALSE(EnlargedVideoRect(QRect(0, 0, 800, 70), 0).has_value());
}

TEST(TransportRules, HideCountdownHidesOnTheThirdTick)
{
    BarHideCountdown countdown;
    auto first = countdown.Step(true, false);
    auto second = countdown.Step(true, false);
    EXPECT_FALSE(first.stopTimer || first.alpha || second.stopTimer || second.alpha);
    auto third = countdown.Step(true, false);
    EXPECT_TRUE(third.stopTimer);
    EXPECT_EQ(third.alpha, 0);

    // A movement in between starts the count again.
    countdown.Restart();
    countdown.Step(true, false);
    countdown.Step(true, false);
    countdown.Restart();
    EXPECT_FALSE(countdown.Step(true, false).alpha);
    EXPECT_FALSE(countdown.Step(true, false).alpha);
    EXPECT_EQ(countdown.Step(true, false).alpha, 0);

    // Paused or stopped: the bar stays (comes back) outside full screen, hides in it.
    countdown.Restart();
    countdown.Step(false, false);
    countdown.Step(false, false);
    auto paused = countdown.Step(false, false);
    EXPECT_TRUE(paused.stopTimer);
    EXPECT_EQ(paused.alpha, 255);
    countdown.Restart();
    countdown.Step(false, true);
    countdown.Step(false, true);
    EXPECT_EQ(countdown.Step(false, true).alpha, 0);
}

TEST(TransportRules, VolumeSliderStartsFromTheSpeakerOrThirty)
{
    EXPECT_EQ(VolumeSliderStart(std::nullopt), 30);
    EXPECT_EQ(VolumeSliderStart(0.0f), 0);
    EXPECT_EQ(VolumeSliderStart(0.5f), 50);
    EXPECT_EQ(VolumeSliderStart(0.736f), 74);
    EXPECT_EQ(VolumeSliderStart(1.0f), 100);
    EXPECT_EQ(VolumeSliderStart(1.5f), 100); // amplified above the nominal level
    EXPECT_EQ(VolumeSliderStart(-0.2f), 0);
    EXPECT_EQ(VolumeSliderStart(std::numeric_limits<float>::quiet_NaN()), 30);
}

TEST(TransportRules, HotKeysGoToTheMainWindowOnlyWhenTheyMayAct)
{
    using M = PlaybackMode;
    for (M mode : { M::Playing, M::PlaybackPaused, M::StillShown }) {
        EXPECT_EQ(VideoWindowKeyAction(Qt::Key_F5, mode, true), KeyAction::Swallow);
        EXPECT_EQ(VideoWindowKeyAction(Qt::Key_F3, mode, true), KeyAction::Swallow);
        EXPECT_EQ(TransportBarKeyAction(Qt::Key_F4, mode, true), KeyAction::Swallow);
        EXPECT_EQ(VideoWindowKeyAction(Qt::Key_F7, mode, true), KeyAction::Forward);
    }
    for (M mode : { M::Idle, M::Live, M::Recording }) {
        EXPECT_EQ(VideoWindowKeyAction(Qt::Key_F5, mode, true), KeyAction::Forward);
        EXPECT_EQ(VideoWindowKeyAction(Qt::Key_F5, mode, false), KeyAction::Swallow);
        EXPECT_EQ(TransportBarKeyAction(Qt::Key_F3, mode, true), KeyAction::Forward);
    }
    for (int key : { Qt::Key_F1, Qt::Key_F7, Qt::Key_F9 }) {
        EXPECT_EQ(VideoWindowKeyAction(key, M::Live, false), KeyAction::Forward);
        EXPECT_EQ(TransportBarKeyAction(key, M::Playing, false), KeyAction::Forward);
    }
    EXPECT_EQ(VideoWindowKeyAction(Qt::Key_Escape, M::Playing, true), KeyAction::LeaveFullScreen);
    EXPECT_EQ(VideoWindowKeyAction(Qt::Key_Return, M::Playing, true), KeyAction::Default);
    EXPECT_EQ(TransportBarKeyAction(Qt::Key_Escape, M::Playing, true), KeyAction::Forward);
    EXPECT_EQ(TransportBarKeyAction(Qt::Key_Return, M::Playing, true), KeyAction::Forward);
    EXPECT_EQ(TransportBarKeyAction(Qt::Key_Enter, M::Playing, true), KeyAction::Forward);
    EXPECT_EQ(TransportBarKeyAction(Qt::Key_Left, M::Playing, true), KeyAction::Default);
    EXPECT_EQ(VideoWindowKeyAction(Qt::Key_F2, M::Live, true), KeyAction::Default);
}

} // namespace
} // namespace kestovar
