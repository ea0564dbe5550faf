#pragma once
// The media list's view: an icon view of thumbnails in the order of the model, one
// item selectable, labels edited in place only when asked (Rename, or F2), white text
// on the form's background. Double-click on an item opens it (activated); a
// right-click anywhere asks for the context menu; the Delete key asks to delete the
// selected item.

#include <QListView>

namespace kestovar {

class CListCtrlEx : public QListView {
    Q_OBJECT
public:
    static constexpr QRgb kBackground = 0x464646;

    explicit CListCtrlEx(QWidget* parent = nullptr);

    // The first selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int row);
    // Opens the in-place editor of the selected item; false when none is selected.
    bool EditSelected();

signals:
    void ItemDoubleClicked(int row);
    void ContextMenuWanted(const QPoint& globalPos);
    void DeleteKeyPressed();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace kestovar
