// The one- and two-button message dialogs.
#include "dialogs/CDlgOk.h"
#include "dialogs/CDlgOkCancel.h"
#include "dialogs/DialogFrameGeometry.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kestovar;

TEST(DlgOk, AutoCloseEndsOnTheThirdTick)
{
    CDlgOk dlg("Kestovar Full HD camera is detected!");
    dlg.EnableAutoClose();
    dlg.show();
    QSignalSpy accepted(&dlg, &QDialog::accepted);
    dlg.Tick();
    dlg.Tick();
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(dlg.isVisible());
    dlg.Tick();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(DlgOk, WithoutAutoCloseTicksChangeNothing)
{
    CDlgOk dlg("Please enter a file name!");
    dlg.show();
    for (int i = 0; i < 5; ++i)
        dlg.Tick();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.ElapsedSeconds(), 0);
}

TEST(DlgOk, AnAutoClosingBoxClosesByItselfWhenRunModally)
{
    CDlgOk dlg("Kestovar camera is not detected!");
    dlg.EnableAutoClose();
    // A guard so a broken timer fails the test instead of hanging it.
    QTimer::singleShot(15000, &dlg, &QDialog::reject);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.ElapsedSeconds(), 3);
}

TEST(DlgOk, OkClosesAtOnceWithOk)
{
    CDlgOk dlg("Insufficient disk space\n(5% of disk space remaining)");
    dlg.EnableAutoClose();
    QTimer::singleShot(0, dlg.OkButton(), [&] { QTest::mouseClick(dlg.OkButton(), Qt::LeftButton); });
    QTimer::singleShot(15000, &dlg, &QDialog::reject);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.ElapsedSeconds(), 0);
}

TEST(DlgOk, LooksAndLayout)
{
    CDlgOk dlg("Kestovar camera is not detected!");
    EXPECT_EQ(dlg.OkButton()->Caption(), "Ok");
    EXPECT_EQ(dlg.OkButton()->size(), QSize(100, 40));
    EXPECT_EQ(dlg.size(), WindowSizeForClient(QSize(308, 141)));
    EXPECT_EQ(dlg.MessageLabel()->TextColour(), 0xFFFFFFu);
    EXPECT_EQ(dlg.Title(), "Kestovar");

    // A message too long for the label makes the dialog taller, never cut.
    CDlgOk longer(QString("A message that goes on and on. ").repeated(8));
    EXPECT_GT(longer.height(), dlg.height());
    EXPECT_GT(longer.OkButton()->y(), longer.MessageLabel()->geometry().bottom());
}

TEST(DlgOkCancel, YesAcceptsNoEscapeAndCloseButtonCancel)
{
    {
        CDlgOkCancel dlg("Do you want to stop recording?");
        EXPECT_EQ(dlg.YesButton()->Caption(), "Yes");
        EXPECT_EQ(dlg.NoButton()->Caption(), "No");
        dlg.show();
        QTest::mouseClick(dlg.YesButton(), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    {
        CDlgOkCancel dlg("Do you want to stop recording?");
        dlg.show();
        QTest::mouseClick(dlg.NoButton(), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    {
        CDlgOkCancel dlg("Do you want to delete \"a.avi\"?");
        QSignalSpy rejected(&dlg, &QDialog::rejected);
        dlg.show();
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_EQ(rejected.count(), 1);
    }
    {
        CDlgOkCancel dlg("Do you want to delete \"a.avi\"?");
        QSignalSpy rejected(&dlg, &QDialog::rejected);
        dlg.show();
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, CloseHitRect(dlg.size()).center());
        EXPECT_EQ(rejected.count(), 1);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
}

TEST(DlgOkCancel, EnterAnswersYes)
{
    CDlgOkCancel dlg("Do you want to stop recording?");
    QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Return); });
    QTimer::singleShot(15000, &dlg, &QDialog::reject);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
}
