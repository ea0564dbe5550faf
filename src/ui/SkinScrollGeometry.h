#pragma once
// Geometry of a bitmap-drawn scroll bar, along the bar (for a horizontal bar read
// x for y). Scroll information uses the platform scroll-bar convention: the
// content runs from minimum to maximum, page is how much of it shows, and the
// position runs from minimum to maximum - page + 1.

namespace kestovar {

struct ScrollInfo {
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    int position = 0;
    bool operator==(const ScrollInfo&) const = default;
};

// Scroll codes a bar sends to its owner (the platform's SB_ values).
enum ScrollCode {
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
};

// The five parts in order along the bar.
enum class ScrollPart {
    None = -1,
    FirstArrow = 0,
    PageBefore = 1,
    Thumb = 2,
    PageAfter = 3,
    SecondArrow = 4
};

struct SkinScrollLayout {
    int length = 0; // bar length L
    int arrow = 0; // length of each arrow
    int channel = 0; // channel length h = L - 2t (at least 0)
    bool hasThumb = false;
    int thumbStart = 0; // from the start of the bar
    int thumbLength = 0;

    int ChannelStart() const { return arrow; }
    int ChannelEnd() const { return arrow + channel; }
    // Start and length of a part along the bar (length 0 when absent).
    int PartStart(ScrollPart part) const;
    int PartLength(ScrollPart part) const;
    ScrollPart PartAt(int along) const;
};

inline constexpr int kMinThumbLength = 6;

// trackPosition >= 0 places the thumb at a dragged position instead of info's.
SkinScrollLayout LayoutSkinScrollBar(
    int length, int thickness, const ScrollInfo& info, int trackPosition = -1);

// Span that the position can move over: maximum - minimum + 1 - page (at least 0).
int ScrollSpan(const ScrollInfo& info);
// Highest position: maximum - page + 1, held at or above minimum.
int MaxScrollPosition(const ScrollInfo& info);
// The position after dragging the thumb by displacement pixels from a press at
// startPosition, held within minimum and the highest position.
int DragScrollPosition(
    const SkinScrollLayout& layout, const ScrollInfo& info, int startPosition, int displacement);
// The scroll code of a press on a part (-1 for none).
int ScrollCodeOf(ScrollPart part);

} // namespace kestovar
