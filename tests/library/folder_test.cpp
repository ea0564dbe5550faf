// The storage folder chooser on a temporary folder: lazy filling, choosing, Create and
// rename in place, and the keys and sizes the dialog keeps to.

#include "library/CDlgFolder.h"
#include "library/CShellTreeCtrl.h"
#include "ui/CGdipButton.h"

#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kestovar {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

class FolderChooser : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "Cases" / "2017");
        fs::create_directories(dir / "Empty");
        dialog.SetNotice([this](QWidget*, const QString& text) { told.push_back(text.toStdString()); });
    }
    QLineEdit* Editor() const { return dialog.Tree()->viewport()->findChild<QLineEdit*>(); }
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    TempDir dir;
    CDlgFolder dialog;
    std::vector<std::string> told;
};

TEST_F(FolderChooser, TheTopLevelHoldsHomeAndTheFileSystemAndNodesFillWhenFirstOpened)
{
    CShellTreeCtrl* tree = dialog.Tree();
    QStringList places;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        places << CShellTreeCtrl::PathOf(tree->topLevelItem(i));
    EXPECT_TRUE(places.contains(QStringLiteral("/")));
    EXPECT_TRUE(places.contains(QDir::homePath()) || QDir::homePath() == QLatin1String("/"));
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        EXPECT_EQ(tree->topLevelItem(i)->childCount(), 0); // nothing read before it is opened
        EXPECT_EQ(tree->topLevelItem(i)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    }
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.CreateButton()->isEnabled());
    EXPECT_TRUE(dialog.ChosenPath().isEmpty());

    ASSERT_TRUE(dialog.SelectPath(Q(dir.path())));
    QTreeWidgetItem* chosen = tree->currentItem();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(CShellTreeCtrl::PathOf(chosen), Q(dir.path()));
    EXPECT_EQ(dialog.ChosenPath(), Q(dir.path()));
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.CreateButton()->isEnabled());
    EXPECT_EQ(chosen->childCount(), 0);
    chosen->setExpanded(true);
    ASSERT_EQ(chosen->childCount(), 2);
    EXPECT_EQ(chosen->child(0)->text(0), QStringLiteral("Cases"));
    EXPECT_EQ(chosen->child(1)->text(0), QStringLiteral("Empty"));

    // A folder without subfolders loses its expand button once opened.
    QTreeWidgetItem* empty = chosen->child(1);
    empty->setExpanded(true);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
}

TEST_F(FolderChooser, CreateMakesTheNextNewFolderAndOpensItsNameAndEnterRenamesIt)
{
    dialog.show();
    fs::create_directories(dir / "Cases" / "New folder(0)");
    ASSERT_TRUE(dialog.SelectPath(Q(dir / "Cases")));
    const QString made = dialog.CreateNewFolder();
    EXPECT_EQ(made, Q(dir / "Cases" / "New folder(1)"));
    EXPECT_TRUE(fs::is_directory(dir / "Cases" / "New folder(1)"));
    EXPECT_EQ(dialog.ChosenPath(), made);
    QTreeWidgetItem* item = dialog.Tree()->currentItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), QStringLiteral("New folder(1)"));
    EXPECT_EQ(item->parent()->text(0), QStringLiteral("Cases"));
    QLineEdit* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("New folder(1)"));

    editor->setText(QStringLiteral("Knee"));
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_TRUE(dialog.isVisible()); // Enter ended the edit, it did not close the dialog
    EXPECT_FALSE(fs::exists(dir / "Cases" / "New folder(1)"));
    EXPECT_TRUE(fs::is_directory(dir / "Cases" / "Knee"));
    EXPECT_EQ(dialog.ChosenPath(), Q(dir / "Cases" / "Knee"));
    EXPECT_EQ(CShellTreeCtrl::PathOf(dialog.Tree()->currentItem()), Q(dir / "Cases" / "Knee"));

    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenPath(), Q(dir / "Cases" / "Knee"));
}

TEST_F(FolderChooser, CreateInAFolderWithoutSubfoldersShowsAndEditsTheNewOne)
{
    dialog.show();
    ASSERT_TRUE(dialog.SelectPath(Q(dir / "Empty")));
    const QString made = dialog.CreateNewFolder();
    EXPECT_EQ(made, Q(dir / "Empty" / "New folder(0)"));
    QTreeWidgetItem* parent = dialog.Tree()->currentItem()->parent();
    EXPECT_TRUE(parent->isExpanded());
    EXPECT_EQ(parent->childCount(), 1);
    ASSERT_NE(Editor(), nullptr);
}

TEST_F(FolderChooser, ARenameThatWouldReplaceOrLeaveTheFolderIsRefusedAndEditedAgain)
{
    dialog.show();
    ASSERT_TRUE(dialog.SelectPath(Q(dir / "Cases" / "2017")));
    QTreeWidgetItem* item = dialog.Tree()->currentItem();
    for (const char* text : { "../Empty", "Empty/x" }) {
        told.clear();
        EXPECT_FALSE(dialog.RenameFolder(item, QString::fromUtf8(text)));
        EXPECT_EQ(told.size(), 1u) << text;
    }
    fs::create_directories(dir / "Cases" / "2018" / "full");
    told.clear();
    EXPECT_FALSE(dialog.RenameFolder(item, QStringLiteral("2018")));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("already exists"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir / "Cases" / "2017"));
    EXPECT_TRUE(fs::is_directory(dir / "Cases" / "2018" / "full"));
    Settle();
    ASSERT_NE(Editor(), nullptr); // opened again for another name
    EXPECT_EQ(dialog.ChosenPath(), Q(dir / "Cases" / "2017"));

    // A folder renamed with its contents keeps them, and the tree reads them anew.
    fs::create_directories(dir / "Cases" / "2017" / "inner");
    dialog.Tree()->RefreshSubItems(item);
    EXPECT_TRUE(dialog.RenameFolder(item, QStringLiteral("Year 2017")));
    EXPECT_TRUE(fs::is_directory(dir / "Cases" / "Year 2017" / "inner"));
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(CShellTreeCtrl::PathOf(item->child(0)), Q(dir / "Cases" / "Year 2017" / "inner"));
}

TEST_F(FolderChooser, EscapeAndEnterDoNotCloseOkNeedsAChoiceAndCancelCloses)
{
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    dialog.accept(); // nothing chosen
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_TRUE(dialog.SelectPath(Q(dir.path())));
    QTest::keyClick(dialog.Tree(), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(FolderChooser, TheDialogResizesDownTo350By300WithTheButtonsInTheirCorners)
{
    EXPECT_EQ(dialog.minimumSize(), QSize(350, 300));
    dialog.show();
    const QPoint ok = dialog.OkButton()->pos();
    const QPoint create = dialog.CreateButton()->pos();
    const QSize before = dialog.size();
    dialog.resize(before + QSize(120, 80));
    Settle();
    EXPECT_EQ(dialog.OkButton()->pos(), ok + QPoint(120, 80));
    EXPECT_EQ(dialog.CreateButton()->pos(), create + QPoint(0, 80));
    dialog.resize(100, 100);
    Settle();
    EXPECT_GE(dialog.width(), 350);
    EXPECT_GE(dialog.height(), 300);
}

} // namespace
} // namespace kestovar
