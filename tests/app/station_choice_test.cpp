// The real station: the application object with the simulated cameras, the embedded
// frame, its control panel and the case information form. A click on an item of the
// resolution pop-up must reach the camera: one choice, stored, and the live picture
// restarted at the size chosen (what the camera streams and what a still picture taken
// then measures). A capture opened from the media list shows what it is (a movie its
// length), and one renamed while on show is followed by the station.

#include "MediaTestFixture.h"

#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "dialogs/ApplyChoiceEvent.h"
#include "dialogs/CDlgMenuResolution.h"
#include "library/CKestovarFormView.h"
#include "library/MediaListModel.h"
#include "playback/CDlgToolbarPlay.h"
#include "playback/CDlgVideoView.h"
#include "ui/CFontStatic2.h"
#include "ui/CGdipButton.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTest>

namespace kestovar::test {
namespace {

// Counts the choices the pop-ups send to the frame.
class ChoiceCounter final : public QObject {
public:
    int choices = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == kApplyChoiceEventType)
            ++choices;
        return false;
    }
};

class StationChoiceTest : public MediaTest {
public:
    void SetUp() override { }
    void TearDown() override
    {
        frame_.reset();
        media_.reset();
        if (app_)
            MediaTest::TearDown();
    }

    void StartStation(const char* model)
    {
        CountedCamera::open = 0;
        StartApp(model);
        media_ = std::make_unique<AppStationMedia>(*app_);
        frame_ = std::make_unique<CMainFrame>(*media_, nullptr);
        frame_->resize(1280, 800);
        frame_->show();
        frame_->installEventFilter(&counter_);
        frame_->ControlPanel()->GoLive();
        ASSERT_EQ(app_->mode, AppMode::Live) << errors_.join("; ").toStdString();
    }

    CDlgMenuResolution* OpenPopup()
    {
        QTest::mouseClick(frame_->ControlPanel()->ResolutionButton(), Qt::LeftButton);
        const auto popups = frame_->findChildren<CDlgMenuResolution*>();
        return popups.size() == 1 ? popups.front() : nullptr;
    }

    QSize StreamedSize() const
    {
        CameraCurrentFormat format;
        if (!app_->previewGraph || !app_->previewGraph->Camera()
            || !app_->previewGraph->Camera()->GetFormat(format))
            return {};
        return QSize(int(format.width), int(format.height));
    }

    // The size of a still picture taken from the running preview.
    QSize StillSize()
    {
        const QString path = Path("still_" + std::to_string(stills_++) + ".jpg");
        if (!app_->previewGraph || !app_->previewGraph->TakeSnapshot(path.toStdString()))
            return {};
        if (!WaitUntil([&] { return QImageReader(path).canRead(); }))
            return {};
        return QImageReader(path).size();
    }

    // Opens the listed capture at `path` as a click in the media list does.
    void OpenListed(const QString& path)
    {
        CKestovarFormView* form = frame_->CaseForm();
        form->RefreshMediaList();
        const int row = form->ListModel()->RowOf(path.toStdString());
        ASSERT_GE(row, 0) << path.toStdString() << " is not listed";
        form->OpenMediaItem(row);
    }

    ChoiceCounter counter_;
    std::unique_ptr<AppStationMedia> media_;
    std::unique_ptr<CMainFrame> frame_;
    int stills_ = 0;
};

TEST_F(StationChoiceTest, ChoosingTheMiddleItemRestartsTheFullHdCameraAt1280x720)
{
    StartStation("fullhd");
    ASSERT_EQ(StreamedSize(), QSize(640, 480));

    CDlgMenuResolution* popup = OpenPopup();
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(popup->Item(1)->Text(), "1280x720P");
    QTest::mouseClick(popup->Item(1), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    EXPECT_EQ(counter_.choices, 1);
    EXPECT_EQ(app_->settings.resolution, Res720);
    EXPECT_EQ(app_->mode, AppMode::Live);
    EXPECT_EQ(StreamedSize(), QSize(1280, 720));
    EXPECT_EQ(StillSize(), QSize(1280, 720));
    ExpectStateConsistent();
}

TEST_F(StationChoiceTest, TheMjpgCameraIgnoresTheLargerItemsAndStaysAt640x480)
{
    StartStation("pro");
    CDlgMenuResolution* popup = OpenPopup();
    ASSERT_NE(popup, nullptr);
    const int graphs = CountedCamera::open;
    QTest::mouseClick(popup->Item(1), Qt::LeftButton);
    QTest::mouseClick(popup->Item(2), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    EXPECT_EQ(counter_.choices, 0);
    EXPECT_EQ(CountedCamera::open, graphs);
    EXPECT_EQ(app_->mode, AppMode::Live);
    EXPECT_EQ(StreamedSize(), QSize(640, 480));
    EXPECT_EQ(StillSize(), QSize(640, 480));
}

TEST_F(StationChoiceTest, AListedMovieShowsItsLengthAndARenamedCaptureOnShowIsFollowed)
{
    StartStation("fullhd");
    const QString movie = app_->settings.GetMoviePath() + "/Knee_170226_101530.avi";
    ASSERT_TRUE(MakeRecordedAvi(movie.toStdString(), 640, 480, 30, 3.0, false));
    ASSERT_NO_FATAL_FAILURE(OpenListed(movie));
    ASSERT_EQ(app_->mode, AppMode::PlaybackPaused);
    const CDlgToolbarPlay* bar = frame_->ControlPanel()->VideoView()->TransportBar();
    EXPECT_EQ(bar->DurationText(), "00:00:03") << "the length shows before Play";
    EXPECT_EQ(bar->PositionText(), "00:00:00");

    // The open movie renamed: the station's path follows it.
    frame_->CaseForm()->RenameMedia(movie, "Shoulder");
    const QString renamedMovie = app_->settings.GetMoviePath() + "/Shoulder.avi";
    ASSERT_TRUE(QFileInfo::exists(renamedMovie));
    EXPECT_EQ(app_->currentMediaPath, renamedMovie);

    // The picture on show renamed: it is drawn again from its new name.
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString picture = app_->settings.GetImagePath() + "/170226_101600.jpg";
    ASSERT_TRUE(image.save(picture, "JPG"));
    ASSERT_NO_FATAL_FAILURE(OpenListed(picture));
    ASSERT_EQ(app_->mode, AppMode::StillShown);
    frame_->CaseForm()->RenameMedia(picture, "Knee still");
    const QString renamedPicture = app_->settings.GetImagePath() + "/Knee still.jpg";
    ASSERT_TRUE(QFileInfo::exists(renamedPicture));
    EXPECT_EQ(app_->currentMediaPath, renamedPicture);
    // A resize of the video window draws it again at the new size, from its new name.
    sink_.SetTargetSize(QSize(160, 120));
    const int drawn = sink_.Count();
    CDlgVideoView* video = frame_->ControlPanel()->VideoView();
    video->resize(video->size() + QSize(10, 10));
    EXPECT_EQ(sink_.Count(), drawn + 1);
    EXPECT_EQ(sink_.Latest().size(), QSize(160, 120));
    EXPECT_EQ(app_->mode, AppMode::StillShown);
}

} // namespace
} // namespace kestovar::test
