#include "library/MediaItemDelegate.h"

#include "library/MediaFileOperations.h"
#include "library/MediaListModel.h"
#include "ui/SkinPalette.h"

#include <QLineEdit>
#include <QPainter>
#include <QTextLayout>

namespace kestovar {

namespace {

constexpr int kLabelGap = 4;
constexpr int kLabelLines = 2;

} // namespace

MediaItemDelegate::MediaItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QRect MediaItemDelegate::ThumbnailRect(const QRect& itemRect)
{
    return QRect(
        QPoint(itemRect.x() + (itemRect.width() - kThumbnailSize.width()) / 2, itemRect.y() + kThumbnailTop),
        kThumbnailSize);
}

QStringList MediaItemDelegate::LabelLines(const QString& label, const QFont& font, int width)
{
    // File names seldom have blanks: break anywhere when a word does not fit.
    QTextLayout layout(label, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == kLabelLines - 1) {
            // The last line takes the rest, shortened at its end when it does not fit.
            const QString rest = label.mid(line.textStart());
            lines << QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << label.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

const QImage& MediaItemDelegate::Rendered(const QString& role, QSize size, qreal ratio) const
{
    const auto key = std::make_tuple(role, size.width(), size.height(), qRound(ratio * 100));
    auto it = rendered_.find(key);
    if (it == rendered_.end()) {
        CGdiPlusBitmapResource image;
        QImage pixels = image.Load(role) ? image.Render(size, ratio) : QImage();
        it = rendered_.emplace(key, std::move(pixels)).first;
    }
    return it->second;
}

void MediaItemDelegate::DrawSendBadge(QPainter& painter, const QRect& thumb, MediaListModel::SendBadge badge)
{
    // A small round mark at the thumbnail's top right: blue while waiting for the PACS,
    // green once the PACS has it, red when the send failed (with a "!" so colour is not
    // the only sign).
    QColor colour;
    QString mark;
    switch (badge) {
    case MediaListModel::SendBadge::None:
        return;
    case MediaListModel::SendBadge::Queued:
        colour = QColor(0x3C, 0x8D, 0xDC);
        mark = QStringLiteral("\u2191");
        break;
    case MediaListModel::SendBadge::Sent:
        colour = QColor(0x3C, 0xB0, 0x4A);
        mark = QStringLiteral("\u2713");
        break;
    case MediaListModel::SendBadge::Failed:
        colour = QColor(0xD8, 0x3A, 0x2E);
        mark = QStringLiteral("!");
        break;
    }
    const QRect r(thumb.right() - kBadgeSize - 2, thumb.top() + 2, kBadgeSize, kBadgeSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x22, 0x22, 0x22), 1));
    painter.setBrush(colour);
    painter.drawEllipse(r);
    QFont f = painter.font();
    f.setBold(true);
    f.setPixelSize(kBadgeSize - 4);
    painter.setFont(f);
    painter.setPen(Qt::white);
    painter.drawText(r, Qt::AlignCenter, mark);
    painter.restore();
}

void MediaItemDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    const QRect item = option.rect;
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QRect thumb = ThumbnailRect(item);
    const auto kind = static_cast<MediaKind>(index.data(MediaListModel::KindRole).toInt());
    const auto state
        = static_cast<MediaListModel::ThumbnailState>(index.data(MediaListModel::ThumbnailStateRole).toInt());
    const QImage image = index.data(MediaListModel::ThumbnailRole).value<QImage>();

    if (!image.isNull()) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(QRectF(thumb), image);
    } else {
        const QString role = state == MediaListModel::ThumbnailState::Pending
            ? QStringLiteral("thumb_pending")
            : kind == MediaKind::Movie ? QStringLiteral("thumb_movie_missing")
                                       : QStringLiteral("thumb_picture_missing");
        const QImage& stand = Rendered(role, kThumbnailSize, ratio);
        if (!stand.isNull())
            painter->drawImage(thumb.topLeft(), stand);
        else
            painter->fillRect(thumb, skin::Colour(0x3A3A3A));
    }
    const QImage& overlay = Rendered(
        kind == MediaKind::Movie ? QStringLiteral("overlay_play") : QStringLiteral("overlay_camera"),
        QSize(kOverlaySize, kOverlaySize), ratio);
    if (!overlay.isNull())
        painter->drawImage(QPoint(thumb.left() + 3, thumb.bottom() - kOverlaySize - 2), overlay);

    DrawSendBadge(*painter, thumb,
        static_cast<MediaListModel::SendBadge>(index.data(MediaListModel::SendBadgeRole).toInt()));

    if (option.state & QStyle::State_Selected) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(skin::Colour(skin::kAccent), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(thumb).adjusted(-2, -2, 2, 2));
    }

    painter->setFont(option.font);
    painter->setPen(skin::Colour(skin::kText));
    const QFontMetrics metrics(option.font);
    const int textWidth = item.width() - 6;
    int y = thumb.bottom() + 1 + kLabelGap;
    for (const QString& line : LabelLines(index.data(Qt::DisplayRole).toString(), option.font, textWidth)) {
        painter->drawText(
            QRect(item.x() + 3, y, textWidth, metrics.height()), Qt::AlignHCenter | Qt::AlignTop, line);
        y += metrics.height();
    }
    painter->restore();
}

QSize MediaItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return kItemSize;
}

QWidget* MediaItemDelegate::createEditor(
    QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, skin::Colour(0x3A3A3A));
    palette.setColor(QPalette::Text, skin::Colour(skin::kText));
    edit->setPalette(palette);
    edit->setAutoFillBackground(true);
    return edit;
}

void MediaItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* edit = qobject_cast<QLineEdit*>(editor);
    // The view refills an open editor whenever its row changes, and a thumbnail that
    // lands while the operator types is such a change: fill it only once, as it opens.
    if (!edit || edit->property("kestovarFilled").toBool())
        return;
    edit->setProperty("kestovarFilled", true);
    const std::string label = index.data(Qt::DisplayRole).toString().toStdString();
    edit->setText(QString::fromStdString(RenameEditText(label)));
    edit->deselect();
    edit->setCursorPosition(edit->text().size());
}

void MediaItemDelegate::setModelData(
    QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        model->setData(index, edit->text(), Qt::EditRole);
}

void MediaItemDelegate::updateEditorGeometry(
    QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const QRect thumb = ThumbnailRect(option.rect);
    const int height = QFontMetrics(option.font).height() + 6;
    editor->setGeometry(
        option.rect.x() + 1, thumb.bottom() + 1 + kLabelGap - 2, option.rect.width() - 2, height);
}

} // namespace kestovar
