#pragma once
// The folder tree of the storage folder chooser. Its top level holds the places where
// a storage root can lie: the home folder, the file system from "/", and mounted media
// (under /media, /run/media and /mnt). A node's subfolders are read when the node is
// first expanded; until then it shows an expand button, which goes away once the node
// turned out to have no subfolders. Hidden folders are not listed. Subfolders are in
// the order a file browser shows them (by name, letter case aside, numbers by value).
//
// Labels are edited in place; the end of an edit is handed on as LabelEdited and the
// label stays as it was (the dialog renames the folder and sets the label itself).
//
// GUI thread only.

#include <QTreeWidget>

namespace kestovar {

class CShellTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kPathRole = Qt::UserRole + 1;
    static constexpr int kFilledRole = Qt::UserRole + 2;
    static constexpr QRgb kBackground = 0xD2D2D2;

    explicit CShellTreeCtrl(QWidget* parent = nullptr);

    // Rebuilds the top level.
    void FillTopLevel();
    // Reads the node's subfolders again (also when it was read before).
    void RefreshSubItems(QTreeWidgetItem* item);
    bool IsFilled(const QTreeWidgetItem* item) const;

    static QString PathOf(const QTreeWidgetItem* item);
    // Changes an item's folder path (after a rename); what was read below it is dropped
    // and read again from the new place.
    void SetItemPath(QTreeWidgetItem* item, const QString& path, const QString& label);

    // Expands the way to the folder and selects it; false when no top-level place
    // contains it. The deepest existing folder on the way is selected.
    bool SelectPath(const QString& path);
    // The direct child of item labelled `label`, or null.
    QTreeWidgetItem* FindChild(QTreeWidgetItem* item, const QString& label);

signals:
    // The operator finished editing a label with this text (Enter or focus change).
    void LabelEdited(QTreeWidgetItem* item, const QString& text);

private:
    void Fill(QTreeWidgetItem* item);
    QTreeWidgetItem* AddPlace(const QString& label, const QString& path, const QIcon& icon);
};

} // namespace kestovar
