#include "library/CListCtrlEx.h"

#include "library/MediaItemDelegate.h"
#include "ui/SkinPalette.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace kestovar {

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setGridSize(MediaItemDelegate::kItemSize);
    setIconSize(MediaItemDelegate::kThumbnailSize);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFrameShape(QFrame::NoFrame);
    setFont(skin::SkinFont(QStringLiteral("Arial"), 14));
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new MediaItemDelegate(this));

    QPalette p = palette();
    p.setColor(QPalette::Base, skin::Colour(kBackground));
    p.setColor(QPalette::Window, skin::Colour(kBackground));
    p.setColor(QPalette::Text, skin::Colour(skin::kText));
    setPalette(p);
    viewport()->setAutoFillBackground(true);

    connect(this, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { emit ContextMenuWanted(viewport()->mapToGlobal(pos)); });
}

int CListCtrlEx::SelectedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CListCtrlEx::SelectRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    const QModelIndex at = model()->index(row, 0);
    setCurrentIndex(at);
    selectionModel()->select(at, QItemSelectionModel::ClearAndSelect);
}

bool CListCtrlEx::EditSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return false;
    const QModelIndex at = model()->index(row, 0);
    scrollTo(at);
    return edit(at, QAbstractItemView::AllEditTriggers, nullptr);
}

void CListCtrlEx::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only a double-click on an item opens something; empty space does nothing.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && at.isValid()) {
        emit ItemDoubleClicked(at.row());
        event->accept();
        return;
    }
    event->accept();
}

void CListCtrlEx::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState) {
        emit DeleteKeyPressed();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace kestovar
