#pragma once
// The rows of the media list: one per listed capture, in the order the folder scan
// gave them, each with its thumbnail once it is made.
//
// The label cannot be changed through the model: an edited label is handed on as
// RenameRequested and refused, so the list only ever shows a name after the file
// really carries it (the next refresh).
//
// GUI thread only.

#include "library/MediaFolderScan.h"

#include <QAbstractListModel>

#include <functional>
#include <QImage>

#include <optional>
#include <vector>

namespace kestovar {

class MediaListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1, // QString
        KindRole, // int: MediaKind
        ThumbnailRole, // QImage, null while pending or when none could be made
        ThumbnailStateRole, // int: ThumbnailState
        SendBadgeRole, // int: SendBadge, the item's PACS send state
    };
    // The small badge a thumbnail carries for its PACS send.
    enum class SendBadge { None, Queued, Sent, Failed };
    enum class ThumbnailState { Pending, Ready, Missing };

    explicit MediaListModel(QObject* parent = nullptr);

    // Replaces every row. `known` holds the thumbnails already at hand, by row (a null
    // image for a file known to give none); the other rows are pending.
    void Reset(std::vector<MediaEntry> entries, std::vector<std::optional<QImage>> known = {});
    void SetThumbnail(int row, const QImage& image);

    const std::vector<MediaEntry>& Entries() const { return entries_; }
    const MediaEntry& Entry(int row) const { return entries_.at(static_cast<size_t>(row)); }
    ThumbnailState StateOf(int row) const { return rows_.at(static_cast<size_t>(row)).state; }
    // Rows whose thumbnail is still pending.
    int PendingCount() const { return pending_; }
    // The row of a path, or -1.
    int RowOf(const std::string& path) const;

    // Tells each row's SendBadge (by path); without one no badge is drawn.
    void SetSendBadgeSource(std::function<SendBadge(const QString& path)> source) { badgeSource_ = std::move(source); }
    // The badges changed (a send went on): repaint them.
    void SendBadgesChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The operator finished editing a label (Enter or focus change) with this text.
    void RenameRequested(const QString& path, const QString& text);

private:
    std::function<SendBadge(const QString&)> badgeSource_;
    struct RowState {
        QImage thumbnail;
        ThumbnailState state = ThumbnailState::Pending;
    };
    std::vector<MediaEntry> entries_;
    std::vector<RowState> rows_;
    int pending_ = 0;
};

} // namespace kestovar
