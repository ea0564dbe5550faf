// The image button shows the face a user expects for each state.
#include "ui/CGdipButton.h"
#include "ui/GdipButtonFace.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;

namespace {

// The button's pixels as the screen would show them.
QImage Shown(CGdipButton& b)
{
    return b.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels of a face as the grab shows them (over the widget's cleared background).
bool SamePixels(const QImage& shown, const QImage& face, QPoint at)
{
    return shown.pixel(at) == face.convertToFormat(QImage::Format_ARGB32).pixel(at);
}

} // namespace

TEST(GdipFaceChoice, StateTable)
{
    GdipButtonState s;
    s.hasAlternate = true;
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::Standard);
    s.hover = true;
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::StandardHover);
    s.toggled = true; // toggled without toggle mode: still the standard set
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::StandardHover);
    s.toggleMode = true;
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::AlternateHover);
    s.hover = false;
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::Alternate);
    s.pressed = true;
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::StandardPressed);
    s.disabledLook = true;
    EXPECT_EQ(ChooseGdipFace(s), GdipFace::Dim);
    GdipButtonState noAlt;
    noAlt.toggleMode = noAlt.toggled = true;
    EXPECT_EQ(ChooseGdipFace(noAlt), GdipFace::Standard) << "never a blank face without an alternate image";
}

TEST(GdipButton, ToggledButtonShowsAlternateFaceAndPressedFaceWhilePressed)
{
    CGdipButton b;
    ASSERT_TRUE(b.LoadStdImage("auto_button"));
    ASSERT_TRUE(b.LoadAltImage("auto_button_lit"));
    EXPECT_EQ(b.size(), QSize(50, 20));
    b.SetToggleMode(true);
    b.SetToggled(true);
    b.show();
    const QPoint middle(25, 10);
    const QImage alternate = b.FaceImage(GdipFace::Alternate);
    const QImage standard = b.FaceImage(GdipFace::Standard);
    ASSERT_NE(alternate.pixel(middle), standard.pixel(middle))
        << "the two images must differ to tell them apart";

    EXPECT_EQ(b.CurrentFace(), GdipFace::Alternate);
    EXPECT_TRUE(SamePixels(Shown(b), alternate, middle));

    QTest::mousePress(&b, Qt::LeftButton, {}, middle);
    EXPECT_EQ(b.CurrentFace(), GdipFace::StandardPressed);
    EXPECT_TRUE(SamePixels(Shown(b), b.FaceImage(GdipFace::StandardPressed), middle));
    // The pressed face is the standard image one pixel down and right.
    EXPECT_EQ(b.FaceImage(GdipFace::StandardPressed).pixel(11, 11), standard.pixel(10, 10));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, middle);
    EXPECT_FALSE(b.IsToggled()) << "a release inside flips the toggled state";
    EXPECT_EQ(b.CurrentFace(), GdipFace::Standard);
}

TEST(GdipButton, ReleaseInsideFlipsBeforeClickedSoTheHandlerHasTheLastWord)
{
    CGdipButton b("auto_button", "Auto");
    b.show();
    bool stateSeenInHandler = false;
    QObject::connect(&b, &QPushButton::clicked, [&] {
        stateSeenInHandler = b.IsToggled();
        b.SetToggled(false); // the camera dialog sets the state itself
    });
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(stateSeenInHandler);
    EXPECT_FALSE(b.IsToggled());

    // Pressed inside, released outside: no click and no flip.
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_FALSE(b.IsToggled());
}

TEST(GdipButton, HoverBrightensAndDimLookDarkens)
{
    CGdipButton b("button", "Ok");
    b.show();
    const QPoint p(50, 30);
    const QRgb standard = b.FaceImage(GdipFace::Standard).convertToFormat(QImage::Format_ARGB32).pixel(p);
    const QRgb hover = b.FaceImage(GdipFace::StandardHover).convertToFormat(QImage::Format_ARGB32).pixel(p);
    const QRgb dim = b.FaceImage(GdipFace::Dim).convertToFormat(QImage::Format_ARGB32).pixel(p);
    EXPECT_GT(qRed(hover), qRed(standard));
    EXPECT_LT(qRed(dim), qRed(standard));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_TRUE(b.IsHover());
    EXPECT_EQ(b.CurrentFace(), GdipFace::StandardHover);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&b, &leave);
    EXPECT_EQ(b.CurrentFace(), GdipFace::Standard);

    b.SetDisabledLook(true);
    EXPECT_EQ(b.CurrentFace(), GdipFace::Dim);
}

TEST(GdipButton, DisabledCaptionIsGreyAndNormalCaptionWhite)
{
    CGdipButton b("button", "Ok");
    b.show();
    auto brightest = [&] {
        // Inside the plate: its rounded corners show whatever lies behind the button.
        const QImage img = Shown(b);
        int best = 0;
        for (int y = 4; y < img.height() - 4; ++y)
            for (int x = 4; x < img.width() - 4; ++x)
                best = std::max(best, qGray(img.pixel(x, y)));
        return best;
    };
    EXPECT_GE(brightest(), 0xF0);
    b.SetDisabledLook(true);
    EXPECT_LE(brightest(), 0x78 + 2) << "text of a dimmed button is 0x787878";
    // Disabled alone keeps the normal face: the dim look is the owner's to ask for.
    b.SetDisabledLook(false);
    b.setEnabled(false);
    EXPECT_GE(brightest(), 0xF0) << "a disabled button was dimmed without being asked";
}

TEST(GdipButton, WithoutItsImageDrawsNothing)
{
    CGdipButton b;
    EXPECT_FALSE(b.LoadStdImage("no_such_role"));
    EXPECT_TRUE(b.FaceImage(GdipFace::Standard).isNull());
}
