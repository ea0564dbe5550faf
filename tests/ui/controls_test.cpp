// Labels, check boxes, combo box and pictures of the skin.
#include "ui/CAdvCheckBox.h"
#include "ui/CBitComboBox.h"
#include "ui/CFontStatic.h"
#include "ui/CFontStatic2.h"
#include "ui/CPictureCtrl.h"
#include "ui/SkinPalette.h"

#include "TestSupport.h"

#include <QAbstractItemView>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;

TEST(AdvCheckBox, ImageIndexFromStateAndBoxPlacement)
{
    EXPECT_EQ(CheckBoxImageIndex(true, false, false), 0);
    EXPECT_EQ(CheckBoxImageIndex(true, true, false), 1);
    EXPECT_EQ(CheckBoxImageIndex(true, false, true), 2);
    EXPECT_EQ(CheckBoxImageIndex(true, true, true), 3);
    EXPECT_EQ(CheckBoxImageIndex(false, false, false), 6);
    EXPECT_EQ(CheckBoxImageIndex(false, true, true), 9);

    CAdvCheckBox box("50Hz");
    box.resize(120, 21);
    EXPECT_EQ(box.BoxRect(), QRect(0, 4, 13, 13));
    box.SetLeftText(true);
    EXPECT_EQ(box.BoxRect().right(), 119) << "left text puts the box at the right edge";

    ASSERT_TRUE(box.SetImageList("checkbox_strip"));
    box.show();
    QSignalSpy toggled(&box, &QAbstractButton::toggled);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(toggled.count(), 1);
}

TEST(FontStatic, StyleWordSetsFontAndAlignment)
{
    CFontStatic label("Storage");
    label.SetFont("Arial", 15, 0xFFFFFF, CFontStatic::Bold | CFontStatic::Italic | CFontStatic::Centre);
    EXPECT_TRUE(label.font().bold());
    EXPECT_TRUE(label.font().italic());
    EXPECT_FALSE(label.font().underline());
    EXPECT_EQ(label.HorizontalAlignment(), Qt::AlignHCenter);
    label.SetFont("Arial", 15, 0xFFFFFF, CFontStatic::Right | CFontStatic::Underline);
    EXPECT_EQ(label.HorizontalAlignment(), Qt::AlignRight);
    EXPECT_TRUE(label.font().underline());
    label.SetFont("Arial", 15, 0xFFFFFF, CFontStatic::Left);
    EXPECT_EQ(label.HorizontalAlignment(), Qt::AlignLeft);

    // Its own background fills the label.
    label.SetBackground(0x222222);
    label.setText(QString());
    label.resize(40, 20);
    const QImage img = label.grab().toImage();
    EXPECT_EQ(img.pixel(20, 10) & 0xFFFFFF, 0x222222u);
}

TEST(FontStatic2, HoverLightsAnEnabledItemAndAClickReportsIt)
{
    QWidget popup;
    auto* item = new CFontStatic2("1280x720P", &popup);
    item->SetColours(skin::kFrame, skin::kBackground);
    item->setGeometry(0, 0, 120, 24);
    popup.show();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(item, &enter);
    EXPECT_EQ(item->CurrentBackground(), skin::kBackground);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(item, &leave);
    EXPECT_EQ(item->CurrentBackground(), skin::kFrame);

    QSignalSpy chosen(item, &CFontStatic2::Chosen);
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(1).value<QWidget*>(), &popup);
    EXPECT_FALSE(popup.isVisible()) << "auto-hide hides the pop-up";

    popup.show();
    item->setEnabled(false);
    QApplication::sendEvent(item, &enter);
    EXPECT_EQ(item->CurrentBackground(), skin::kFrame) << "a greyed item does not light up";
}

TEST(BitComboBox, FaceTextStartsFiveFromTheLeftUntilAListWasDrawn)
{
    EXPECT_EQ(CBitComboBox::ItemTextOffset(), 5);
    CBitComboBox combo;
    combo.SetBitmaps("combo_left", "combo_button", "combo_middle", "combo_list_left", "combo_list_right",
        "combo_list_top", "combo_list_bottom");
    combo.addItems({ "Highest(r=0.14)", "High(r=0.11)" });
    combo.resize(180, 21);
    // The text area lies between the left edge (2) and the drop button (21).
    EXPECT_EQ(combo.TextRect(), QRect(2, 3, 157, 15));
    combo.show();
    combo.showPopup();
    QApplication::processEvents();
    combo.view()->viewport()->repaint();
    EXPECT_EQ(CBitComboBox::ItemTextOffset(), 2 + 5) << "the list's indent becomes the shared offset";
    combo.hidePopup();
}

TEST(PictureCtrl, LoadsSkinImagesAndFilesAndRejectsJunk)
{
    CPictureCtrl picture;
    EXPECT_TRUE(picture.LoadFromResource("logo"));
    EXPECT_TRUE(picture.IsLoaded());

    test::TempDir dir;
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString png = QString::fromStdString((dir / "red.png").string());
    ASSERT_TRUE(red.save(png));
    ASSERT_TRUE(picture.LoadFromFile(png));
    picture.resize(40, 30);
    const QImage shown = picture.grab().toImage();
    EXPECT_EQ(shown.pixel(39, 29) & 0xFFFFFF, 0xFF0000u) << "stretched over the whole control";

    ASSERT_TRUE(test::WriteFileText(dir / "bad.png", "not a picture"));
    EXPECT_FALSE(picture.LoadFromFile(QString::fromStdString((dir / "bad.png").string())));
    EXPECT_FALSE(picture.IsLoaded());
    EXPECT_FALSE(picture.LoadFromFile(QString::fromStdString((dir / "missing.png").string())));
}
