// Skin scroll bars: geometry, dragging and the wrapped view.
#include "ui/CScrollWnd.h"
#include "ui/CSkinScrollBar.h"
#include "ui/CSkinScrollWnd.h"
#include "ui/SkinScrollGeometry.h"

#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace kestovar;

TEST(SkinScrollGeometry, ThirtyPixelBarWithThirteenPixelCellsHasNoThumb)
{
    const SkinScrollLayout l = LayoutSkinScrollBar(30, 13, { 0, 99, 10, 0 });
    EXPECT_EQ(l.channel, 4);
    EXPECT_FALSE(l.hasThumb);
    EXPECT_EQ(l.arrow, 13);
    EXPECT_EQ(l.PartAt(5), ScrollPart::FirstArrow);
    EXPECT_EQ(l.PartAt(20), ScrollPart::SecondArrow);
    EXPECT_EQ(l.PartAt(15), ScrollPart::None);
}

TEST(SkinScrollGeometry, ArrowsShareAShortBar)
{
    const SkinScrollLayout l = LayoutSkinScrollBar(20, 13, { 0, 99, 10, 0 });
    EXPECT_EQ(l.channel, 0);
    EXPECT_EQ(l.arrow, 10);
}

TEST(SkinScrollGeometry, ThumbSizeAndPlace)
{
    // 200 long, t 14: channel 172. 100 rows, page 10: thumb 17, free 155, span 90.
    const ScrollInfo info { 0, 99, 10, 45 };
    SkinScrollLayout l = LayoutSkinScrollBar(200, 14, info);
    ASSERT_TRUE(l.hasThumb);
    EXPECT_EQ(l.thumbLength, 17);
    EXPECT_EQ(l.thumbStart, 14 + 155 * 45 / 90);
    EXPECT_EQ(l.PartAt(l.thumbStart - 1), ScrollPart::PageBefore);
    EXPECT_EQ(l.PartAt(l.thumbStart), ScrollPart::Thumb);
    EXPECT_EQ(l.PartAt(l.thumbStart + l.thumbLength), ScrollPart::PageAfter);
    EXPECT_EQ(LayoutSkinScrollBar(200, 14, { 0, 99, 10, 90 }).thumbStart + 17, 186)
        << "the end meets the arrow";
    EXPECT_EQ(LayoutSkinScrollBar(200, 14, { 0, 9999, 10, 0 }).thumbLength, kMinThumbLength);
    EXPECT_FALSE(LayoutSkinScrollBar(200, 14, { 0, 9, 10, 0 }).hasThumb) << "nothing to scroll";
    EXPECT_EQ(LayoutSkinScrollBar(200, 14, info, 90).thumbStart, 14 + 155) << "a drag places the thumb";
}

TEST(SkinScrollGeometry, DragOverTheWholeFreeLengthGoesFromZeroToNinety)
{
    const ScrollInfo info { 0, 99, 10, 0 };
    const SkinScrollLayout l = LayoutSkinScrollBar(200, 14, info);
    const int free = l.channel - l.thumbLength;
    EXPECT_EQ(DragScrollPosition(l, info, 0, free), 90);
    EXPECT_EQ(DragScrollPosition(l, info, 0, free + 300), 90);
    EXPECT_EQ(DragScrollPosition(l, info, 50, -1000), 0);
    EXPECT_EQ(MaxScrollPosition(info), 90);
}

TEST(SkinScrollBar, DraggingTheThumbReportsTrackAndFinalPosition)
{
    CSkinScrollBar bar(Qt::Vertical);
    ASSERT_TRUE(bar.SetSkin("scrollbar_grid"));
    bar.resize(bar.Thickness(), 200);
    bar.SetScrollInfo({ 0, 99, 10, 0 });
    bar.show();
    QSignalSpy scroll(&bar, &CSkinScrollBar::Scroll);
    const SkinScrollLayout l = bar.Layout();
    const int x = bar.Thickness() / 2;
    const int grip = l.thumbStart + 2;
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(x, grip));
    QTest::mouseMove(&bar, QPoint(x, grip + (l.channel - l.thumbLength)));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(x, grip + (l.channel - l.thumbLength)));
    ASSERT_GE(scroll.count(), 2);
    EXPECT_EQ(scroll.at(scroll.count() - 2).at(0).toInt(), SB_THUMBTRACK);
    EXPECT_EQ(scroll.last().at(0).toInt(), SB_THUMBPOSITION);
    EXPECT_EQ(scroll.last().at(1).toInt(), 90);
    EXPECT_FALSE(bar.IsDragging());
}

TEST(SkinScrollBar, PressingAnArrowOrTheChannelSendsItsCodeAtOnce)
{
    CSkinScrollBar bar(Qt::Horizontal);
    ASSERT_TRUE(bar.SetSkin("scrollbar_grid"));
    bar.resize(200, bar.Thickness());
    bar.SetScrollInfo({ 0, 99, 10, 45 });
    bar.show();
    QSignalSpy scroll(&bar, &CSkinScrollBar::Scroll);
    const int y = bar.Thickness() / 2;
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(195, y));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(195, y));
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(20, y));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(20, y));
    ASSERT_EQ(scroll.count(), 2);
    EXPECT_EQ(scroll.at(0).at(0).toInt(), SB_LINEDOWN);
    EXPECT_EQ(scroll.at(1).at(0).toInt(), SB_PAGEUP);
}

namespace {

struct WrappedList : ::testing::Test {
    QWidget window;
    QListWidget* list = new QListWidget(&window);
    CSkinScrollWnd* frame = new CSkinScrollWnd;

    void Fill(int rows)
    {
        list->clear();
        for (int i = 0; i < rows; ++i)
            list->addItem(QString("item %1").arg(i));
    }
    void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
};

} // namespace

TEST_F(WrappedList, FrameTakesTheViewsPlaceAndShowsTheBarOnlyWhenNeeded)
{
    list->setGeometry(10, 20, 200, 150);
    Fill(3);
    window.resize(300, 300);
    window.show();
    ASSERT_TRUE(frame->Attach(list, "scrollbar_grid"));
    Settle();
    EXPECT_EQ(frame->parentWidget(), &window);
    EXPECT_EQ(frame->geometry(), QRect(10, 20, 200, 150));
    EXPECT_TRUE(frame->VerticalBar()->isHidden()) << "the content fits";

    Fill(100);
    Settle();
    EXPECT_FALSE(frame->VerticalBar()->isHidden());
    EXPECT_TRUE(frame->VerticalBar()->isEnabled());
    EXPECT_EQ(frame->VerticalBar()->geometry().right(), 199);
    EXPECT_EQ(list->width(), 200 - frame->VerticalBar()->Thickness());

    Fill(2);
    Settle();
    EXPECT_TRUE(frame->VerticalBar()->isHidden()) << "hidden again when the content fits";

    frame->Detach();
    EXPECT_EQ(list->parentWidget(), &window);
    EXPECT_EQ(list->geometry(), QRect(10, 20, 200, 150));
}

TEST_F(WrappedList, DraggingTheSkinThumbOverTheChannelScrollsToTheLastPage)
{
    list->setGeometry(0, 0, 200, 160);
    Fill(100);
    window.resize(300, 300);
    window.show();
    ASSERT_TRUE(frame->Attach(list, "scrollbar_grid"));
    Settle();
    CSkinScrollBar* bar = frame->VerticalBar();
    QScrollBar* native = list->verticalScrollBar();
    const int page = native->pageStep();
    ASSERT_GT(page, 1);
    EXPECT_EQ(bar->GetScrollInfo(), (ScrollInfo { 0, 99, page, 0 }));

    const SkinScrollLayout l = bar->Layout();
    const int x = bar->Thickness() / 2;
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(x, l.thumbStart + 1));
    QTest::mouseMove(bar, QPoint(x, l.thumbStart + 1 + (l.channel - l.thumbLength) / 2));
    EXPECT_GT(native->value(), 0) << "the list follows while dragging";
    QTest::mouseMove(bar, QPoint(x, l.thumbStart + 1 + (l.channel - l.thumbLength)));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(x, l.thumbStart + 1 + (l.channel - l.thumbLength)));
    Settle();
    EXPECT_EQ(native->value(), 100 - page);
    EXPECT_EQ(bar->GetScrollInfo().position, 100 - page);
}

TEST(ScrollWnd, BoundBarScrollsItsTargetAndHidesWhenAllFits)
{
    QWidget window;
    auto* text = new QTextEdit(&window);
    text->setGeometry(0, 0, 200, 100);
    text->setPlainText(QString("line\n").repeated(60));
    auto* bar = new CScrollWnd(&window);
    ASSERT_TRUE(bar->SetBitmaps("scroll_up", "scroll_down", "scroll_channel", "scroll_thumb"));
    window.resize(300, 200);
    window.show();
    bar->Bind(text);
    QApplication::processEvents();
    bar->SyncWithTarget();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->geometry().right(), text->geometry().right());
    EXPECT_EQ(bar->HitTest(QPoint(5, 3)), CScrollWnd::UpArrow);
    EXPECT_EQ(bar->HitTest(QPoint(5, bar->height() - 3)), CScrollWnd::DownArrow);

    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, bar->height() - 3));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, bar->height() - 3));
    EXPECT_GT(text->verticalScrollBar()->value(), 0);

    text->setPlainText("short");
    QApplication::processEvents();
    bar->SyncWithTarget();
    EXPECT_FALSE(bar->isVisible());
}
