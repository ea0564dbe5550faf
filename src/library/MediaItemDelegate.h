#pragma once
// Draws one media list item: the thumbnail (or its stand-in) at the list's thumbnail
// size with the play symbol on movies or the camera symbol on pictures, and the file
// name under it in white, wrapped to two lines. The selected item gets a thin frame
// around its thumbnail; its text stays white on the list's background.
//
// The in-place editor of a rename starts with the label without its extension, caret
// at the end; what it holds when the edit ends goes to the model (which refuses it
// and asks for the rename instead).

#include "library/MediaListModel.h"
#include "ui/CGdiPlusBitmapResource.h"

#include <QImage>
#include <QStyledItemDelegate>

#include <map>
#include <tuple>

namespace kestovar {

class MediaItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr QSize kThumbnailSize { 95, 70 };
    static constexpr QSize kItemSize { 138, 110 };
    static constexpr int kThumbnailTop = 4;
    static constexpr int kOverlaySize = 20;
    static constexpr int kBadgeSize = 14;

    explicit MediaItemDelegate(QObject* parent = nullptr);

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(
        QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The PACS send badge on a thumbnail.
    static void DrawSendBadge(QPainter& painter, const QRect& thumb, MediaListModel::SendBadge badge);

    // Where the thumbnail of an item in `itemRect` is drawn.
    static QRect ThumbnailRect(const QRect& itemRect);
    // The label's two lines as drawn in `width` pixels.
    static QStringList LabelLines(const QString& label, const QFont& font, int width);

private:
    // A skin image rendered once per size and pixel ratio.
    const QImage& Rendered(const QString& role, QSize size, qreal ratio) const;

    mutable std::map<std::tuple<QString, int, int, int>, QImage> rendered_;
};

} // namespace kestovar
