// The skinned sliders: position arithmetic, keys, dragging and what they draw.
#include "ui/BitmapSliderGeometry.h"
#include "ui/CBitSlider.h"
#include "ui/CBitmapSlider.h"
#include "ui/CMySliderControl.h"
#include "ui/CMySliderControl2.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace kestovar;

namespace {

// The transport bar's master volume: 100 x 20 channel, 12 x 16 thumb, margins 8 and 8.
struct VolumeSlider : ::testing::Test {
    CBitmapSlider slider { 1115 };
    void SetUp() override
    {
        ASSERT_TRUE(slider.SetBitmapChannel("volume_channel", "volume_channel_active"));
        ASSERT_TRUE(slider.SetBitmapThumb("volume_thumb", "volume_thumb_active"));
        slider.SetRange(0, 100);
        slider.SetPageSize(10);
        slider.SetMargin(8, 0, 8, 0);
        slider.show();
        ASSERT_EQ(slider.size(), QSize(100, 20)) << "the control takes its channel's size";
    }
};

} // namespace

TEST(BitmapSliderMath, TravelRunsBetweenMarginsPlusHalfAThumb)
{
    BitmapSliderGeometry g { 100, 8, 8, 12, 0, 100 };
    EXPECT_EQ(g.TravelStart(), 14);
    EXPECT_EQ(g.TravelEnd(), 86);
    EXPECT_EQ(g.PixelOf(0), 14);
    EXPECT_EQ(g.PixelOf(100), 86);
    EXPECT_EQ(g.PixelOf(50), 50);
    EXPECT_EQ(g.PixelOf(250), 86) << "held to the range";
    EXPECT_EQ(g.ValueAt(0), 0);
    EXPECT_EQ(g.ValueAt(500), 100);
    for (int v = 0; v <= 100; ++v)
        EXPECT_NEAR(g.ValueAt(g.PixelOf(v)), v, 1) << v;
    BitmapSliderGeometry empty { 10, 8, 8, 12, 0, 100 };
    EXPECT_EQ(empty.ValueAt(5), 0) << "no travel, no division by zero";
}

TEST(BitmapSliderMath, KeysMoveByPageLineOrToTheEnds)
{
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_PageDown, 95, 0, 100, 10), 100);
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_PageUp, 5, 0, 100, 10), 0);
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_End, 95, 0, 100, 10), 100);
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_Home, 95, 0, 100, 10), 0);
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_Right, 95, 0, 100, 10), 96);
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_Down, 100, 0, 100, 10), 100);
    EXPECT_EQ(BitmapSliderKeyPosition(Qt::Key_Up, 95, 0, 100, 10), 94);
    EXPECT_FALSE(BitmapSliderKeyPosition(Qt::Key_A, 95, 0, 100, 10).has_value());
}

TEST_F(VolumeSlider, KeysFromNinetyFiveWithPageTen)
{
    QSignalSpy moved(&slider, &CBitmapSlider::SliderMoved);
    slider.SetPos(95);
    slider.setFocus();
    QTest::keyClick(&slider, Qt::Key_PageDown);
    EXPECT_EQ(slider.GetPos(), 100);
    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_EQ(slider.GetPos(), 100);
    QTest::keyClick(&slider, Qt::Key_Home);
    EXPECT_EQ(slider.GetPos(), 0);
    ASSERT_EQ(moved.count(), 3);
    EXPECT_EQ(moved.at(0).at(0).toInt(), 1115) << "the control id travels with the notification";
    EXPECT_EQ(moved.at(0).at(1).toInt(), 100);
    EXPECT_EQ(moved.at(2).at(1).toInt(), 0);
}

TEST_F(VolumeSlider, DisabledSliderIgnoresKeysAndPointer)
{
    QSignalSpy moved(&slider, &CBitmapSlider::SliderMoved);
    QSignalSpy moving(&slider, &CBitmapSlider::SliderMoving);
    slider.SetPos(40);
    slider.Enable(false);
    QTest::keyClick(&slider, Qt::Key_End);
    QTest::keyClick(&slider, Qt::Key_Right);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(80, 10));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(80, 10));
    EXPECT_EQ(slider.GetPos(), 40);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(moving.count(), 0);
}

TEST_F(VolumeSlider, PressOutsideTheThumbBringsItsCentreToThePointer)
{
    QSignalSpy moving(&slider, &CBitmapSlider::SliderMoving);
    QSignalSpy moved(&slider, &CBitmapSlider::SliderMoved);
    slider.SetPos(30);
    ASSERT_EQ(slider.ThumbCentre(), 36);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(80, 10));
    EXPECT_EQ(slider.ThumbCentre(), 80);
    EXPECT_EQ(slider.GetPos(), 92);
    ASSERT_GE(moving.count(), 1);
    EXPECT_EQ(moving.last().at(1).toInt(), 92);

    QTest::mouseMove(&slider, QPoint(60, 10));
    EXPECT_EQ(slider.GetPos(), 64);
    EXPECT_EQ(moving.last().at(1).toInt(), 64);
    EXPECT_EQ(moved.count(), 0) << "moved comes only when the drag ends";
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(60, 10));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(1).toInt(), 64);
    EXPECT_FALSE(slider.IsDragging());
}

TEST_F(VolumeSlider, PressOnTheThumbKeepsTheGrip)
{
    slider.SetPos(30); // centre at 36
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(39, 10));
    EXPECT_EQ(slider.GetPos(), 30) << "no jump when the thumb itself is taken";
    QTest::mouseMove(&slider, QPoint(49, 10));
    EXPECT_EQ(slider.ThumbCentre(), 46) << "the thumb follows with the grab offset kept";
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(49, 10));
}

TEST(KeyColour, PixelsOfTheKeyBecomeTransparent)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(255, 0, 255));
    image.setPixel(1, 0, qRgb(10, 20, 30));
    QImage masked
        = MaskKeyColour(image, CBitmapSlider::kKeyFromTopLeft).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(masked.pixel(0, 0)), 0);
    EXPECT_EQ(masked.pixel(1, 0), qRgb(10, 20, 30));
    masked = MaskKeyColour(image, qRgb(10, 20, 30)).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(masked.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(masked.pixel(1, 0)), 0);
}

TEST(MySliderControl, DisabledShowsTheDisabledThumb)
{
    CMySliderControl slider;
    ASSERT_TRUE(slider.SetChannelBitmap("slider_channel"));
    ASSERT_TRUE(slider.SetThumbBitmaps("slider_thumb", "slider_thumb_disabled"));
    slider.setRange(0, 100);
    slider.setValue(50);
    slider.resize(222, 26);
    slider.show();
    EXPECT_EQ(slider.ShownThumb().Role(), "slider_thumb");
    const QRect thumb = slider.ThumbRect();
    const QPoint inThumb(thumb.left() + 3, thumb.top() - 2 + 5);
    const int enabledGrey = qGray(slider.grab().toImage().pixel(inThumb));
    slider.setEnabled(false);
    EXPECT_EQ(slider.ShownThumb().Role(), "slider_thumb_disabled");
    const int disabledGrey = qGray(slider.grab().toImage().pixel(inThumb));
    EXPECT_GT(enabledGrey, 200);
    EXPECT_LT(disabledGrey, 130);
}

TEST(MySliderControl2, WhiteFillRunsUpToTheThumb)
{
    EXPECT_EQ(SeekFillRect(QRect(5, 10, 290, 4), 100), QRect(5, 10, 100, 4));
    EXPECT_EQ(SeekFillRect(QRect(5, 10, 290, 4), 0), QRect(5, 10, 0, 4));
    EXPECT_EQ(SeekFillRect(QRect(5, 10, 290, 4), 1000).width(), 290) << "never past the channel";

    CMySliderControl2 seek;
    seek.SetChannelBitmap("seek_channel");
    seek.SetThumbBitmaps("slider_thumb", "slider_thumb_disabled");
    seek.setRange(0, 100);
    seek.setValue(50);
    seek.resize(300, 26);
    seek.show();
    const QImage img = seek.grab().toImage();
    const QRect channel = seek.ChannelRect();
    const int y = channel.center().y();
    EXPECT_EQ(img.pixel(channel.left() + 20, y) & 0xFFFFFF, 0xFFFFFFu) << "played part";
    EXPECT_LT(qGray(img.pixel(channel.right() - 20, y)), 128) << "the rest shows the dark channel";
}

TEST(BitSlider, WheelDoesNotMoveItAndTheThumbWindowFollowsTheValue)
{
    CBitSlider slider;
    ASSERT_TRUE(slider.CreateThumb("mic_thumb", 6, 6));
    ASSERT_TRUE(slider.LoadBarImages("mic_bar_after", "mic_bar_before"));
    EXPECT_EQ(slider.size(), QSize(52, 12));
    EXPECT_EQ(slider.Thumb()->size(), QSize(6, 6));
    slider.setRange(0, 100);
    slider.setValue(50);
    slider.show();
    QWheelEvent wheel(QPointF(20, 6), slider.mapToGlobal(QPointF(20, 6)), QPoint(), QPoint(0, 120),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &wheel);
    EXPECT_EQ(slider.value(), 50);

    slider.setValue(100);
    EXPECT_EQ(slider.Thumb()->geometry(), slider.ThumbRect());
    EXPECT_EQ(slider.ThumbRect().right(), 51) << "at the maximum the thumb reaches the bar's end";
    EXPECT_EQ(slider.ThumbRect().top(), 3);
}
