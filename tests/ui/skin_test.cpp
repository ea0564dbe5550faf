// Skin images load from the resources at the sizes the controls lay out with,
// and the colour matrix of hover and dim faces does the right arithmetic.
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/DialogUnits.h"
#include "ui/ImageEffects.h"
#include "ui/ImageStrip.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace kestovar;

TEST(SkinImages, EveryRoleDecodesAndRendersVisiblePixels)
{
    const QStringList roles = SkinImageRoles();
    ASSERT_GE(roles.size(), 60) << "the skin resource is not linked in";
    for (const QString& role : roles) {
        CGdiPlusBitmapResource image;
        ASSERT_TRUE(image.Load(role)) << role.toStdString();
        const QImage pixels = image.Render(1.0);
        ASSERT_FALSE(pixels.isNull()) << role.toStdString();
        bool anyVisible = false;
        for (int y = 0; y < pixels.height() && !anyVisible; ++y)
            for (int x = 0; x < pixels.width() && !anyVisible; ++x)
                anyVisible = qAlpha(pixels.pixel(x, y)) > 0;
        EXPECT_TRUE(anyVisible) << role.toStdString() << " draws nothing";
    }
}

TEST(SkinImages, SizesTheLayoutsDependOn)
{
    const struct {
        const char* role;
        QSize size;
    } fixed[] = {
        { "button", { 100, 40 } },
        { "auto_button", { 50, 20 } },
        { "auto_button_lit", { 50, 20 } },
        { "dialog_close", { 19, 19 } },
        { "dialog_close_hover", { 19, 19 } },
        { "caption_close", { 19, 19 } },
        { "caption_tile", { 20, 25 } },
        { "logo", { 58, 16 } },
        { "panel_centre", { 350, 150 } },
        { "slider_backdrop", { 100, 40 } },
        { "slider_channel", { 212, 20 } },
        { "slider_thumb", { 10, 15 } },
        { "slider_thumb_disabled", { 10, 15 } },
        { "checkbox_strip", { 130, 13 } },
        { "combo_left", { 2, 21 } },
        { "combo_button", { 21, 21 } },
        { "combo_middle", { 16, 21 } },
        { "mic_bar_before", { 52, 12 } },
        { "mic_bar_after", { 52, 12 } },
        { "mic_thumb", { 7, 9 } },
        { "popup_background", { 140, 100 } },
        { "splash_background", { 650, 450 } },
        { "splash_progress", { 12, 5 } },
    };
    for (const auto& f : fixed) {
        CGdiPlusBitmapResource image;
        ASSERT_TRUE(image.Load(f.role)) << f.role;
        EXPECT_EQ(image.Size(), f.size) << f.role;
    }
    for (int n = 1; n <= 12; ++n) {
        CGdiPlusBitmapResource frame;
        ASSERT_TRUE(frame.Load(QString("record_indicator_%1").arg(n, 2, 10, QChar('0')))) << n;
        EXPECT_EQ(frame.Size(), QSize(32, 32));
    }
    CGdiPlusBitmapResource grid;
    ASSERT_TRUE(grid.Load("scrollbar_grid"));
    EXPECT_EQ(grid.Size().width() % 9, 0);
    EXPECT_EQ(grid.Size().height(), 3 * grid.Size().width() / 9);
}

TEST(SkinImages, MissingOrBadImagesLoadNothing)
{
    CGdiPlusBitmapResource image;
    EXPECT_FALSE(image.Load("no_such_role"));
    EXPECT_FALSE(image.IsLoaded());
    EXPECT_FALSE(image.Load("../skin/button")); // a role is a name, never a path
    EXPECT_FALSE(image.LoadData("not an image at all"));
    EXPECT_TRUE(image.Render(QSize(10, 10), 1.0).isNull());
    ASSERT_TRUE(image.Load("button"));
    EXPECT_FALSE(image.Load("no_such_role")) << "a failed load drops the previous image";
    EXPECT_FALSE(image.IsLoaded());
}

TEST(SkinImages, RenderedSharplyAtTwiceTheScale)
{
    CGdiPlusBitmapResource image;
    ASSERT_TRUE(image.Load("button"));
    const QImage twice = image.Render(2.0);
    EXPECT_EQ(twice.size(), QSize(200, 80));
    EXPECT_EQ(twice.devicePixelRatio(), 2.0);
}

TEST(ColorMatrix, HoverAndDimArithmeticOnStraightColour)
{
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(100, 200, 0, 255));
    image.setPixel(1, 0, qRgba(250, 250, 250, 255));
    image.setPixel(2, 0, qRgba(0, 0, 0, 0));
    const QImage hover
        = ApplyColorMatrix(image, kHoverFactor, kHoverOffset).convertToFormat(QImage::Format_ARGB32);
    // 100/255 * 1.05 + 0.05 = 0.4618 -> 118; 200 -> 223; 0 -> 0.05 -> 13; 250 clamps at 255.
    EXPECT_EQ(hover.pixel(0, 0), qRgba(118, 223, 13, 255));
    EXPECT_EQ(hover.pixel(1, 0), qRgba(255, 255, 255, 255));
    EXPECT_EQ(qAlpha(hover.pixel(2, 0)), 0) << "transparent parts stay transparent";
    const QImage dim = ApplyColorMatrix(image, kDimFactor, kDimOffset).convertToFormat(QImage::Format_ARGB32);
    // 100/255 * 0.55 + 0.05 = 0.2657 -> 68.
    EXPECT_EQ(qRed(dim.pixel(0, 0)), 68);
    EXPECT_EQ(qAlpha(dim.pixel(0, 0)), 255);
}

TEST(ImageStrips, FramesRunAlongTheLongSide)
{
    ImageStrip thumb;
    ASSERT_TRUE(thumb.Load("mic_thumb", 6, 6)); // 7 x 9: taller than wide
    EXPECT_EQ(thumb.FrameCount(), 1);
    EXPECT_EQ(thumb.FrameRect(0), QRect(0, 0, 6, 6));
    EXPECT_TRUE(thumb.FrameRect(1).isEmpty());

    ImageStrip boxes;
    ASSERT_TRUE(boxes.Load("checkbox_strip", 13, 13));
    EXPECT_EQ(boxes.FrameCount(), 10);
    EXPECT_EQ(boxes.FrameRect(9), QRect(117, 0, 13, 13));

    ImageStrip whole;
    ASSERT_TRUE(whole.Load("mic_bar_before"));
    EXPECT_EQ(whole.FrameCount(), 1);
    EXPECT_EQ(whole.FrameSize(), QSize(52, 12));
}

TEST(DialogUnitsConversion, MatchesTheEightPointShellFont)
{
    EXPECT_EQ(DluSize(205, 87), QSize(308, 141));
    EXPECT_EQ(DluRect(67, 51, 70, 26), QRect(101, 83, 105, 42));
    EXPECT_EQ(DluToPixelsX(1), 2); // 1.5 rounds up
}
