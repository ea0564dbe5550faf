// The resolution and rotation pop-ups: items, marks, grey items, placement, the
// choice sent to the frame, closing on a press outside.

#include "FakeSettingsHost.h"
#include "dialogs/CDlgMenuResolution.h"
#include "dialogs/CDlgMenuRotation.h"
#include "ui/CFontStatic2.h"
#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;
using namespace kestovar::test;

namespace {

// A control panel with the two buttons near its bottom.
struct Panel : ::testing::Test {
    Panel()
    {
        panel.setGeometry(100, 100, 400, 500);
        resolutionButton = new QPushButton("Resolution", &panel);
        resolutionButton->setGeometry(20, 420, 60, 40);
        rotationButton = new QPushButton("Rotation", &panel);
        rotationButton->setGeometry(120, 420, 60, 40);
        panel.show();
    }
    void Deliver() { QCoreApplication::sendPostedEvents(&host.target, kApplyChoiceEventType); }

    FakeSettingsHost host;
    QWidget panel;
    QPushButton* resolutionButton;
    QPushButton* rotationButton;
};

QStringList VisibleTexts(const CDlgMenuPopup& popup)
{
    QStringList out;
    for (int i = 0; i < popup.ItemCount(); ++i)
        if (popup.Item(i)->isVisible())
            out << popup.Item(i)->Text();
    return out;
}

} // namespace

TEST_F(Panel, ResolutionMarksTheCurrentChoiceSmallestFirst)
{
    const struct {
        int32_t resolution;
        int marked;
    } cases[] = { { Res480, 0 }, { Res720, 1 }, { Res1080, 2 }, { 7, 2 } };
    for (const auto& c : cases) {
        host.record.resolution = c.resolution;
        std::unique_ptr<CDlgMenuResolution> popup(CDlgMenuResolution::Open(host, resolutionButton, &panel));
        EXPECT_EQ(VisibleTexts(*popup), (QStringList { "640x480P", "1280x720P", "1920x1080P" }));
        EXPECT_EQ(popup->SelectedItem(), c.marked) << "resolution " << c.resolution;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(popup->Item(i)->isEnabled());
    }
}

TEST_F(Panel, WithAnMjpgCamera720And1080AreGreyAndIgnoreClicks)
{
    FakeSettingsHost pro(SimulatedModel::Pro);
    pro.record.resolution = Res1080;
    std::unique_ptr<CDlgMenuResolution> popup(CDlgMenuResolution::Open(pro, resolutionButton, &panel));
    EXPECT_EQ(popup->SelectedItem(), 0) << "640x480P whatever was stored";
    for (int i : { 1, 2 }) {
        EXPECT_FALSE(popup->Item(i)->isEnabled());
        const QImage look = popup->Item(i)->grab().toImage();
        bool greyText = false;
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x)
                greyText |= (look.pixel(x, y) & 0xFFFFFF) == skin::kGreyedText;
        EXPECT_TRUE(greyText) << "item " << i << " drawn in grey";
        QTest::mouseClick(popup->Item(i), Qt::LeftButton);
    }
    QCoreApplication::sendPostedEvents(&pro.target, kApplyChoiceEventType);
    EXPECT_TRUE(pro.target.choices.empty());
    EXPECT_TRUE(popup->isVisible()) << "a grey item does not close the pop-up";
}

TEST_F(Panel, ChoosingAResolutionSendsOneChoiceAndHides)
{
    std::unique_ptr<CDlgMenuResolution> popup(CDlgMenuResolution::Open(host, resolutionButton, &panel));
    ASSERT_TRUE(popup->isVisible());
    QTest::mouseClick(popup->Item(1), Qt::LeftButton);
    EXPECT_FALSE(popup->isVisible());
    Deliver();
    ASSERT_EQ(host.target.choices.size(), 1u);
    EXPECT_EQ(host.target.choices[0].kind, ChoiceKind::Resolution);
    EXPECT_EQ(host.target.choices[0].item, 1);
    EXPECT_EQ(host.target.choices[0].choice, Res720);

    // What the frame then does with it (it goes live afterwards).
    host.record.resolution = Res1080;
    EXPECT_TRUE(StoreChoice(ApplyChoiceEvent(ChoiceKind::Resolution, 1, Res720), host.record));
    EXPECT_EQ(host.record.resolution, Res720);
    EXPECT_FALSE(StoreChoice(ApplyChoiceEvent(ChoiceKind::Resolution, 5, 5), host.record));
    EXPECT_EQ(host.record.resolution, Res720);
}

TEST_F(Panel, RotationShowsFourItemsAndMarksTheCurrentOne)
{
    host.record.rotation = 6;
    std::unique_ptr<CDlgMenuRotation> popup(CDlgMenuRotation::Open(host, rotationButton, &panel));
    EXPECT_EQ(VisibleTexts(*popup), (QStringList { "0", "180", "0 mirror", "180 mirror" }));
    ASSERT_EQ(popup->ItemCount(), 8) << "the turned items exist, hidden";
    EXPECT_EQ(popup->Item(1)->Text(), "90");
    EXPECT_EQ(popup->Item(7)->Text(), "270 mirror");
    EXPECT_EQ(popup->SelectedItem(), 6);
    EXPECT_EQ(popup->Item(6)->Text(), "180 mirror");

    QTest::mouseClick(popup->Item(4), Qt::LeftButton);
    Deliver();
    ASSERT_EQ(host.target.choices.size(), 1u);
    EXPECT_EQ(host.target.choices[0].kind, ChoiceKind::Rotation);
    EXPECT_EQ(host.target.choices[0].choice, 4);
    EXPECT_TRUE(StoreChoice(ApplyChoiceEvent(ChoiceKind::Rotation, 4, 4), host.record));
    EXPECT_EQ(host.record.rotation, 4);
    EXPECT_FALSE(StoreChoice(ApplyChoiceEvent(ChoiceKind::Rotation, 8, 8), host.record));
}

TEST_F(Panel, PopUpsOpenAboveTheirButtonsTheRotationOne130PixelsLower)
{
    std::unique_ptr<CDlgMenuResolution> resolution(CDlgMenuResolution::Open(host, resolutionButton, &panel));
    const QPoint resButton = resolutionButton->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(resolution->size(), DluSize(94, 64));
    EXPECT_EQ(resolution->geometry().left(), resButton.x());
    EXPECT_EQ(resolution->geometry().bottom() + 1, resButton.y()) << "its bottom edge at the button's top";

    std::unique_ptr<CDlgMenuRotation> rotation(CDlgMenuRotation::Open(host, rotationButton, &panel));
    const QPoint rotButton = rotationButton->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(rotation->geometry().left(), rotButton.x());
    EXPECT_EQ(rotation->geometry().top(), rotButton.y() - DluSize(94, 145).height() + 130);
    EXPECT_LE(rotation->geometry().bottom(), rotButton.y()) << "it never covers its button";
    for (int i : { 0, 2, 4, 6 })
        EXPECT_TRUE(rotation->rect().contains(rotation->Item(i)->geometry())) << i;
}

TEST_F(Panel, APressOutsideClosesButAPressOnAnItemDoesNot)
{
    std::unique_ptr<CDlgMenuRotation> popup(CDlgMenuRotation::Open(host, rotationButton, &panel));
    QTest::mousePress(popup->Item(0), Qt::RightButton);
    QTest::mouseRelease(popup->Item(0), Qt::RightButton);
    EXPECT_TRUE(popup->isVisible());
    QTest::mousePress(popup.get(), Qt::RightButton, {}, QPoint(-30, popup->height() + 40));
    EXPECT_FALSE(popup->isVisible());
    Deliver();
    EXPECT_TRUE(host.target.choices.empty());

    std::unique_ptr<CDlgMenuResolution> other(CDlgMenuResolution::Open(host, resolutionButton, &panel));
    QTest::keyClick(other.get(), Qt::Key_Escape);
    EXPECT_FALSE(other->isVisible());
}

TEST_F(Panel, AChoiceForAFrameThatIsGoneIsDropped)
{
    auto target = std::make_unique<ChoiceTarget>();
    std::unique_ptr<CDlgMenuResolution> popup(CDlgMenuResolution::Open(host, resolutionButton, &panel));
    popup->SetNotifyTarget(target.get());
    target.reset();
    QTest::mouseClick(popup->Item(2), Qt::LeftButton); // must not crash
    EXPECT_FALSE(popup->isVisible());
}
