// The resolution pop-up of the real station: the application object with the simulated
// cameras, the embedded frame and its control panel. A click on an item of the pop-up
// must reach the camera: one choice, stored, and the live picture restarted at the size
// chosen (what the camera streams and what a still picture taken then measures).

#include "MediaTestFixture.h"

#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "dialogs/ApplyChoiceEvent.h"
#include "dialogs/CDlgMenuResolution.h"
#include "ui/CFontStatic2.h"
#include "ui/CGdipButton.h"

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

} // namespace
} // namespace kestovar::test
