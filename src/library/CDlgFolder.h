#pragma once
// The storage folder chooser: a folder tree (CShellTreeCtrl) with Ok, Cancel and
// Create. Selecting a folder makes it the chosen path and enables Ok and Create;
// Create makes "New folder(0)" (or the first free number) in the selected folder,
// shows it and opens its name for editing; editing a label renames the folder on disk
// (never over an existing one; a refused name is told and opened again for editing).
// Ok closes only with a chosen path. Escape does not close the dialog, the frame's
// close button and Cancel do; Enter ends a label edit and otherwise does nothing.
// The dialog can be resized (not below 350 x 300) with the grip in its corner.
//
// GUI thread only.

#include "dialogs/CMyDialog.h"

#include <functional>

class QSizeGrip;
class QTreeWidgetItem;

namespace kestovar {

class CGdipButton;
class CShellTreeCtrl;
class CSkinScrollWnd;

class CDlgFolder : public CMyDialog {
    Q_OBJECT
public:
    static constexpr int kMaxNewFolderNumber = 1001;
    static constexpr QSize kMinimumSize { 350, 300 };

    explicit CDlgFolder(QWidget* parent = nullptr);

    QString ChosenPath() const { return chosen_; }
    // Opens the tree at a folder (the current storage root, for one).
    bool SelectPath(const QString& path);

    // Create: makes the new folder in the selected one and opens its name for editing;
    // the new folder's path, or empty when none could be made.
    QString CreateNewFolder();
    // The end of a label edit: renames the item's folder to text.
    bool RenameFolder(QTreeWidgetItem* item, const QString& text);

    CShellTreeCtrl* Tree() const { return tree_; }
    CGdipButton* OkButton() const { return ok_; }
    CGdipButton* CancelButton() const { return cancel_; }
    CGdipButton* CreateButton() const { return create_; }

    // How messages reach the operator; the skinned one-button box by default.
    using Notice = std::function<void(QWidget* parent, const QString& text)>;
    void SetNotice(Notice notice) { notice_ = std::move(notice); }

    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnSelectionChanged();
    void Relayout();
    void Tell(const QString& text);

    CShellTreeCtrl* tree_;
    CSkinScrollWnd* treeFrame_;
    CGdipButton* ok_;
    CGdipButton* cancel_;
    CGdipButton* create_;
    QSizeGrip* grip_;
    QString chosen_;
    Notice notice_;
};

} // namespace kestovar
