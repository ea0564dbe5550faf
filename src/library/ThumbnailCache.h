#pragma once
// Thumbnails already made, so a refresh of an unchanged list shows them at once.
//
// A thumbnail is kept under its file's path, the size it was made at and the file's
// modification time and length: a file rewritten in place, or the list drawn at
// another scale, makes a new one. A file that gave no thumbnail is remembered too (as a
// null image), so a damaged movie is not decoded again on every refresh.
//
// The least recently used thumbnails go first once their pixels pass the byte budget.
// GUI thread only.

#include <QImage>
#include <QSize>

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

namespace kestovar {

struct ThumbnailKey {
    std::string path;
    QSize size; // device pixels
    int64_t modified = 0; // nanoseconds since the epoch
    int64_t bytes = 0; // file length

    bool operator==(const ThumbnailKey&) const = default;
};

class ThumbnailCache {
public:
    static constexpr int64_t kDefaultBudgetBytes = 128LL * 1024 * 1024;

    explicit ThumbnailCache(int64_t budgetBytes = kDefaultBudgetBytes);

    // The thumbnail made for this key (a null image when none could be made), or
    // nothing when it was never made or was dropped.
    std::optional<QImage> Find(const ThumbnailKey& key);
    void Insert(const ThumbnailKey& key, const QImage& image);
    void Clear();

    int Count() const { return static_cast<int>(entries_.size()); }
    int64_t Bytes() const { return bytes_; }
    int64_t Budget() const { return budget_; }

private:
    struct KeyHash {
        std::size_t operator()(const ThumbnailKey& k) const;
    };
    struct Entry {
        ThumbnailKey key;
        QImage image;
        int64_t cost = 0;
    };
    void Trim();

    int64_t budget_;
    int64_t bytes_ = 0;
    std::list<Entry> entries_; // most recently used first
    std::unordered_map<ThumbnailKey, std::list<Entry>::iterator, KeyHash> index_;
};

} // namespace kestovar
