// The layout arithmetic of the main window, the frame and the control panel.

#include "app/StationGeometry.h"

#include <gtest/gtest.h>

using namespace kestovar;

TEST(PlaceVideoWindow, Native720PCentredInALargeArea)
{
    const QRect area(0, 0, 1400, 800);
    EXPECT_EQ(PlaceVideoRect(area, 1, 1, false), QRect(60, 40, 1280, 720));
    // The same in an area that does not start at the origin.
    EXPECT_EQ(PlaceVideoRect(area.translated(10, 20), 1, 5, false), QRect(70, 60, 1280, 720));
}

TEST(PlaceVideoWindow, LetterboxedWhenTheAreaIsSmallerThanTheNativeSize)
{
    EXPECT_EQ(PlaceVideoRect(QRect(0, 0, 1024, 700), 1, 1, false), QRect(0, 62, 1024, 576));
    // Exactly the native size is not larger than it: fitted, which is the same here.
    EXPECT_EQ(PlaceVideoRect(QRect(0, 0, 1280, 720), 1, 1, false), QRect(0, 0, 1280, 720));
    // Tall and narrow: the width decides.
    EXPECT_EQ(PlaceVideoRect(QRect(0, 0, 640, 1000), 0, 1, false), QRect(0, 320, 640, 360));
    // Wide and low: the height decides.
    EXPECT_EQ(PlaceVideoRect(QRect(0, 0, 1000, 360), 0, 1, false), QRect(180, 0, 640, 360));
}

TEST(PlaceVideoWindow, FourByThreeAndNative480P)
{
    EXPECT_EQ(PlaceVideoRect(QRect(0, 0, 1000, 600), 2, 1, false), QRect(180, 60, 640, 480));
    EXPECT_EQ(PlaceVideoRect(QRect(0, 0, 600, 600), 2, 1, false), QRect(0, 75, 600, 450));
}

TEST(PlaceVideoWindow, Maximised1080PFillsTheAreaAndModeZeroAlwaysDoes)
{
    const QRect area(0, 0, 1605, 900);
    EXPECT_EQ(PlaceVideoRect(area, 0, 1, true), area);
    EXPECT_EQ(PlaceVideoRect(area, 0, 1, false), QRect(2, 0, 1600, 900));
    // Maximised does not stretch 720P or 480P.
    EXPECT_EQ(PlaceVideoRect(area, 1, 1, true), QRect(162, 90, 1280, 720));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(PlaceVideoRect(area, r, 0, false), area);
}

TEST(PlaceVideoWindow, TheAreaIsThePanelWithoutItsButtonRow)
{
    EXPECT_EQ(VideoArea(QRect(0, 0, 1000, 800)), QRect(0, 0, 1000, 730));
    EXPECT_EQ(VideoArea(QRect(0, 0, 100, 50)).height(), 0);
}

TEST(FrameLayout, RightPaneStaysThreeHundredPixelsWide)
{
    for (int w : { 985, 1000, 1280, 1910, 3830 }) {
        const FramePanes p = SplitFrame(QSize(w, 700), 20);
        EXPECT_EQ(p.right.width(), 300) << w;
        EXPECT_EQ(p.right.right(), w - 1) << w;
        EXPECT_EQ(p.left.width() + 5 + 300, w) << w;
        EXPECT_EQ(p.left.height(), 680);
        EXPECT_EQ(p.statusBar, QRect(0, 680, w, 20));
    }
}

TEST(MainWindowLayout, FrameMenuAndCaptionButtons)
{
    const QSize window(1000, 700);
    EXPECT_EQ(FrameRect(window), QRect(5, 56, 990, 640));
    EXPECT_EQ(MenuBarRect(window, 30), QRect(5, 26, 992, 30));
    EXPECT_EQ(CaptionButtonPos(window, CaptionSlot::Close), QPoint(975, 3));
    EXPECT_EQ(CaptionButtonPos(window, CaptionSlot::Maximize), QPoint(955, 3));
    EXPECT_EQ(CaptionButtonPos(window, CaptionSlot::Minimize), QPoint(935, 3));
    EXPECT_EQ(CaptionButtonPos(window, CaptionSlot::FullScreen), QPoint(910, 3));
}

TEST(MainWindowLayout, CaptionAndBackgroundMoveEdgesResize)
{
    const QSize w(1000, 700);
    EXPECT_EQ(HitTestWindow(w, QPoint(500, 0)), WindowPart::Move);
    EXPECT_EQ(HitTestWindow(w, QPoint(0, 10)), WindowPart::Move); // in the caption strip
    EXPECT_EQ(HitTestWindow(w, QPoint(500, 300)), WindowPart::Move);
    EXPECT_EQ(HitTestWindow(w, QPoint(3, 300)), WindowPart::Left);
    EXPECT_EQ(HitTestWindow(w, QPoint(997, 300)), WindowPart::Right);
    EXPECT_EQ(HitTestWindow(w, QPoint(993, 300)), WindowPart::Move); // the right band is narrower
    EXPECT_EQ(HitTestWindow(w, QPoint(500, 695)), WindowPart::Bottom);
    EXPECT_EQ(HitTestWindow(w, QPoint(2, 698)), WindowPart::BottomLeft);
    EXPECT_EQ(HitTestWindow(w, QPoint(998, 698)), WindowPart::BottomRight);
}

TEST(ControlPanelLayout, ButtonsAlongTheBottom)
{
    PanelSizes s { QSize(110, 40), QSize(110, 40), QSize(72, 56), QSize(72, 56), QSize(100, 40) };
    const PanelLayout l = LayoutPanel(QSize(800, 600), s);
    EXPECT_EQ(l.resolution, QPoint(0, 550));
    EXPECT_EQ(l.rotation, QPoint(111, 550));
    EXPECT_EQ(l.record, QPoint(400, 540));
    EXPECT_EQ(l.snapShot, QPoint(328, 540)); // meets Record in the middle
    EXPECT_EQ(l.live, QPoint(690, 550)); // whole, 10 pixels in from the edge
    EXPECT_EQ(l.volume, QPoint(588, 563));
    EXPECT_EQ(l.speaker, QPoint(645, 550));
    EXPECT_EQ(l.backdrop, QPoint(585, 550));
}
