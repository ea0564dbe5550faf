#pragma once
// When a recording file is full and the recording goes on in a new file.
//
// Size limits ("File Size" menu, setting limitrecordsize):
//   0 "About 1GB"  [1, 2) GiB     3 "About 4GB"  [4, 5) GiB
//   1 "About 2GB"  [2, 3) GiB     4 "About 5GB"  [5, 10) GiB
//   2 "About 3GB"  [3, 4) GiB     5 "About 10GB" from 10 GiB
//   6 "No Size Limit", and any other value: never
// A file counts as full once it reaches the lower end of its window; a file already
// past the upper end (first looked at late) is full too, so no file grows unbounded.
// The unit is injectable (SizeLimitRule) so tests can roll over at kilobytes.
//
// Pure value type.

#include <cstdint>
#include <optional>

namespace kestovar {

inline constexpr std::uint64_t kGiB = 1073741824ull;

struct SizeWindow {
    std::uint64_t from = 0;
    std::optional<std::uint64_t> to; // exclusive; none for the open-ended window
};

class SizeLimitRule {
public:
    explicit SizeLimitRule(std::uint64_t unitBytes = kGiB)
        : unit_(unitBytes)
    {
    }

    // The window of a limitrecordsize value, none for "No Size Limit" and unknown values.
    std::optional<SizeWindow> Window(int limitRecordSize) const;
    // True when a file of this size must be ended and the recording rolled over.
    bool Reached(std::uint64_t fileSize, int limitRecordSize) const;
    std::uint64_t unitBytes() const { return unit_; }

private:
    std::uint64_t unit_;
};

} // namespace kestovar
