// The player graph on recorded movies made at test time.
#include "platform/PulseAudioBackend.h"
#include "platform/SimulatedAudioBackend.h"
#include "playback/PlayerGraph.h"

#include "MediaFixtures.h"
#include "PrivatePulse.h"
#include "PulseTestLock.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestovar {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kSecond = 10'000'000; // in the player's 100-ns units

// Keeps what the player draws.
class TestSink : public VideoSink {
public:
    QSize TargetSize() const override { return { 160, 120 }; }
    void Present(QImage frame) override
    {
        std::lock_guard lock(mutex_);
        last_ = std::move(frame);
        ++count_;
        presented_.notify_all();
    }
    int Count() const
    {
        std::lock_guard lock(mutex_);
        return count_;
    }
    QImage Last() const
    {
        std::lock_guard lock(mutex_);
        return last_;
    }
    // Waits for a picture after the first `seen`; false after five seconds.
    bool WaitBeyond(int seen)
    {
        std::unique_lock lock(mutex_);
        return presented_.wait_for(lock, 5s, [&] { return count_ > seen; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable presented_;
    QImage last_;
    int count_ = 0;
};

// Counts the graph events it is sent.
class EventTarget : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == PlayerGraphEvent::kGraphEventType) {
            ++events;
            return true;
        }
        return QObject::event(e);
    }
};

// Runs the event loop until `done` or a generous limit (a hang guard, not a timing check).
template <typename Done> bool SpinUntil(Done done, int limitMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

double MeanDifference(const QImage& a, const QImage& b)
{
    QImage x = a.convertToFormat(QImage::Format_RGB32);
    QImage y = b.convertToFormat(QImage::Format_RGB32).scaled(x.size());
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

class PlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        movie_ = (*dir_ / "movie.avi").string();
        silent_ = (*dir_ / "silent.avi").string();
        ASSERT_TRUE(test::MakeRecordedAvi(movie_, 320, 240, 30, 2.0, true));
        ASSERT_TRUE(test::MakeRecordedAvi(silent_, 320, 240, 30, 2.0, false));
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    static test::TempDir* dir_;
    static std::string movie_;
    static std::string silent_;
    std::shared_ptr<SimulatedAudioBackend> audio_ = std::make_shared<SimulatedAudioBackend>();
    TestSink sink_;
    EventTarget target_;
};
test::TempDir* PlayerTest::dir_ = nullptr;
std::string PlayerTest::movie_;
std::string PlayerTest::silent_;

// The loudest sample the null sink's monitor has heard since the last Reset.
class HeardPeak {
public:
    std::unique_ptr<AudioRecordStream> Listen(PulseAudioBackend& pulse, std::string& error)
    {
        return pulse.OpenRecordStream(
            "cammic",
            [this](const float* s, size_t frames, int64_t) {
                std::lock_guard lock(mutex_);
                for (size_t i = 0; i < frames * kAudioChannels; ++i)
                    peak_ = std::max(peak_, std::fabs(s[i]));
            },
            &error);
    }
    float Peak()
    {
        std::lock_guard lock(mutex_);
        return peak_;
    }
    void Reset()
    {
        std::lock_guard lock(mutex_);
        peak_ = 0;
    }

private:
    std::mutex mutex_;
    float peak_ = 0;
};

TEST_F(PlayerTest, OpensPausedOnTheFirstFrame)
{
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    std::string error;
    ASSERT_TRUE(player.Open(movie_, &error)) << error;
    PlayerGraph::State state;
    ASSERT_TRUE(player.GetState(state));
    EXPECT_EQ(state, PlayerGraph::State::Paused);
    EXPECT_EQ(sink_.Count(), 1);
    EXPECT_EQ(sink_.Last().size(), QSize(160, 120));
    int64_t duration = 0, position = -1;
    ASSERT_TRUE(player.GetDuration(duration));
    ASSERT_TRUE(player.GetCurrentPosition(position));
    EXPECT_NEAR(static_cast<double>(duration), 2.0 * kSecond, 0.1 * kSecond);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(player.VideoWidth(), 320);
    EXPECT_EQ(player.VideoHeight(), 240);
    EXPECT_TRUE(player.HasSound());
    // Paused means paused: nothing more is drawn.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sink_.Count(), 1);
}

TEST_F(PlayerTest, PlayShowsEveryFrameAndPostsOneCompletionEvent)
{
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    player.SetNotifyWindow(&target_);
    ASSERT_TRUE(player.Open(movie_));
    ASSERT_TRUE(player.Run());
    ASSERT_TRUE(SpinUntil([&] { return target_.events > 0; })) << "no completion event";
    SpinUntil([] { return false; }, 300); // anything more would arrive now
    EXPECT_EQ(target_.events, 1);
    long code = 0;
    ASSERT_TRUE(player.GetEvent(code));
    EXPECT_EQ(code, PlayerGraph::kEventComplete);
    EXPECT_FALSE(player.GetEvent(code));
    EXPECT_EQ(sink_.Count(), 60);
    int64_t position = 0, duration = 0;
    player.GetCurrentPosition(position);
    player.GetDuration(duration);
    EXPECT_NEAR(static_cast<double>(position), static_cast<double>(duration), 0.25 * kSecond);
    // The sound went to the speaker.
    EXPECT_GT(audio_->HeardEnergy(), 1000.0);
}

TEST_F(PlayerTest, WithoutASpeakerTheMovieStillPlaysToItsEnd)
{
    PlayerGraph player(nullptr);
    player.SetVideoWindow(&sink_);
    player.SetNotifyWindow(&target_);
    ASSERT_TRUE(player.Open(movie_));
    EXPECT_FALSE(player.HasSound());
    ASSERT_TRUE(player.Run());
    ASSERT_TRUE(SpinUntil([&] { return target_.events > 0; }));
    EXPECT_EQ(sink_.Count(), 60);
}

TEST_F(PlayerTest, SeekingToTheMiddleShowsTheMiddle)
{
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    ASSERT_TRUE(player.Open(silent_));
    const QImage first = sink_.Last();
    int64_t duration = 0;
    ASSERT_TRUE(player.GetDuration(duration));
    const int seen = sink_.Count();
    ASSERT_TRUE(player.SetPositions(duration / 2));
    ASSERT_TRUE(sink_.WaitBeyond(seen));
    int64_t position = 0;
    ASSERT_TRUE(player.GetCurrentPosition(position));
    EXPECT_LT(std::llabs(position - duration / 2), kSecond);
    EXPECT_GT(MeanDifference(first, sink_.Last()), 5.0);
    PlayerGraph::State state;
    player.GetState(state);
    EXPECT_EQ(state, PlayerGraph::State::Paused);
    // Out-of-range positions are held to the movie.
    ASSERT_TRUE(player.SetPositions(-5 * kSecond));
    ASSERT_TRUE(player.GetCurrentPosition(position));
    EXPECT_EQ(position, 0);
}

TEST_F(PlayerTest, StopAndRewindRestsPausedAtTheStart)
{
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    ASSERT_TRUE(player.Open(movie_));
    const QImage first = sink_.Last();
    ASSERT_TRUE(player.Run());
    ASSERT_TRUE(sink_.WaitBeyond(10));
    // The application's stop-and-rewind: Stop, position 0, Pause.
    ASSERT_TRUE(player.Stop());
    PlayerGraph::State state;
    player.GetState(state);
    EXPECT_EQ(state, PlayerGraph::State::Stopped);
    const int seen = sink_.Count();
    ASSERT_TRUE(player.SetPositions(0));
    ASSERT_TRUE(player.Pause());
    ASSERT_TRUE(sink_.WaitBeyond(seen));
    int64_t position = -1;
    player.GetCurrentPosition(position);
    EXPECT_EQ(position, 0);
    EXPECT_LT(MeanDifference(first, sink_.Last()), 1.0);
}

TEST_F(PlayerTest, StillPictureIsTheShownFrameUprightAtTheMoviesSize)
{
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    ASSERT_TRUE(player.Open(movie_));
    ASSERT_TRUE(player.Run());
    ASSERT_TRUE(sink_.WaitBeyond(15));
    player.Pause();
    std::this_thread::sleep_for(50ms);
    const std::string path = (*dir_ / "still.jpg").string();
    std::string error;
    ASSERT_TRUE(player.TakeSnapshot(path, &error)) << error;
    QImage still(QString::fromStdString(path));
    ASSERT_FALSE(still.isNull());
    EXPECT_EQ(still.size(), QSize(320, 240));
    const QImage shown = sink_.Last();
    EXPECT_LT(MeanDifference(shown, still), 6.0);
    // Turned over, it would not match.
    EXPECT_GT(MeanDifference(shown, still.mirrored(false, true)), 2 * MeanDifference(shown, still));
}

TEST_F(PlayerTest, ResizedWindowIsRedrawnWhilePaused)
{
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    ASSERT_TRUE(player.Open(movie_));
    const int seen = sink_.Count();
    ASSERT_TRUE(player.UpdateVideoPosition());
    ASSERT_TRUE(sink_.WaitBeyond(seen));
}

TEST_F(PlayerTest, WhatCannotBePlayedFailsToOpen)
{
    // A sound file: no picture.
    const auto wav = *dir_ / "sound.wav";
    {
        std::string header = "RIFF";
        auto le32 = [](uint32_t v) {
            return std::string { char(v), char(v >> 8), char(v >> 16), char(v >> 24) };
        };
        auto le16 = [](uint16_t v) { return std::string { char(v), char(v >> 8) }; };
        const uint32_t bytes = 48000 * 2;
        header += le32(36 + bytes) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(48000) + le32(96000)
            + le16(2) + le16(16) + "data" + le32(bytes) + std::string(bytes, '\0');
        ASSERT_TRUE(test::WriteFileText(wav, header));
    }
    std::string error;
    {
        PlayerGraph player(audio_);
        player.SetVideoWindow(&sink_);
        EXPECT_FALSE(player.Open(wav.string(), &error));
        EXPECT_NE(error.find("no picture"), std::string::npos) << error;
        PlayerGraph::State state;
        EXPECT_FALSE(player.GetState(state));
    }
    // Damaged bytes.
    const auto junk = *dir_ / "junk.avi";
    ASSERT_TRUE(test::WriteFileText(junk, std::string(4096, '\x5a')));
    {
        PlayerGraph player(audio_);
        player.SetVideoWindow(&sink_);
        error.clear();
        EXPECT_FALSE(player.Open(junk.string(), &error));
        EXPECT_FALSE(error.empty());
    }
    // No window to play into.
    {
        PlayerGraph player(audio_);
        EXPECT_FALSE(player.Open(movie_, &error));
    }
    EXPECT_EQ(sink_.Count(), 0);
}

TEST_F(PlayerTest, ARecordingCutShortStillPlaysAndRewinds)
{
    // What a power cut leaves: no index at the end, the last chunk broken off.
    const auto cut = *dir_ / "cut.avi";
    std::string bytes = test::ReadFileText(movie_);
    ASSERT_GT(bytes.size(), 10000u);
    ASSERT_TRUE(test::WriteFileText(cut, bytes.substr(0, bytes.size() * 6 / 10)));
    PlayerGraph player(audio_);
    player.SetVideoWindow(&sink_);
    player.SetNotifyWindow(&target_);
    std::string error;
    ASSERT_TRUE(player.Open(cut.string(), &error)) << error;
    const QImage first = sink_.Last();
    ASSERT_TRUE(player.Run());
    ASSERT_TRUE(SpinUntil([&] { return target_.events > 0; }));
    EXPECT_GT(sink_.Count(), 20);
    const int seen = sink_.Count();
    ASSERT_TRUE(player.Stop());
    ASSERT_TRUE(player.SetPositions(0));
    ASSERT_TRUE(player.Pause());
    ASSERT_TRUE(sink_.WaitBeyond(seen));
    EXPECT_LT(MeanDifference(first, sink_.Last()), 1.0);
}

TEST_F(PlayerTest, SoundReachesTheDesktopSpeaker)
{
    if (!test::PulseAudioAvailable())
        GTEST_SKIP() << "no PulseAudio daemon answers at $PULSE_SERVER "
                        "(scripts/test starts one; by hand: source scripts/lib.sh; kestovar_pulse_start)";
    test::PulseTestLock lock;
    auto pulse = std::make_shared<PulseAudioBackend>("kestovar-test");
    ASSERT_TRUE(pulse->Available());
    ASSERT_TRUE(pulse->SetDefaultOutputVolume(1.0f));
    // What the null sink plays, heard back through its monitor.
    HeardPeak heard;
    std::string error;
    auto monitor = heard.Listen(*pulse, error);
    ASSERT_TRUE(monitor) << error;
    PlayerGraph player(pulse);
    player.SetVideoWindow(&sink_);
    player.SetNotifyWindow(&target_);
    ASSERT_TRUE(player.Open(movie_, &error)) << error;
    ASSERT_TRUE(player.HasSound());
    ASSERT_TRUE(player.Run());
    ASSERT_TRUE(SpinUntil([&] { return target_.events > 0; }));
    monitor.reset();
    // The movie's tone is at 0.3; well above silence even if another suite turns the
    // master volume down meanwhile.
    EXPECT_GT(heard.Peak(), 0.03f);
    EXPECT_EQ(sink_.Count(), 60);
}

TEST_F(PlayerTest, SoundComesBackWhenTheSoundServerRestartsDuringPlayback)
{
    test::PrivatePulse server; // its own daemon: stopping it disturbs no other test
    if (!server.Start())
        GTEST_SKIP() << server.Why();
    const std::string longer = (*dir_ / "longer.avi").string();
    ASSERT_TRUE(test::MakeRecordedAvi(longer, 320, 240, 30, 8.0, true));
    auto pulse = std::make_shared<PulseAudioBackend>("kestovar-test");
    ASSERT_TRUE(pulse->Available());
    // What the null sink plays, heard back through its monitor (which reconnects too).
    HeardPeak heard;
    std::string error;
    auto monitor = heard.Listen(*pulse, error);
    ASSERT_TRUE(monitor) << error;
    PlayerGraph player(pulse);
    player.SetVideoWindow(&sink_);
    player.SetNotifyWindow(&target_);
    ASSERT_TRUE(player.Open(longer, &error)) << error;
    ASSERT_TRUE(player.Run());
    SpinUntil([] { return false; }, 1500);
    server.Stop();
    SpinUntil([] { return false; }, 1000);
    ASSERT_TRUE(server.Start()) << server.Why();
    SpinUntil([] { return false; }, 2000); // the station tries again after 0.5 and 1 s
    heard.Reset();
    SpinUntil([] { return false; }, 1500);
    EXPECT_GT(heard.Peak(), 0.03f) << "no sound after the sound server came back";
    // The picture played on throughout, to the end.
    ASSERT_TRUE(SpinUntil([&] { return target_.events > 0; }));
    EXPECT_EQ(sink_.Count(), 240);
}

} // namespace
} // namespace kestovar
