#include "ui/SkinScrollGeometry.h"

#include <algorithm>

namespace kestovar {

int ScrollSpan(const ScrollInfo& info)
{
    return std::max(0, info.maximum - info.minimum + 1 - info.page);
}

int MaxScrollPosition(const ScrollInfo& info)
{
    return std::max(info.minimum, info.maximum - std::max(info.page, 1) + 1);
}

SkinScrollLayout LayoutSkinScrollBar(int length, int thickness, const ScrollInfo& info, int trackPosition)
{
    SkinScrollLayout l;
    l.length = std::max(0, length);
    l.channel = std::max(0, l.length - 2 * thickness);
    l.arrow = l.channel == 0 ? l.length / 2 : thickness;
    const int range = info.maximum - info.minimum + 1;
    const int span = ScrollSpan(info);
    if (l.channel <= 5 || span == 0 || range <= 0)
        return l;
    l.hasThumb = true;
    l.thumbLength = std::clamp(
        static_cast<int>(static_cast<long long>(info.page) * l.channel / range), kMinThumbLength, l.channel);
    const int free = l.channel - l.thumbLength;
    const int pos = std::clamp((trackPosition >= 0 ? trackPosition : info.position) - info.minimum, 0, span);
    l.thumbStart = l.arrow + static_cast<int>(static_cast<long long>(free) * pos / span);
    return l;
}

int SkinScrollLayout::PartStart(ScrollPart part) const
{
    switch (part) {
    case ScrollPart::FirstArrow:
        return 0;
    case ScrollPart::PageBefore:
        return arrow;
    case ScrollPart::Thumb:
        return hasThumb ? thumbStart : arrow;
    case ScrollPart::PageAfter:
        return hasThumb ? thumbStart + thumbLength : arrow;
    case ScrollPart::SecondArrow:
        return length - arrow;
    default:
        return 0;
    }
}

int SkinScrollLayout::PartLength(ScrollPart part) const
{
    switch (part) {
    case ScrollPart::FirstArrow:
    case ScrollPart::SecondArrow:
        return arrow;
    case ScrollPart::PageBefore:
        return hasThumb ? thumbStart - arrow : 0;
    case ScrollPart::Thumb:
        return hasThumb ? thumbLength : 0;
    case ScrollPart::PageAfter:
        return hasThumb ? ChannelEnd() - (thumbStart + thumbLength) : 0;
    default:
        return 0;
    }
}

ScrollPart SkinScrollLayout::PartAt(int along) const
{
    if (along < 0 || along >= length)
        return ScrollPart::None;
    if (along < arrow)
        return ScrollPart::FirstArrow;
    if (along >= length - arrow)
        return ScrollPart::SecondArrow;
    if (!hasThumb)
        return ScrollPart::None;
    if (along < thumbStart)
        return ScrollPart::PageBefore;
    if (along < thumbStart + thumbLength)
        return ScrollPart::Thumb;
    return ScrollPart::PageAfter;
}

int DragScrollPosition(
    const SkinScrollLayout& layout, const ScrollInfo& info, int startPosition, int displacement)
{
    const int free = layout.channel - layout.thumbLength;
    if (!layout.hasThumb || free <= 0)
        return startPosition;
    const int span = ScrollSpan(info);
    const int moved = static_cast<int>(static_cast<long long>(displacement) * span / free);
    return std::clamp(startPosition + moved, info.minimum, MaxScrollPosition(info));
}

int ScrollCodeOf(ScrollPart part)
{
    switch (part) {
    case ScrollPart::FirstArrow:
        return SB_LINEUP;
    case ScrollPart::PageBefore:
        return SB_PAGEUP;
    case ScrollPart::Thumb:
        return SB_THUMBTRACK;
    case ScrollPart::PageAfter:
        return SB_PAGEDOWN;
    case ScrollPart::SecondArrow:
        return SB_LINEDOWN;
    default:
        return -1;
    }
}

} // namespace kestovar
