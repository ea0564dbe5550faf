#include "library/ThumbnailCache.h"

#include <functional>

namespace kestovar {

namespace {

// What an entry costs against the budget: its pixels, and a little for a null image
// so remembered failures cannot grow without bound either.
int64_t CostOf(const QImage& image)
{
    return image.isNull() ? 256 : static_cast<int64_t>(image.sizeInBytes());
}

} // namespace

std::size_t ThumbnailCache::KeyHash::operator()(const ThumbnailKey& k) const
{
    std::size_t h = std::hash<std::string>()(k.path);
    auto mix
        = [&h](uint64_t v) { h ^= std::hash<uint64_t>()(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(static_cast<uint64_t>(k.size.width()) << 32 | static_cast<uint32_t>(k.size.height()));
    mix(static_cast<uint64_t>(k.modified));
    mix(static_cast<uint64_t>(k.bytes));
    return h;
}

ThumbnailCache::ThumbnailCache(int64_t budgetBytes)
    : budget_(budgetBytes)
{
}

std::optional<QImage> ThumbnailCache::Find(const ThumbnailKey& key)
{
    const auto it = index_.find(key);
    if (it == index_.end())
        return std::nullopt;
    entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->image;
}

void ThumbnailCache::Insert(const ThumbnailKey& key, const QImage& image)
{
    if (const auto it = index_.find(key); it != index_.end()) {
        bytes_ -= it->second->cost;
        entries_.erase(it->second);
        index_.erase(it);
    }
    Entry entry { key, image, CostOf(image) };
    bytes_ += entry.cost;
    entries_.push_front(std::move(entry));
    index_.emplace(key, entries_.begin());
    Trim();
}

void ThumbnailCache::Clear()
{
    index_.clear();
    entries_.clear();
    bytes_ = 0;
}

void ThumbnailCache::Trim()
{
    // The newest entry always stays, even when it alone passes the budget.
    while (bytes_ > budget_ && entries_.size() > 1) {
        const Entry& last = entries_.back();
        bytes_ -= last.cost;
        index_.erase(last.key);
        entries_.pop_back();
    }
}

} // namespace kestovar
