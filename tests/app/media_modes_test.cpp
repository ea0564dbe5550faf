// Every move of `mode` the media control operations make, one row each: from which
// mode, by which operation, with which result, to which mode, and what must then be
// true of the graphs and the video window.
#include "MediaTestFixture.h"

#include <functional>
#include <ostream>

namespace kestovar::test {
namespace {

struct Row {
    const char* name;
    AppMode from;
    std::function<bool(MediaTest&, CKestovarApp&)> operation;
    bool result;
    AppMode to;
    const char* error = nullptr; // the message the operator is shown, if any
    std::function<void(MediaTest&, CKestovarApp&)> check = nullptr;
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class MediaModeTest : public MediaTest, public ::testing::WithParamInterface<Row> {
protected:
    // Brings the station into `mode` the way the windows do.
    void Reach(AppMode mode)
    {
        switch (mode) {
        case AppMode::Idle:
            break;
        case AppMode::Live:
            ASSERT_TRUE(app_->StartPreview());
            break;
        case AppMode::Recording:
            ASSERT_TRUE(app_->StartRecord(Path("reached.avi"), true));
            break;
        case AppMode::PlaybackPaused:
            ASSERT_TRUE(app_->OpenPlayback(Movie()));
            break;
        case AppMode::Playing:
            ASSERT_TRUE(app_->OpenPlayback(Movie()));
            ASSERT_TRUE(app_->PlayPlayback());
            break;
        case AppMode::StillShown:
            ASSERT_TRUE(app_->ShowStill(Picture()));
            break;
        }
        ASSERT_EQ(app_->mode, mode);
    }
};

using App = CKestovarApp;
using T = MediaTest;

void PicturesFlow(T& t, App&)
{
    // The camera's pictures reach the video window.
    EXPECT_TRUE(t.WaitForPictures());
}

void GraphRuns(T&, App& app)
{
    EXPECT_EQ(app.GetGraphState(), GraphRunState::Running);
}

void GraphPaused(T&, App& app)
{
    EXPECT_EQ(app.GetGraphState(), GraphRunState::Paused);
}

void NothingRuns(T&, App& app)
{
    EXPECT_EQ(app.GetGraphState(), GraphRunState::Stopped);
    EXPECT_EQ(app.TakeFrameCount(), 0u);
}

const Row kRows[] = {
    // Idle -> the four starts.
    { "IdleToLiveByStartPreview", AppMode::Idle, [](T&, App& a) { return a.StartPreview(); }, true,
        AppMode::Live, nullptr,
        [](T& t, App& a) {
            PicturesFlow(t, a);
            GraphRuns(t, a);
        } },
    { "IdleToRecordingByStartRecord", AppMode::Idle,
        [](T& t, App& a) { return a.StartRecord(t.Path("rec.avi"), true); }, true, AppMode::Recording,
        nullptr,
        [](T& t, App& a) {
            PicturesFlow(t, a);
            GraphRuns(t, a);
            EXPECT_EQ(a.recordGraph->OutputPath(), t.Path("rec.avi").toStdString());
        } },
    { "IdleToPlaybackPausedByOpenPlayback", AppMode::Idle,
        [](T& t, App& a) { return a.OpenPlayback(t.Movie()); }, true, AppMode::PlaybackPaused, nullptr,
        GraphPaused },
    { "IdleToStillShownByShowStill", AppMode::Idle, [](T& t, App& a) { return a.ShowStill(t.Picture()); },
        true, AppMode::StillShown, nullptr, NothingRuns },

    // Between the two playback modes.
    { "PausedToPlayingByPlayPlayback", AppMode::PlaybackPaused, [](T&, App& a) { return a.PlayPlayback(); },
        true, AppMode::Playing, nullptr, GraphRuns },
    { "PlayingToPausedByPausePlayback", AppMode::Playing, [](T&, App& a) { return a.PausePlayback(); }, true,
        AppMode::PlaybackPaused, nullptr, GraphPaused },
    { "PlayingToPausedByStopPlayback", AppMode::Playing, [](T&, App& a) { return a.StopPlayback(); }, true,
        AppMode::PlaybackPaused, nullptr,
        [](T& t, App& a) {
            GraphPaused(t, a);
            int64_t position = -1;
            ASSERT_TRUE(a.playerGraph->GetCurrentPosition(position));
            EXPECT_EQ(position, 0) << "stopping rewinds to the start";
        } },
    { "PlayingStaysPlayingByPlayPlayback", AppMode::Playing, [](T&, App& a) { return a.PlayPlayback(); },
        true, AppMode::Playing, nullptr, GraphRuns },

    // Any -> Idle by CloseAll.
    { "IdleStaysIdleByCloseAll", AppMode::Idle, [](T&, App& a) { return a.CloseAll(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "LiveToIdleByCloseAll", AppMode::Live, [](T&, App& a) { return a.CloseAll(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "RecordingToIdleByCloseAll", AppMode::Recording, [](T&, App& a) { return a.CloseAll(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "PausedToIdleByCloseAll", AppMode::PlaybackPaused, [](T&, App& a) { return a.CloseAll(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "PlayingToIdleByCloseAll", AppMode::Playing, [](T&, App& a) { return a.CloseAll(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "StillShownToIdleByCloseAll", AppMode::StillShown, [](T&, App& a) { return a.CloseAll(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },

    // Any -> Idle by the stop or close of the graph that runs.
    { "LiveToIdleByStopPreview", AppMode::Live, [](T&, App& a) { return a.StopPreview(), true; }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "RecordingToIdleByStopRecord", AppMode::Recording, [](T&, App& a) { return a.StopRecord(); }, true,
        AppMode::Idle, nullptr, NothingRuns },
    { "PausedToIdleByClosePlayback", AppMode::PlaybackPaused,
        [](T&, App& a) { return a.ClosePlayback(), true; }, true, AppMode::Idle, nullptr, NothingRuns },
    { "PlayingToIdleByClosePlayback", AppMode::Playing, [](T&, App& a) { return a.ClosePlayback(), true; },
        true, AppMode::Idle, nullptr, NothingRuns },

    // A start with something else still running closes it first.
    { "LiveToStillShownByShowStill", AppMode::Live, [](T& t, App& a) { return a.ShowStill(t.Picture()); },
        true, AppMode::StillShown, nullptr, NothingRuns },
    { "PlayingToLiveByStartPreview", AppMode::Playing, [](T&, App& a) { return a.StartPreview(); }, true,
        AppMode::Live, nullptr,
        [](T& t, App& a) {
            EXPECT_TRUE(a.currentMediaPath.isEmpty());
            PicturesFlow(t, a);
        } },
    { "RecordingToPausedByOpenPlayback", AppMode::Recording,
        [](T& t, App& a) { return a.OpenPlayback(t.Movie()); }, true, AppMode::PlaybackPaused, nullptr,
        [](T& t, App&) {
            // The recording was completed, not dropped.
            const FileFacts facts = ReadFacts(t.Path("reached.avi").toStdString());
            ASSERT_TRUE(facts.opened);
            EXPECT_EQ(facts.streams.size(), 2u);
        } },
    { "LiveToRecordingByStartRecord", AppMode::Live,
        [](T& t, App& a) { return a.StartRecord(t.Path("rec.avi"), true); }, true, AppMode::Recording,
        nullptr, PicturesFlow },

    // Any -> Idle by a failed start or playback operation.
    { "NoCameraLeavesIdleWithPreviewError", AppMode::Idle,
        [](T& t, App& a) {
            t.simulated_->Pull();
            return a.StartPreview();
        },
        false, AppMode::Idle, "preview error", NothingRuns },
    { "CameraThatCannotStreamLeavesIdleWithPreviewError", AppMode::Idle,
        [](T&, App& a) {
            CountedCamera::refuseStreaming = true;
            return a.StartPreview();
        },
        false, AppMode::Idle, "preview error", NothingRuns },
    { "UnwritableFolderLeavesIdleWithRecordError", AppMode::Idle,
        [](T& t, App& a) { return a.StartRecord(t.Path("missing/rec.avi"), true); }, false, AppMode::Idle,
        "record error", NothingRuns },
    { "NoCameraLeavesIdleWithRecordError", AppMode::Idle,
        [](T& t, App& a) {
            t.simulated_->Pull();
            return a.StartRecord(t.Path("rec.avi"), false);
        },
        false, AppMode::Idle, "record error",
        [](T& t, App&) { EXPECT_FALSE(std::filesystem::exists(t.Path("rec.avi").toStdString())); } },
    { "CameraThatCannotStreamLeavesIdleWithRecordError", AppMode::Idle,
        [](T& t, App& a) {
            CountedCamera::refuseStreaming = true;
            return a.StartRecord(t.Path("rec.avi"), true);
        },
        false, AppMode::Idle, "record error",
        [](T& t, App&) {
            // Nothing was recorded, so no empty movie is left to be listed.
            EXPECT_FALSE(std::filesystem::exists(t.Path("rec.avi").toStdString()));
        } },
    { "DamagedMovieLeavesIdleSilently", AppMode::Idle,
        [](T& t, App& a) {
            const QString path = t.Path("damaged.avi");
            WriteFileText(path.toStdString(),
                "RIFF\x10\x00\x00\x00"
                "AVI LIST garbage");
            return a.OpenPlayback(path);
        },
        false, AppMode::Idle, nullptr, NothingRuns },
    { "PlayWithoutMovieGoesIdle", AppMode::StillShown, [](T&, App& a) { return a.PlayPlayback(); }, false,
        AppMode::Idle, nullptr, NothingRuns },
    { "PauseWithoutMovieChangesNothing", AppMode::Live, [](T&, App& a) { return a.PausePlayback(); }, false,
        AppMode::Live, nullptr, GraphRuns },
    { "StopWithoutMovieGoesIdle", AppMode::StillShown, [](T&, App& a) { return a.StopPlayback(); }, false,
        AppMode::Idle, nullptr, NothingRuns },
};

TEST_P(MediaModeTest, MovesModeAsListed)
{
    const Row& row = GetParam();
    Reach(row.from);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(row.operation(*this, *app_), row.result);
    EXPECT_EQ(app_->mode, row.to);
    ExpectStateConsistent();
    if (row.error)
        EXPECT_EQ(errors_, QStringList { QString::fromLatin1(row.error) });
    else
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join(", ").toStdString();
    if (row.check)
        row.check(*this, *app_);
}

INSTANTIATE_TEST_SUITE_P(Rows, MediaModeTest, ::testing::ValuesIn(kRows),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kestovar::test
