// The media control operations beyond their mode moves: still pictures in the video
// window, the layout choice a movie or picture sets, the disk guard, pictures taken
// from whatever runs, a recording completed by the station's close, and the camera's
// plug events.
#include "MediaTestFixture.h"

#include <QImageReader>
#include <QSignalSpy>

#include <csignal>
#include <cstdio>

namespace kestovar::test {
namespace {

using namespace std::chrono_literals;

TEST_F(MediaTest, ShowStillWithNothingToShowChangesNothing)
{
    EXPECT_FALSE(app_->ShowStill());
    EXPECT_EQ(app_->mode, AppMode::Idle);

    ASSERT_TRUE(app_->StartPreview());
    EXPECT_FALSE(app_->ShowStill());
    EXPECT_EQ(app_->mode, AppMode::Live);
    EXPECT_NE(app_->previewGraph, nullptr);
    EXPECT_TRUE(WaitForPictures()) << "the live picture goes on";

    app_->CloseAll();
    app_->videoWindow = nullptr;
    EXPECT_FALSE(app_->ShowStill(Picture()));
    EXPECT_EQ(app_->mode, AppMode::Idle);
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MediaTest, ShowStillStretchesThePictureAndRepaintsOnlyWhatChanged)
{
    ASSERT_TRUE(app_->ShowStill(Picture(1280, 720)));
    EXPECT_EQ(app_->mode, AppMode::StillShown);
    EXPECT_EQ(app_->settings.resolution, Res720);
    ASSERT_EQ(sink_.Count(), 1);
    QImage shown = sink_.Latest();
    EXPECT_EQ(shown.size(), QSize(320, 240)) << "stretched over the whole window";
    const QColor centre = shown.pixelColor(160, 120);
    EXPECT_GT(centre.red(), 180);
    EXPECT_LT(centre.green(), 70);

    // The video window's repaint asks again: the same picture at the same size is
    // not handed over again (that would ask for yet another repaint).
    EXPECT_TRUE(app_->ShowStill());
    EXPECT_EQ(sink_.Count(), 1);
    sink_.SetTargetSize(QSize(400, 300));
    EXPECT_TRUE(app_->ShowStill());
    ASSERT_EQ(sink_.Count(), 2);
    EXPECT_EQ(sink_.Latest().size(), QSize(400, 300));

    ASSERT_TRUE(app_->ShowStill(Picture(640, 480, "small.jpg")));
    EXPECT_EQ(app_->settings.resolution, Res480);
    EXPECT_EQ(app_->currentMediaPath, Path("small.jpg"));
    ASSERT_TRUE(app_->ShowStill(Picture(800, 600, "odd.jpg")));
    EXPECT_EQ(app_->settings.resolution, Res1080);
}

// A picture that cannot be read never leaves the one before it on screen: a placeholder
// takes its place and the operator is told. A picture too large to decode whole is
// decoded at the size it is shown at.
TEST_F(MediaTest, AnUnreadablePictureShowsAPlaceholderAndAHugeOneIsShown)
{
    const QString good = Picture(640, 480);
    const QString empty = Path("empty.jpg");
    WriteFileText(empty.toStdString(), "");
    const QString bad = Path("bad.jpg");
    WriteFileText(bad.toStdString(), "\xff\xd8\xff not a picture");
    for (const QString& unreadable : { empty, bad }) {
        SCOPED_TRACE(unreadable.toStdString());
        ASSERT_TRUE(app_->ShowStill(good));
        errors_.clear();
        EXPECT_FALSE(app_->ShowStill(unreadable));
        EXPECT_EQ(app_->mode, AppMode::StillShown);
        EXPECT_EQ(app_->currentMediaPath, unreadable);
        const QColor shown = sink_.Latest().pixelColor(10, 10);
        EXPECT_LT(shown.red(), 120) << "the red picture before it is still on screen";
        ASSERT_EQ(errors_.size(), 1);
        EXPECT_TRUE(errors_[0].contains("cannot be shown")) << errors_[0].toStdString();
        // The video window's repaint keeps the placeholder.
        sink_.SetTargetSize(QSize(400, 300));
        app_->ShowStill();
        EXPECT_EQ(sink_.Latest().size(), QSize(400, 300));
        EXPECT_LT(sink_.Latest().pixelColor(10, 10).red(), 120);
        sink_.SetTargetSize(QSize(320, 240));
    }

    // Over Qt's own limit for a whole picture (9000 x 8000 x 4 bytes > 256 MiB).
    const QString huge = Path("huge.jpg");
    ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i color=c=red:s=9000x8000 -frames:v 1 -pix_fmt yuvj420p '"
                              + huge.toStdString() + "'")
                              .c_str()),
        0);
    errors_.clear();
    EXPECT_TRUE(app_->ShowStill(huge));
    EXPECT_EQ(sink_.Latest().size(), QSize(320, 240));
    EXPECT_GT(sink_.Latest().pixelColor(160, 120).red(), 180);
    EXPECT_TRUE(errors_.isEmpty());

    // While something runs, it goes on; the operator is still told.
    ASSERT_TRUE(app_->StartPreview());
    errors_.clear();
    EXPECT_FALSE(app_->ShowStill(bad));
    EXPECT_EQ(app_->mode, AppMode::Live);
    EXPECT_NE(app_->previewGraph, nullptr);
    EXPECT_EQ(errors_.size(), 1);
}

TEST_F(MediaTest, NoVideoWindowStartsNothing)
{
    app_->videoWindow = nullptr;
    EXPECT_FALSE(app_->StartPreview());
    EXPECT_FALSE(app_->StartRecord(Path("rec.avi"), true));
    EXPECT_FALSE(app_->OpenPlayback(Movie()));
    EXPECT_EQ(app_->mode, AppMode::Idle);
    EXPECT_TRUE(errors_.isEmpty()) << "nothing was tried, so nothing failed";
    EXPECT_EQ(CountedCamera::open, 0);
    EXPECT_FALSE(std::filesystem::exists(Path("rec.avi").toStdString()));

    // The player also needs the transport bar for its events.
    app_->videoWindow = &sink_;
    app_->transportBarWindow = nullptr;
    ASSERT_TRUE(app_->ShowStill(Picture()));
    EXPECT_FALSE(app_->OpenPlayback(Movie()));
    EXPECT_EQ(app_->mode, AppMode::StillShown);
    EXPECT_EQ(app_->playerGraph, nullptr);
}

TEST_F(MediaTest, OpenedMovieSetsTheLayoutByItsWidth)
{
    const struct {
        int width, height;
        int32_t resolution;
    } cases[] = { { 1280, 720, Res720 }, { 640, 480, Res480 }, { 320, 240, Res1080 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        app_->CloseAll();
        app_->settings.resolution = -1;
        const QString movie = Movie(c.width, c.height);
        ASSERT_TRUE(app_->OpenPlayback(movie));
        EXPECT_EQ(app_->settings.resolution, c.resolution);
        EXPECT_EQ(app_->currentMediaPath, movie);
        EXPECT_EQ(app_->playerGraph->VideoWidth(), c.width);
    }
}

TEST_F(MediaTest, DamagedMovieSaysWhyAndKeepsTheLayout)
{
    const QString path = Path("damaged.avi");
    WriteFileText(path.toStdString(), "RIFF not really");
    app_->settings.resolution = Res720;
    QString why;
    EXPECT_FALSE(app_->OpenPlayback(path, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(app_->settings.resolution, Res720);
    EXPECT_TRUE(app_->currentMediaPath.isEmpty());
    EXPECT_TRUE(errors_.isEmpty()) << "the caller words the message";
}

TEST_F(MediaTest, PlayedToTheEndTheTransportBarHearsOfIt)
{
    ASSERT_TRUE(app_->OpenPlayback(Movie()));
    ASSERT_TRUE(app_->PlayPlayback());
    ASSERT_TRUE(WaitUntil([this] { return transport_.events > 0; })) << "no completion event";
    long code = 0;
    ASSERT_TRUE(app_->playerGraph->GetEvent(code));
    EXPECT_EQ(code, PlayerGraph::kEventComplete);
    // Stopping after the end rewinds, ready to play again.
    EXPECT_TRUE(app_->StopPlayback());
    EXPECT_EQ(app_->mode, AppMode::PlaybackPaused);
    EXPECT_TRUE(app_->PlayPlayback());
    EXPECT_EQ(app_->GetGraphState(), GraphRunState::Running);
}

TEST_F(MediaTest, DiskGuardCountsWholeGibibytesOfTheStorageRoot)
{
    constexpr uint64_t GiB = 1ull << 30;
    const struct {
        uint64_t freeBytes, totalBytes;
        bool enough;
    } cases[] = {
        { 6 * GiB, 100 * GiB, true }, // 6 %
        { 5 * GiB, 100 * GiB, false }, // exactly 5 %
        { 5 * GiB + GiB - 1, 100 * GiB, false }, // still 5 whole GiB
        { 900ull << 20, 1000ull << 20, false }, // under 1 GiB: 0 whole GiB in total
        { 0, 0, false },
    };
    std::string asked;
    DiskSpaceInfo info;
    app_->SetFreeSpaceSource(
        [&](const std::string& path) -> std::optional<DiskSpaceInfo> {
            asked = path;
            return info;
        },
        std::tmpfile());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.freeBytes) + " of " + std::to_string(c.totalBytes));
        info = { c.freeBytes, c.totalBytes };
        EXPECT_EQ(app_->HasFreeDiskSpace(), c.enough);
    }
    EXPECT_EQ(asked, app_->settings.rootpath.toStdString());

    // A volume that cannot be asked counts as full.
    app_->SetFreeSpaceSource(
        [](const std::string&) { return std::optional<DiskSpaceInfo>(); }, std::tmpfile());
    EXPECT_FALSE(app_->HasFreeDiskSpace());
}

TEST_F(MediaTest, DiskGuardReportsOnStandardOutput)
{
    constexpr uint64_t GiB = 1ull << 30;
    app_->SetFreeSpaceSource([](const std::string&) {
        return std::optional<DiskSpaceInfo>({ 6 * GiB + (512ull << 20), 100 * GiB });
    });
    testing::internal::CaptureStdout();
    EXPECT_TRUE(app_->HasFreeDiskSpace());
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
        "GetDiskFreeSpace reports\n\nFree space  = 6656 MB\nTotal space = 102400 MB\n");
}

TEST_F(MediaTest, PicturesAreTakenFromWhateverRuns)
{
    EXPECT_FALSE(app_->TakeSnapshot(Path("idle.jpg")));

    ASSERT_TRUE(app_->StartPreview());
    ASSERT_TRUE(WaitForPictures());
    const QString live = Path("live.jpg");
    ASSERT_TRUE(app_->TakeSnapshot(live));
    // Written by the capture thread at its next frame.
    EXPECT_TRUE(WaitUntil([&] { return QImageReader(live).canRead(); }));
    EXPECT_EQ(QImageReader(live).size(), QSize(640, 480));
    EXPECT_GT(app_->TakeFrameCount(), 0u);

    app_->CloseAll();
    EXPECT_EQ(app_->TakeFrameCount(), 0u);
    ASSERT_TRUE(app_->OpenPlayback(Movie(320, 240)));
    const QString movie = Path("movie.jpg");
    ASSERT_TRUE(app_->TakeSnapshot(movie));
    EXPECT_EQ(QImageReader(movie).size(), QSize(320, 240));
    EXPECT_EQ(app_->mode, AppMode::PlaybackPaused) << "taking a picture changes nothing";
}

TEST_F(MediaTest, RecordPauseKeepsTheRecording)
{
    EXPECT_FALSE(app_->PauseRecord());
    EXPECT_FALSE(app_->ResumeRecord());
    ASSERT_TRUE(app_->StartRecord(Path("paused.avi"), false));
    ASSERT_TRUE(app_->PauseRecord());
    EXPECT_EQ(app_->GetGraphState(), GraphRunState::Paused);
    EXPECT_EQ(app_->mode, AppMode::Recording);
    ASSERT_TRUE(app_->ResumeRecord());
    EXPECT_EQ(app_->GetGraphState(), GraphRunState::Running);
    ASSERT_TRUE(WaitForPictures());
    QString error;
    EXPECT_TRUE(app_->StopRecord(&error)) << error.toStdString();
    const FileFacts facts = ReadFacts(Path("paused.avi").toStdString());
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.size(), 1u) << "recorded without sound";
    EXPECT_EQ(facts.streams[0].codec, "mjpeg");
}

TEST_F(MediaTest, OpenCameraIsThePreviewsElseTheRecordings)
{
    EXPECT_EQ(app_->OpenCamera(), nullptr);
    EXPECT_FALSE(app_->OpenCameraKind());
    ASSERT_TRUE(app_->StartPreview());
    EXPECT_EQ(app_->OpenCamera(), app_->previewGraph->Camera());
    EXPECT_EQ(app_->OpenCameraKind(), SourceKind::Mjpeg);
    app_->CloseAll();
    ASSERT_TRUE(app_->StartRecord(Path("rec.avi"), true));
    EXPECT_EQ(app_->OpenCamera(), app_->recordGraph->Camera());
    EXPECT_NE(app_->OpenCamera(), nullptr);
    app_->CloseAll();
    EXPECT_EQ(app_->OpenCamera(), nullptr);
}

// The station's close (the application object's end, and its shutdown) stops the
// recording so that the movie is complete and readable.
class MediaCloseTest : public MediaTest, public ::testing::WithParamInterface<bool> { };

TEST_P(MediaCloseTest, ClosingWhileRecordingCompletesTheMovie)
{
    const bool byShutdown = GetParam();
    app_.reset();
    SetCameraProvider(nullptr);
    StartApp("fullhd");
    const std::string path = Path("closed.avi").toStdString();
    ASSERT_TRUE(app_->StartRecord(QString::fromStdString(path), true));
    ASSERT_TRUE(WaitForPictures(20));
    std::this_thread::sleep_for(1s);
    if (byShutdown) {
        app_->ExitInstance();
        EXPECT_EQ(app_->mode, AppMode::Idle);
        EXPECT_EQ(app_->recordGraph, nullptr);
    } else {
        app_.reset();
    }

    const FileFacts facts = ReadFacts(path);
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.size(), 2u);
    const StreamFacts& video = facts.streams[0];
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.width, 640);
    EXPECT_EQ(facts.streams[1].codec, "mp3");
    ASSERT_GE(video.packets.size(), 20u);
    EXPECT_TRUE(video.keys.front()) << "the movie starts at a key frame";
    EXPECT_GT(facts.duration, 0.0) << "the index was written";
}

INSTANTIATE_TEST_SUITE_P(Paths, MediaCloseTest, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Shutdown" : "Destruction"; });

TEST_F(MediaTest, CameraPlugEventsArriveAsDeviceChanges)
{
    QSignalSpy changes(app_.get(), &CKestovarApp::deviceChanged);
    std::raise(SIGUSR1);
    ASSERT_TRUE(WaitUntil([&] { return changes.count() == 1; }));
    EXPECT_EQ(changes[0][0].toInt(), 0x8004);
    EXPECT_TRUE(changes[0][1].toString().toUpper().contains("VID_06F8&PID_4148"));
    EXPECT_TRUE(simulated_->ListVideoDevices().empty());

    std::raise(SIGUSR2);
    ASSERT_TRUE(WaitUntil([&] { return changes.count() == 2; }));
    EXPECT_EQ(changes[1][0].toInt(), 0x8000);
    EXPECT_EQ(simulated_->ListVideoDevices().size(), 1u);
}

TEST_F(MediaTest, UnpluggedCameraEndsTheStreamOnce)
{
    QSignalSpy ended(app_.get(), &CKestovarApp::streamEnded);
    ASSERT_TRUE(app_->StartPreview());
    ASSERT_TRUE(WaitForPictures());
    simulated_->Pull();
    ASSERT_TRUE(WaitUntil([&] { return ended.count() >= 1; }));
    EXPECT_FALSE(ended[0][0].toString().isEmpty());
    // The receiver decides what follows; here the station closes it.
    EXPECT_EQ(app_->mode, AppMode::Live);
    app_->CloseAll();
    QCoreApplication::processEvents();
    EXPECT_EQ(ended.count(), 1);
}

} // namespace
} // namespace kestovar::test
