// The skinned dialog frame: caption, close button, clipping.
#include "dialogs/CMyDialog.h"
#include "dialogs/DialogFrameGeometry.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;

namespace {

struct Frame : ::testing::Test {
    CMyDialog dialog;
    QPoint closeCentre;
    void SetUp() override
    {
        dialog.SetClientSize(QSize(300, 150));
        dialog.show();
        closeCentre = CloseHitRect(dialog.size()).center();
    }
};

} // namespace

TEST(FrameGeometry, CloseButtonCaptionAndClient)
{
    const QSize w(400, 300);
    EXPECT_EQ(CloseButtonRect(w), QRect(375, 7, 19, 19));
    EXPECT_EQ(CloseHitRect(w), QRect(375, 7, 20, 20)) << "right - 25 .. right - 5, top + 7 .. top + 27";
    EXPECT_LT(CaptionTextRect(w).right(), CloseButtonRect(w).left()) << "the title never reaches the button";
    EXPECT_EQ(WindowSizeForClient(ClientRect(w).size()), w);
    EXPECT_EQ(DialogClipRect(w), QRect(QPoint(2, 2), QPoint(397, 297)))
        << "(2, 2) up to (398, 298) exclusive";
}

TEST_F(Frame, ClickingTheCloseButtonCancels)
{
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseMove(&dialog, closeCentre);
    EXPECT_TRUE(dialog.IsCloseHover());
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, closeCentre);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(Frame, ReleasingOutsideTheCloseButtonDoesNothing)
{
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::mousePress(&dialog, Qt::LeftButton, {}, closeCentre);
    EXPECT_TRUE(dialog.IsCloseHover()) << "pressed: the lit image";
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(40, 80));
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(Frame, EscapeCancels)
{
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
}

TEST_F(Frame, PaintsFrameClientAndTitleInItsColours)
{
    dialog.SetTitle("Devices");
    const QImage img = dialog.grab().toImage();
    EXPECT_EQ(img.pixel(200, 3) & 0xFFFFFF, 0x222222u) << "caption strip";
    EXPECT_EQ(img.pixel(2, 100) & 0xFFFFFF, 0x222222u) << "left border";
    EXPECT_EQ(img.pixel(150, 100) & 0xFFFFFF, 0x464646u) << "client area";
    bool whiteInCaption = false;
    for (int x = 14; x < 80; ++x)
        for (int y = 5; y < DialogFrameMetrics::kCaptionHeight; ++y)
            whiteInCaption |= qGray(img.pixel(x, y)) > 230;
    EXPECT_TRUE(whiteInCaption) << "the title in white";
}

TEST_F(Frame, LongTitleIsCutAtTheTextRectangle)
{
    dialog.SetTitle(QString("Very long title ").repeated(10));
    const QImage img = dialog.grab().toImage();
    const QRect text = CaptionTextRect(dialog.size());
    for (int x = text.right() + 1; x < CloseButtonRect(dialog.size()).left(); ++x)
        for (int y = 0; y < DialogFrameMetrics::kCaptionHeight; ++y)
            ASSERT_EQ(img.pixel(x, y) & 0xFFFFFF, 0x222222u)
                << "text beyond its rectangle at " << x << "," << y;
}

TEST(ClipFrame, FourHundredByThreeHundredShowsTwoToThreeNinetyEight)
{
    QWidget w;
    w.resize(400, 300);
    ClipDialogFrame(&w);
    EXPECT_EQ(w.mask().boundingRect(), QRect(QPoint(2, 2), QPoint(397, 297)));
    EXPECT_FALSE(w.mask().contains(QPoint(1, 1)));
    EXPECT_FALSE(w.mask().contains(QPoint(398, 150)));
    EXPECT_TRUE(w.mask().contains(QPoint(397, 297)));

    CMyDialog d;
    d.resize(400, 300);
    d.show();
    ClipDialogFrame(&d);
    d.resize(500, 200);
    EXPECT_EQ(d.mask().boundingRect(), QRect(2, 2, 496, 196)) << "the cut follows a new size";
}
