// Skinned menus and the menu bar that opens them.
#include "ui/CMenuBarXP.h"
#include "ui/CMenuXP.h"
#include "ui/MenuAccessKey.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;

namespace {

struct MenuBar : ::testing::Test {
    QWidget window;
    CMenuBarXP* bar = new CMenuBarXP(&window);
    std::vector<int> asked;

    void SetUp() override
    {
        auto* menu = new CMenuXP;
        for (const char* title : { "Record", "SnapShot", "Help" }) {
            CMenuXP* sub = menu->AppendSubMenu(title);
            sub->AppendItem(1, QString(title) + " item\tF5");
        }
        bar->LoadMenu(menu);
        bar->resize(bar->sizeHint());
        bar->SetAvailabilityCheck([this](int title) {
            asked.push_back(title);
            return true;
        });
        window.resize(400, 300);
        window.show();
    }
    void TearDown() override { bar->CloseMenu(); }

    void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    bool OnlyOpen(int title)
    {
        for (int i = 0; i < bar->TitleCount(); ++i) {
            if (bar->TitleMenu(i)->isVisible() != (i == title))
                return false;
        }
        return bar->OpenTitleIndex() == title && bar->IsPressed(title);
    }
};

} // namespace

TEST_F(MenuBar, TitlesArePaddedButtons)
{
    ASSERT_EQ(bar->TitleCount(), 3);
    EXPECT_EQ(bar->ButtonText(0), "  Record  ");
    EXPECT_EQ(bar->HitTest(bar->ButtonRect(2).center()), 2);
    EXPECT_EQ(bar->HitTest(QPoint(-5, 5)), -1);
}

TEST_F(MenuBar, RightOnTheLastTitleOpensTheFirst)
{
    bar->OpenTitle(2);
    Settle();
    ASSERT_TRUE(OnlyOpen(2));
    QTest::keyClick(bar->TitleMenu(2), Qt::Key_Right);
    Settle();
    EXPECT_TRUE(OnlyOpen(0));
    EXPECT_FALSE(bar->IsPressed(2)) << "the old title's button is released";

    QTest::keyClick(bar->TitleMenu(0), Qt::Key_Left);
    Settle();
    EXPECT_TRUE(OnlyOpen(2)) << "Left on the first title wraps to the last";
    EXPECT_TRUE(bar->IsTracking());
}

TEST_F(MenuBar, AvailabilityIsAskedBeforeATitleOpensAndARefusalOpensNothing)
{
    bar->SetAvailabilityCheck([this](int title) {
        asked.push_back(title);
        return title != 1;
    });
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ButtonRect(1).center());
    Settle();
    EXPECT_EQ(asked, std::vector<int>({ 1 }));
    EXPECT_FALSE(bar->TitleMenu(1)->isVisible());
    EXPECT_FALSE(bar->IsTracking());

    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ButtonRect(0).center());
    Settle();
    EXPECT_TRUE(OnlyOpen(0));
}

TEST_F(MenuBar, OpenMenuFollowsThePointerAlongTheBar)
{
    bar->OpenTitle(0);
    Settle();
    CMenuXP* open = bar->TitleMenu(0);
    const QPoint over = bar->mapToGlobal(bar->ButtonRect(1).center());
    QMouseEvent move(QEvent::MouseMove, open->mapFromGlobal(QPointF(over)), QPointF(over), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(open, &move);
    Settle();
    EXPECT_TRUE(OnlyOpen(1));
}

TEST_F(MenuBar, PressOnTheOpenTitleClosesItAndEscapeEndsTracking)
{
    QSignalSpy exited(bar, &CMenuBarXP::MenuLoopExited);
    bar->OpenTitle(1);
    Settle();
    CMenuXP* open = bar->TitleMenu(1);
    const QPoint on = bar->mapToGlobal(bar->ButtonRect(1).center());
    QMouseEvent press(QEvent::MouseButtonPress, open->mapFromGlobal(QPointF(on)), QPointF(on), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(open, &press);
    Settle();
    EXPECT_FALSE(open->isVisible());
    EXPECT_FALSE(bar->IsTracking());
    EXPECT_EQ(exited.count(), 1);

    bar->OpenTitle(2);
    Settle();
    QTest::keyClick(bar->TitleMenu(2), Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(bar->TitleMenu(2)->isVisible());
    EXPECT_FALSE(bar->IsPressed(2));
    EXPECT_EQ(exited.count(), 2);
}

TEST(MenuXP, ItemsAreMeasuredAndCarryTheirCommands)
{
    CMenuXP menu;
    QAction* start = menu.AppendItem(32771, "Record Start\tF5");
    menu.AppendItem(32772, "Record Stop\tF4");
    EXPECT_EQ(start->data().toInt(), 32771);
    EXPECT_EQ(menu.FindCommand(32772)->text(), "Record Stop\tF4");
    EXPECT_EQ(menu.FindCommand(1), nullptr);
    const int textWidth = QFontMetrics(menu.font()).horizontalAdvance("Record Start");
    EXPECT_EQ(menu.MeasureItemWidth("Record Start"), 2 * 29 + textWidth + 12);

    menu.EnableCommand(32772, false);
    EXPECT_FALSE(menu.FindCommand(32772)->isEnabled());
    menu.CheckCommand(32771, true);
    EXPECT_TRUE(start->isChecked());

    QSignalSpy triggered(&menu, &CMenuXP::CommandTriggered);
    menu.popup(QPoint(10, 10));
    QApplication::processEvents();
    EXPECT_EQ(menu.actionGeometry(start).height(), CMenuXP::kItemHeight);
    start->trigger();
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.at(0).at(0).toInt(), 32771);
    menu.hide();
}

TEST(MenuXP, CheckedAndSelectedItemsShowTheSelectionColour)
{
    CMenuXP menu;
    QAction* a = menu.AppendItem(1, "Unlimited");
    QAction* b = menu.AppendItem(2, "1 GB");
    menu.AppendItem(3, "2 GB");
    menu.CheckCommand(1, true);
    menu.popup(QPoint(10, 10));
    QApplication::processEvents();
    const QImage img = menu.grab().toImage();
    auto colourAt = [&](QAction* act) {
        return img.pixel(menu.actionGeometry(act).left() + 3, menu.actionGeometry(act).center().y())
            & 0xFFFFFF;
    };
    EXPECT_EQ(colourAt(a), 0x636363u) << "checked: highlighted, no check mark";
    EXPECT_EQ(colourAt(b), 0x464646u);
    menu.hide();
}

TEST(MenuAccessKeys, AmpersandMatchesByTypedCharacter)
{
    const QStringList texts = { "&Open", "&Delete", "Re&name", "&Do it", "Plain" };
    EXPECT_EQ(MenuCharMatch(texts, 'x', -1).action, MenuCharResult::Ignore);
    MenuCharResult one = MenuCharMatch(texts, 'n', -1);
    EXPECT_EQ(one.action, MenuCharResult::Execute);
    EXPECT_EQ(one.index, 2);
    EXPECT_EQ(MenuCharMatch(texts, 'o', -1).index, 0) << "case is ignored";
    MenuCharResult several = MenuCharMatch(texts, 'd', 1);
    EXPECT_EQ(several.action, MenuCharResult::Select);
    EXPECT_EQ(several.index, 3);
    EXPECT_EQ(MenuCharMatch(texts, 'd', 3).index, 1) << "wraps to the first match";
    EXPECT_EQ(MenuCharMatch({ "Record Start\tF5", "Live\tF1" }, 'r', -1).action, MenuCharResult::Ignore)
        << "the station's texts have no '&', so typed characters do nothing";
}
