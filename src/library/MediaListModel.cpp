#include "library/MediaListModel.h"

namespace kestovar {

MediaListModel::MediaListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void MediaListModel::Reset(std::vector<MediaEntry> entries, std::vector<std::optional<QImage>> known)
{
    beginResetModel();
    entries_ = std::move(entries);
    rows_.assign(entries_.size(), RowState {});
    pending_ = static_cast<int>(entries_.size());
    for (size_t i = 0; i < known.size() && i < rows_.size(); ++i) {
        if (!known[i])
            continue;
        rows_[i].thumbnail = *known[i];
        rows_[i].state = known[i]->isNull() ? ThumbnailState::Missing : ThumbnailState::Ready;
        --pending_;
    }
    endResetModel();
}

void MediaListModel::SetThumbnail(int row, const QImage& image)
{
    if (row < 0 || row >= rowCount())
        return;
    RowState& r = rows_[static_cast<size_t>(row)];
    if (r.state == ThumbnailState::Pending)
        --pending_;
    r.thumbnail = image;
    r.state = image.isNull() ? ThumbnailState::Missing : ThumbnailState::Ready;
    const QModelIndex at = index(row);
    emit dataChanged(at, at, { Qt::DecorationRole, ThumbnailRole, ThumbnailStateRole });
}

int MediaListModel::RowOf(const std::string& path) const
{
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].path == path)
            return static_cast<int>(i);
    }
    return -1;
}

int MediaListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant MediaListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const size_t row = static_cast<size_t>(index.row());
    const MediaEntry& e = entries_[row];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return QString::fromStdString(e.name);
    case PathRole:
        return QString::fromStdString(e.path);
    case KindRole:
        return static_cast<int>(e.kind);
    case Qt::DecorationRole:
    case ThumbnailRole:
        return QVariant::fromValue(rows_[row].thumbnail);
    case ThumbnailStateRole:
        return static_cast<int>(rows_[row].state);
    case SendBadgeRole:
        return static_cast<int>(badgeSource_ ? badgeSource_(QString::fromStdString(e.path)) : SendBadge::None);
    default:
        return {};
    }
}

void MediaListModel::SendBadgesChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), { SendBadgeRole });
}

bool MediaListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::EditRole)
        return false;
    emit RenameRequested(QString::fromStdString(Entry(index.row()).path), value.toString());
    return false;
}

Qt::ItemFlags MediaListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

} // namespace kestovar
