// The video window: pictures, size, the enlarge toggle, full screen, keys, the notice.
#include "TransportTestSupport.h"

#include "dialogs/CDlgNoCamera.h"
#include "ui/CGdipButton.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace kestovar {
namespace {

class VideoViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel_ = std::make_unique<test::KeyRecorder>();
        panel_->resize(780, 560);
        host_.controlPanel = panel_->rect();
        host_.keyTarget = &mainWindow_;
        view_ = new CDlgVideoView(host_, panel_.get());
        view_->setGeometry(10, 10, 640, 360);
        host_.view = view_;
        bar_ = view_->TransportBar();
        panel_->show();
    }
    void TearDown() override
    {
        delete view_.data();
        panel_.reset();
    }

    QRgb PixelAt(QPoint at) { return view_->grab().toImage().pixel(at) & 0xFFFFFF; }

    test::FakePlaybackHost host_;
    test::KeyRecorder mainWindow_;
    std::unique_ptr<test::KeyRecorder> panel_;
    QPointer<CDlgVideoView> view_;
    CDlgToolbarPlay* bar_ = nullptr;
};

TEST_F(VideoViewTest, ShowsTheNewestPictureStretchedAndBlackWithout)
{
    EXPECT_EQ(view_->TargetSize(), QSize(640, 360) * view_->devicePixelRatioF());
    EXPECT_EQ(PixelAt({ 320, 100 }), 0x000000u);

    // Pictures from a graph's thread: only the last one is painted.
    std::thread graph([&] {
        for (int i = 0; i < 20; ++i) {
            QImage frame(64, 36, QImage::Format_RGB32);
            frame.fill(QColor(10 * i, 255 - 10 * i, 40));
            view_->Present(frame);
        }
    });
    graph.join();
    test::Settle();
    ASSERT_FALSE(view_->CurrentPicture().isNull());
    EXPECT_EQ(view_->CurrentPicture().pixel(0, 0) & 0xFFFFFF, qRgb(190, 65, 40) & 0xFFFFFFu);
    // Stretched over the whole window, corner to corner.
    EXPECT_EQ(PixelAt({ 1, 1 }), qRgb(190, 65, 40) & 0xFFFFFFu);
    EXPECT_EQ(PixelAt({ 638, 200 }), qRgb(190, 65, 40) & 0xFFFFFFu);

    view_->ClearPicture();
    EXPECT_TRUE(view_->CurrentPicture().isNull());
    EXPECT_EQ(PixelAt({ 320, 100 }), 0x000000u);

    view_->resize(400, 300);
    EXPECT_EQ(view_->TargetSize(), QSize(400, 300) * view_->devicePixelRatioF());
}

TEST_F(VideoViewTest, SizeChangesDockTheBarAndRedrawWhatIsOnShow)
{
    auto docked = [&] {
        const QRect bar = bar_->geometry();
        return bar.left() == 0 && bar.width() == view_->width() && bar.bottom() == view_->height() - 1
            && bar.height() == bar_->sizeHint().height();
    };
    EXPECT_TRUE(docked());
    view_->resize(500, 280);
    EXPECT_TRUE(docked());
    EXPECT_EQ(host_.videoPositionCalls, 0) << "nothing on show in Idle";

    host_.mode = PlaybackMode::StillShown;
    view_->resize(520, 300);
    EXPECT_EQ(host_.videoPositionCalls, 1);
    host_.mode = PlaybackMode::Live;
    view_->resize(540, 300);
    EXPECT_EQ(host_.videoPositionCalls, 2);
    EXPECT_TRUE(docked());
}

TEST_F(VideoViewTest, ResizePressedTwiceReturnsTheExactRectangle)
{
    bar_->SetTransportBarOpacity(255);
    CGdipButton* resize = bar_->ResizeButton();
    QTest::mouseClick(resize, Qt::LeftButton);
    EXPECT_EQ(view_->geometry(), QRect(0, 0, 780, 490));
    EXPECT_TRUE(view_->IsEnlarged());
    EXPECT_TRUE(resize->IsToggled());
    QTest::mouseClick(bar_->ResizeButton(), Qt::LeftButton);
    EXPECT_EQ(view_->geometry(), QRect(10, 10, 640, 360));
    EXPECT_FALSE(view_->IsEnlarged());
    EXPECT_FALSE(resize->IsToggled());

    // 480P by double-click: the largest 4:3 rectangle, centred.
    host_.resolution = 2;
    QTest::mouseDClick(view_, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(view_->geometry(), QRect((780 - 653) / 2, 0, 653, 490));
    QTest::mouseDClick(view_, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(view_->geometry(), QRect(10, 10, 640, 360));

    // No other resolution enlarges.
    host_.resolution = 5;
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->geometry(), QRect(10, 10, 640, 360));

    // Placing the window anew forgets the enlargement: the next press enlarges.
    host_.resolution = 0;
    view_->ToggleVideoEnlarge();
    view_->setGeometry(20, 20, 320, 180); // PlaceVideoWindow
    view_->ForgetEnlargement();
    EXPECT_FALSE(resize->IsToggled());
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->geometry(), QRect(0, 0, 780, 490));
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->geometry(), QRect(20, 20, 320, 180));
}

TEST_F(VideoViewTest, NoEnlargingInFullScreenOrAtScreenSize)
{
    host_.EnterFullScreen();
    const QRect full = view_->geometry();
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->geometry(), full);
    EXPECT_FALSE(view_->IsEnlarged());
    host_.LeaveFullScreen();

    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    host_.controlPanel = QRect(QPoint(0, 0), screen + QSize(200, 200));
    view_->setGeometry(QRect(QPoint(0, 0), screen));
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->geometry(), QRect(QPoint(0, 0), screen));

    // Grown past the screen's size, it still returns.
    view_->setGeometry(10, 10, 320, 180);
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->size(), screen + QSize(200, 130));
    view_->ToggleVideoEnlarge();
    EXPECT_EQ(view_->geometry(), QRect(10, 10, 320, 180));
}

TEST_F(VideoViewTest, FullScreenCoversThePrimaryScreenAndEscapeReturns)
{
    host_.mode = PlaybackMode::PlaybackPaused;
    bar_->SetTransportBarOpacity(255);
    host_.EnterFullScreen();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(view_->isWindow());
    EXPECT_TRUE(view_->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(view_->geometry(), screen);
    EXPECT_EQ(view_->TargetSize(), screen.size() * view_->devicePixelRatioF());
    EXPECT_EQ(bar_->Opacity(), 0);
    EXPECT_EQ(view_->RectBeforeFullScreen(), QRect(10, 10, 640, 360));

    QTest::keyClick(view_, Qt::Key_Escape);
    EXPECT_FALSE(host_.fullScreen);
    EXPECT_FALSE(view_->IsFullScreen());
    EXPECT_EQ(view_->parentWidget(), panel_.get());
    EXPECT_EQ(view_->geometry(), QRect(10, 10, 640, 360));
    EXPECT_EQ(bar_->Opacity(), 255) << "a paused movie gets its bar back";

    // Escape outside full screen does nothing and goes nowhere.
    QTest::keyClick(view_, Qt::Key_Escape);
    test::Settle();
    EXPECT_EQ(view_->geometry(), QRect(10, 10, 640, 360));
    EXPECT_TRUE(mainWindow_.keys.empty());
    EXPECT_TRUE(panel_->keys.empty());

    // Live: the bar stays invisible after full screen.
    host_.mode = PlaybackMode::Live;
    host_.EnterFullScreen();
    QTest::keyClick(view_, Qt::Key_Escape);
    EXPECT_EQ(bar_->Opacity(), 0);
}

TEST_F(VideoViewTest, HotKeysReachTheMainWindowOnlyWhenTheyMayAct)
{
    host_.mode = PlaybackMode::PlaybackPaused;
    QTest::keyClick(view_, Qt::Key_F5);
    QTest::keyClick(view_, Qt::Key_F7);
    host_.mode = PlaybackMode::Live;
    QTest::keyClick(view_, Qt::Key_F5);
    host_.cameraPresent = false;
    QTest::keyClick(view_, Qt::Key_F4);
    QTest::keyClick(view_, Qt::Key_F1);
    test::Settle();
    EXPECT_EQ(mainWindow_.keys, (std::vector<int> { Qt::Key_F7, Qt::Key_F5, Qt::Key_F1 }));
    EXPECT_TRUE(panel_->keys.empty()) << "a refused F-key must not reach a window behind";

    // Other keys take their usual way.
    QTest::keyClick(view_, Qt::Key_A);
    EXPECT_EQ(panel_->keys, std::vector<int> { Qt::Key_A });
}

TEST_F(VideoViewTest, NoCameraNoticeSitsBelowTheCentreAndPassesHotKeysOn)
{
    view_->ShowNoCameraNotice();
    CDlgNoCamera* notice = view_->NoCameraNotice();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->IsBlinking());
    EXPECT_EQ(notice->pos(), NoCameraPosition(view_->size(), notice->size()));
    EXPECT_GT(notice->geometry().center().y(), view_->height() / 2);

    view_->resize(500, 400);
    EXPECT_EQ(notice->pos(), NoCameraPosition(view_->size(), notice->size()));

    QTest::keyClick(notice, Qt::Key_F7);
    test::Settle();
    EXPECT_EQ(mainWindow_.keys, std::vector<int> { Qt::Key_F7 });

    view_->HideNoCameraNotice();
    EXPECT_FALSE(notice->isVisible());
    EXPECT_FALSE(notice->IsBlinking());
}

} // namespace
} // namespace kestovar
