// The transport bar on movies made at test time, around a real player.
#include "MediaFixtures.h"
#include "TestSupport.h"
#include "TransportTestSupport.h"

#include "platform/PulseAudioBackend.h"
#include "ui/CBitmapSlider.h"
#include "ui/CGdipButton.h"
#include "ui/CMySliderControl2.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace kestovar {
namespace {

using test::SendMouse;
using test::SpinUntil;

class TransportBarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        longMovie_ = test::MakeLongMovie(dir_->str());
        shortMovie_ = (*dir_ / "short.avi").string();
        if (!test::MakeRecordedAvi(shortMovie_, 320, 240, 30, 1.0, true))
            shortMovie_.clear();
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    void SetUp() override
    {
        panel_ = std::make_unique<test::KeyRecorder>();
        panel_->resize(780, 560);
        host_.controlPanel = panel_->rect();
        host_.keyTarget = &mainWindow_;
        BuildView();
        panel_->show();
    }
    void TearDown() override
    {
        // Graphs stop before the window they draw into goes; a window left in full
        // screen is no child of the panel any more.
        host_.player.reset();
        delete view_.data();
        panel_.reset();
    }

    void BuildView()
    {
        delete view_.data();
        view_ = new CDlgVideoView(host_, panel_.get());
        view_->setGeometry(10, 10, 640, 360);
        view_->show();
        host_.view = view_;
        bar_ = view_->TransportBar();
    }

    // Opens a movie paused and waits for its first picture.
    QImage Open(const std::string& path)
    {
        EXPECT_FALSE(path.empty()) << "the movie was not made";
        if (path.empty() || !host_.OpenMovie(path))
            return {};
        EXPECT_TRUE(SpinUntil([&] { return !view_->CurrentPicture().isNull(); }));
        return view_->CurrentPicture();
    }

    int64_t Position() const
    {
        int64_t position = -1;
        host_.player->GetCurrentPosition(position);
        return position;
    }
    int64_t Duration() const
    {
        int64_t duration = -1;
        host_.player->GetDuration(duration);
        return duration;
    }

    void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Drags a skin slider's thumb from where it is to `x`, in steps.
    static void Drag(QWidget* slider, QPoint from, int x)
    {
        SendMouse(slider, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 4; ++step) {
            const QPoint at(from.x() + (x - from.x()) * step / 4, from.y());
            SendMouse(slider, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        }
        SendMouse(slider, QEvent::MouseButtonRelease, QPoint(x, from.y()), Qt::LeftButton, Qt::NoButton);
    }

    static test::TempDir* dir_;
    static std::string longMovie_;
    static std::string shortMovie_;

    test::FakePlaybackHost host_;
    test::KeyRecorder mainWindow_;
    std::unique_ptr<test::KeyRecorder> panel_;
    QPointer<CDlgVideoView> view_;
    CDlgToolbarPlay* bar_ = nullptr;
};
test::TempDir* TransportBarTest::dir_ = nullptr;
std::string TransportBarTest::longMovie_;
std::string TransportBarTest::shortMovie_;

TEST_F(TransportBarTest, LongMovieShowsItsDurationAndSkipsByTenthsHeldToTheEnds)
{
    EXPECT_EQ(bar_->Opacity(), 0) << "no movie: the bar is invisible";
    ASSERT_FALSE(Open(longMovie_).isNull());
    EXPECT_EQ(bar_->Opacity(), 255);
    EXPECT_EQ(bar_->DurationText(), "01:02:03");
    EXPECT_EQ(bar_->PositionText(), "00:00:00");
    EXPECT_EQ(bar_->SeekBar()->value(), 0);

    // The player rests on the picture nearest the target, and there is one every 51 s:
    // the position shown is the target's or that picture's.
    const int64_t frameGap = 51 * kUnitsPerSecond;
    bar_->SeekBar()->setValue(95);
    Click(bar_->NextButton());
    EXPECT_EQ(bar_->SeekBar()->value(), 100);
    EXPECT_NEAR(static_cast<double>(Position()), static_cast<double>(Duration()), frameGap);
    EXPECT_EQ(bar_->PositionText().left(4), "01:0");
    EXPECT_EQ(bar_->DurationText(), "01:02:03");

    bar_->SeekBar()->setValue(50);
    Click(bar_->NextButton());
    EXPECT_EQ(bar_->SeekBar()->value(), 60);
    EXPECT_NEAR(static_cast<double>(Position()), 2233.8 * kUnitsPerSecond, frameGap); // 60 % of 3723 s
    EXPECT_EQ(bar_->PositionText().left(4), "00:3");

    bar_->SeekBar()->setValue(4);
    Click(bar_->PrevButton());
    EXPECT_EQ(bar_->SeekBar()->value(), 0);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(bar_->PositionText(), "00:00:00");

    // Skipping never starts the movie.
    EXPECT_EQ(host_.GraphState(), PlayerGraph::State::Paused);
    EXPECT_EQ(host_.playCalls, 0);
}

TEST_F(TransportBarTest, DraggingTheSeekBarWhilePausedSeeksWithoutPlaying)
{
    const QImage first = Open(longMovie_);
    ASSERT_FALSE(first.isNull());
    CMySliderControl2* seek = bar_->SeekBar();
    Drag(seek, seek->ThumbRect().center(), seek->width() / 2);

    EXPECT_NEAR(seek->value(), 50, 5);
    // At the thumb's place, give or take the movie's one picture every 51 s.
    EXPECT_NEAR(static_cast<double>(Position()), Duration() * seek->value() / 100.0, 51.0 * kUnitsPerSecond);
    EXPECT_NE(bar_->PositionText(), "00:00:00");
    EXPECT_EQ(host_.GraphState(), PlayerGraph::State::Paused);
    EXPECT_EQ(host_.mode, PlaybackMode::PlaybackPaused);
    EXPECT_EQ(host_.playCalls, 0);
    EXPECT_EQ(host_.pauseCalls, 0);
    // The picture followed the thumb.
    EXPECT_TRUE(SpinUntil([&] { return test::MeanDifference(first, view_->CurrentPicture()) > 1.0; }));
}

TEST_F(TransportBarTest, SeekingWhilePlayingPausesSeeksAndPlaysOn)
{
    ASSERT_FALSE(Open(longMovie_).isNull());
    Click(bar_->PlayPauseButton());
    ASSERT_EQ(host_.GraphState(), PlayerGraph::State::Running);
    const int plays = host_.playCalls;
    Click(bar_->NextButton());
    EXPECT_EQ(host_.pauseCalls, 1);
    EXPECT_EQ(host_.playCalls, plays + 1);
    EXPECT_EQ(host_.GraphState(), PlayerGraph::State::Running);
    // A tenth on, give or take the movie's one picture every 51 s: once the player has
    // landed, the position is that of the picture shown, which may lie before the target.
    EXPECT_GE(Position(), Duration() / 10 - 51 * kUnitsPerSecond);
}

TEST_F(TransportBarTest, PlayAndPauseSwapTheSymbolTimersAndForm)
{
    ASSERT_FALSE(Open(longMovie_).isNull());
    CGdipButton* play = bar_->PlayPauseButton();
    EXPECT_FALSE(play->IsToggled()) << "a movie opens showing the play symbol";

    Click(play);
    EXPECT_EQ(host_.mode, PlaybackMode::Playing);
    EXPECT_TRUE(play->IsToggled()) << "pause symbol while playing";
    EXPECT_TRUE(bar_->IsPlaying());
    EXPECT_TRUE(bar_->ProgressTimerActive());
    EXPECT_TRUE(bar_->HideTimerActive());
    EXPECT_TRUE(bar_->MouseHookInstalled());
    EXPECT_EQ(host_.byModeFormCalls, 1);
    EXPECT_EQ(host_.controlStateCalls, 1);

    Click(play);
    EXPECT_EQ(host_.mode, PlaybackMode::PlaybackPaused);
    EXPECT_EQ(host_.GraphState(), PlayerGraph::State::Paused);
    EXPECT_FALSE(play->IsToggled());
    EXPECT_FALSE(bar_->IsPlaying());
    EXPECT_FALSE(bar_->ProgressTimerActive());
    EXPECT_FALSE(bar_->HideTimerActive());
    EXPECT_TRUE(bar_->MouseHookInstalled()) << "pausing keeps the hook; it acts only while playing";
    EXPECT_EQ(host_.pausedFormCalls, 1);
    EXPECT_EQ(host_.controlStateCalls, 2);

    // From the keyboard the button swaps nothing by itself: the symbol still follows.
    play->setFocus();
    QTest::keyClick(play, Qt::Key_Space);
    EXPECT_EQ(host_.mode, PlaybackMode::Playing);
    EXPECT_TRUE(play->IsToggled());

    // A movie that cannot play keeps the play symbol and starts nothing.
    host_.AbandonPlayback();
    bar_->StopTimers();
    Click(play);
    EXPECT_FALSE(play->IsToggled());
    EXPECT_FALSE(bar_->ProgressTimerActive());
    EXPECT_FALSE(bar_->IsPlaying());
}

TEST_F(TransportBarTest, EndOfMovieRewindsToTheFirstFramePaused)
{
    const QImage first = Open(shortMovie_);
    ASSERT_FALSE(first.isNull());
    Click(bar_->PlayPauseButton());
    ASSERT_EQ(host_.mode, PlaybackMode::Playing);
    ASSERT_TRUE(SpinUntil([&] { return !bar_->ProgressTimerActive(); })) << "the movie did not end";

    EXPECT_FALSE(bar_->PlayPauseButton()->IsToggled()) << "play symbol";
    EXPECT_EQ(bar_->PositionText(), "00:00:00");
    EXPECT_EQ(bar_->DurationText(), "00:00:00");
    EXPECT_EQ(bar_->SeekBar()->value(), 0);
    EXPECT_EQ(bar_->Opacity(), 255);
    EXPECT_FALSE(bar_->MouseHookInstalled());
    EXPECT_FALSE(bar_->IsPlaying());
    EXPECT_EQ(host_.mode, PlaybackMode::PlaybackPaused);
    EXPECT_EQ(host_.GraphState(), PlayerGraph::State::Paused);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(host_.stopCalls + host_.abandonCalls, 0);
    EXPECT_TRUE(SpinUntil([&] { return test::MeanDifference(first, view_->CurrentPicture()) < 1.0; }))
        << "the picture is not the first frame";
    // It stays there.
    test::Settle(200);
    EXPECT_EQ(Position(), 0);
    EXPECT_LT(test::MeanDifference(first, view_->CurrentPicture()), 1.0);

    // And plays again from the start.
    Click(bar_->PlayPauseButton());
    EXPECT_EQ(host_.mode, PlaybackMode::Playing);
    EXPECT_TRUE(bar_->PlayPauseButton()->IsToggled());
}

TEST_F(TransportBarTest, ProgressFollowsThePlayerExceptUnderTheOperatorsHand)
{
    ASSERT_FALSE(Open(longMovie_).isNull());
    // The player rests on the picture at or after the target: one every 51 s here.
    const int64_t frameGap = 51 * kUnitsPerSecond;
    host_.player->SetPositions(Duration() / 2);
    test::Settle();
    bar_->ProgressTick();
    EXPECT_NEAR(static_cast<double>(Position()), Duration() / 2.0, frameGap);
    EXPECT_EQ(bar_->SeekBar()->value(), Position() * 100 / Duration());
    EXPECT_EQ(bar_->PositionText().left(4), "00:3");
    EXPECT_EQ(bar_->PositionText(), FormatMovieTime(Position()));
    EXPECT_EQ(bar_->DurationText(), "01:02:03");

    const int held = bar_->SeekBar()->value();
    bar_->SeekBar()->setSliderDown(true);
    host_.player->SetPositions(Duration() / 4);
    test::Settle();
    bar_->ProgressTick();
    EXPECT_EQ(bar_->SeekBar()->value(), held);
    EXPECT_EQ(bar_->PositionText().left(4), "00:1");
    bar_->SeekBar()->setSliderDown(false);

    // Without a player nothing changes and nothing breaks, seek bar keys included.
    const QString shown = bar_->PositionText();
    host_.AbandonPlayback();
    bar_->ProgressTick();
    Click(bar_->NextButton());
    EXPECT_EQ(bar_->PositionText(), shown);
}

TEST_F(TransportBarTest, BarHidesOnTheThirdTickWhilePlayingAndReturnsOnMouseMovement)
{
    ASSERT_FALSE(Open(longMovie_).isNull());
    Click(bar_->PlayPauseButton());
    ASSERT_EQ(bar_->Opacity(), 255);
    bar_->HideCountdown();
    bar_->HideCountdown();
    EXPECT_EQ(bar_->Opacity(), 255);
    EXPECT_TRUE(bar_->HideTimerActive());
    bar_->HideCountdown();
    EXPECT_EQ(bar_->Opacity(), 0);
    EXPECT_FALSE(bar_->isVisible());
    EXPECT_FALSE(bar_->HideTimerActive());

    // A movement outside the video window changes nothing.
    auto* beside = new QWidget(panel_.get());
    beside->setGeometry(700, 400, 50, 50);
    beside->setMouseTracking(true);
    beside->show();
    SendMouse(beside, QEvent::MouseMove, QPoint(10, 10));
    EXPECT_EQ(bar_->Opacity(), 0);
    EXPECT_FALSE(bar_->HideTimerActive());

    // Over the picture: back, and the countdown starts again.
    bar_->HideCountdown(); // the counter left mid-way
    SendMouse(view_, QEvent::MouseMove, QPoint(320, 100));
    EXPECT_EQ(bar_->Opacity(), 255);
    EXPECT_TRUE(bar_->HideTimerActive());
    EXPECT_EQ(bar_->HideCounter(), 0);
    bar_->HideCountdown();
    bar_->HideCountdown();
    EXPECT_EQ(bar_->Opacity(), 255);
    bar_->HideCountdown();
    EXPECT_EQ(bar_->Opacity(), 0);

    // While paused, a movement over the picture shows the bar and it stays.
    SendMouse(view_, QEvent::MouseMove, QPoint(300, 120));
    EXPECT_EQ(bar_->Opacity(), 255);
    Click(bar_->PlayPauseButton());
    ASSERT_EQ(host_.mode, PlaybackMode::PlaybackPaused);
    bar_->SetTransportBarOpacity(0);
    SendMouse(view_, QEvent::MouseMove, QPoint(310, 120));
    EXPECT_EQ(bar_->Opacity(), 255);
    EXPECT_FALSE(bar_->HideTimerActive());
}

TEST_F(TransportBarTest, InFullScreenOnlyMovementOverTheVideoWindowItselfBringsTheBarBack)
{
    ASSERT_FALSE(Open(longMovie_).isNull());
    Click(bar_->PlayPauseButton());
    // Another window of the station, over the picture.
    QWidget other;
    other.setMouseTracking(true);
    other.resize(100, 100);
    other.show();
    auto moveOverOther = [&](QPoint global) {
        QMouseEvent move(
            QEvent::MouseMove, QPointF(5, 5), QPointF(global), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&other, &move);
    };

    // Outside full screen the hook brings the bar back for a movement over the picture.
    bar_->SetTransportBarOpacity(0);
    moveOverOther(view_->mapToGlobal(QPoint(100, 100)));
    EXPECT_EQ(bar_->Opacity(), 255);

    host_.EnterFullScreen();
    EXPECT_EQ(bar_->Opacity(), 0);
    bar_->HideCountdown();
    moveOverOther(view_->mapToGlobal(QPoint(100, 100)));
    EXPECT_EQ(bar_->Opacity(), 0) << "the hook never shows the bar in full screen";
    EXPECT_EQ(bar_->HideCounter(), 0) << "but it restarts the countdown";
    SendMouse(view_, QEvent::MouseMove, QPoint(200, 200));
    EXPECT_EQ(bar_->Opacity(), 255);
    // Docked along the bottom of the screen-sized window.
    EXPECT_EQ(bar_->geometry().bottom(), view_->height() - 1);
    EXPECT_EQ(bar_->width(), view_->width());
}

TEST_F(TransportBarTest, EscapeAndEnterGoToTheMainWindow)
{
    ASSERT_FALSE(Open(longMovie_).isNull());
    QTest::keyClick(bar_, Qt::Key_Escape);
    QTest::keyClick(bar_, Qt::Key_Return);
    QTest::keyClick(bar_, Qt::Key_F5); // a movie is on show: nothing
    QTest::keyClick(bar_, Qt::Key_F9);
    test::Settle();
    EXPECT_EQ(mainWindow_.keys, (std::vector<int> { Qt::Key_Escape, Qt::Key_Return, Qt::Key_F9 }));
    EXPECT_TRUE(panel_->keys.empty()) << "nothing reaches the windows behind the bar";
    EXPECT_EQ(bar_->Opacity(), 255) << "the bar never closes itself";
}

// Stands for a desktop whose speaker volume cannot be read or set.
class NoSpeakerVolume : public AudioBackend {
public:
    bool Available() const override { return true; }
    std::vector<AudioDeviceInfo> ListInputDevices() override { return {}; }
    std::unique_ptr<AudioRecordStream> OpenRecordStream(
        const std::string&, AudioBlockCallback, std::string*) override
    {
        return nullptr;
    }
    std::unique_ptr<AudioPlaybackStream> OpenPlaybackStream(std::string* error) override
    {
        return speaker_.OpenPlaybackStream(error);
    }
    std::optional<float> DefaultInputPeak() override { return std::nullopt; }
    std::optional<float> DefaultInputVolume() override { return std::nullopt; }
    bool SetDefaultInputVolume(float) override { return false; }
    bool SetDefaultInputMuted(bool) override { return false; }
    std::optional<float> DefaultOutputVolume() override { return std::nullopt; }
    bool SetDefaultOutputVolume(float) override { return false; }

private:
    SimulatedAudioBackend speaker_;
};

TEST_F(TransportBarTest, MasterVolumeStartsFromTheSpeakerAndSetsIt)
{
    auto audio = std::make_shared<SimulatedAudioBackend>();
    ASSERT_TRUE(audio->SetDefaultOutputVolume(0.42f));
    host_.audio = audio;
    BuildView();
    CBitmapSlider* volume = bar_->VolumeSlider();
    EXPECT_EQ(volume->GetPos(), 42);

    bar_->SetTransportBarOpacity(255);
    Drag(volume, QPoint(volume->ThumbCentre(), volume->height() / 2), volume->width() - 5);
    EXPECT_GT(volume->GetPos(), 80);
    EXPECT_FLOAT_EQ(*audio->DefaultOutputVolume(), volume->GetPos() / 100.0f);
    EXPECT_FLOAT_EQ(bar_->LastVolume(), volume->GetPos() / 100.0f);
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_Home);
    EXPECT_EQ(volume->GetPos(), 0);
    EXPECT_FLOAT_EQ(*audio->DefaultOutputVolume(), 0.0f);
    EXPECT_TRUE(host_.errors.isEmpty());
}

TEST_F(TransportBarTest, MasterVolumeFailureIsToldOncePerGesture)
{
    for (bool withBackend : { true, false }) {
        SCOPED_TRACE(withBackend ? "volume refused" : "no sound at all");
        host_.errors.clear();
        host_.audio
            = withBackend ? std::shared_ptr<AudioBackend>(std::make_shared<NoSpeakerVolume>()) : nullptr;
        BuildView();
        bar_->SetTransportBarOpacity(255);
        CBitmapSlider* volume = bar_->VolumeSlider();
        EXPECT_EQ(volume->GetPos(), 30);
        Drag(volume, QPoint(volume->ThumbCentre(), volume->height() / 2), volume->width() - 5);
        EXPECT_EQ(host_.errors, QStringList { "Master volume set error!" });
        volume->setFocus();
        QTest::keyClick(volume, Qt::Key_Left);
        EXPECT_EQ(host_.errors.size(), 2);
    }
}

TEST_F(TransportBarTest, MasterVolumeReachesTheDesktopSpeaker)
{
    if (!test::PulseAudioAvailable())
        GTEST_SKIP() << "no PulseAudio daemon answers at $PULSE_SERVER (scripts/test starts one)";
    auto pulse = std::make_shared<PulseAudioBackend>("kestovar-test");
    ASSERT_TRUE(pulse->Available());
    const auto before = pulse->DefaultOutputVolume();
    ASSERT_TRUE(before.has_value());
    ASSERT_TRUE(pulse->SetDefaultOutputVolume(0.64f));
    host_.audio = pulse;
    BuildView();
    CBitmapSlider* volume = bar_->VolumeSlider();
    EXPECT_EQ(volume->GetPos(), 64);
    bar_->SetTransportBarOpacity(255);
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_PageDown);
    EXPECT_EQ(volume->GetPos(), 74);
    const auto now = pulse->DefaultOutputVolume();
    ASSERT_TRUE(now.has_value());
    EXPECT_NEAR(*now, 0.74f, 0.005f);
    EXPECT_TRUE(host_.errors.isEmpty());
    pulse->SetDefaultOutputVolume(*before);
}

} // namespace
} // namespace kestovar
