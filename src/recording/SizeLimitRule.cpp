#include "recording/SizeLimitRule.h"

#include <array>

namespace kestovar {

namespace {

struct LimitRow {
    int value;
    std::uint64_t from; // in units
    std::uint64_t to; // in units, 0 = open-ended
};

constexpr std::array<LimitRow, 6> kLimitRows = { {
    { 0, 1, 2 },
    { 1, 2, 3 },
    { 2, 3, 4 },
    { 3, 4, 5 },
    { 4, 5, 10 },
    { 5, 10, 0 },
} };

} // namespace

std::optional<SizeWindow> SizeLimitRule::Window(int limitRecordSize) const
{
    for (const LimitRow& row : kLimitRows) {
        if (row.value != limitRecordSize)
            continue;
        SizeWindow window;
        window.from = row.from * unit_;
        if (row.to != 0)
            window.to = row.to * unit_;
        return window;
    }
    return std::nullopt;
}

bool SizeLimitRule::Reached(std::uint64_t fileSize, int limitRecordSize) const
{
    const auto window = Window(limitRecordSize);
    return window && fileSize >= window->from;
}

} // namespace kestovar
