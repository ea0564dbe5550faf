#pragma once
// Where the parts of the skinned dialog frame lie, in window coordinates.

#include <QRect>
#include <QSize>

namespace kestovar {

struct DialogFrameMetrics {
    static constexpr int kCaptionHeight = 32; // caption strip, frame colour
    static constexpr int kBorder = 5; // left, right and bottom borders
    static constexpr int kClip = 2; // pixels ClipDialogFrame takes off every edge
    static constexpr int kCloseSize = 19;
    static constexpr int kCloseRight = 25; // close button's left edge from the window's right
    static constexpr int kCloseTop = 7;
    static constexpr int kTitleLeft = 4; // text rectangle's left edge
    static constexpr int kTitleIndent = 10; // text starts this far inside it
    static constexpr int kTitleRightGap = 39; // text rectangle ends this far from the right
};

// The close button image's place and its hit rectangle (20 x 20 from
// (right - 25, top + 7)).
inline QRect CloseButtonRect(QSize window)
{
    return QRect(window.width() - DialogFrameMetrics::kCloseRight, DialogFrameMetrics::kCloseTop,
        DialogFrameMetrics::kCloseSize, DialogFrameMetrics::kCloseSize);
}
inline QRect CloseHitRect(QSize window)
{
    return QRect(window.width() - DialogFrameMetrics::kCloseRight, DialogFrameMetrics::kCloseTop, 20, 20);
}

// The title's clip rectangle; the text starts kTitleIndent inside it.
inline QRect CaptionTextRect(QSize window)
{
    const int left = DialogFrameMetrics::kTitleLeft;
    const int right = window.width() - DialogFrameMetrics::kTitleRightGap;
    return QRect(left, DialogFrameMetrics::kClip, std::max(0, right - left),
        DialogFrameMetrics::kCaptionHeight - DialogFrameMetrics::kClip);
}

// The client area (inside the caption and borders).
inline QRect ClientRect(QSize window)
{
    return QRect(DialogFrameMetrics::kBorder, DialogFrameMetrics::kCaptionHeight,
        std::max(0, window.width() - 2 * DialogFrameMetrics::kBorder),
        std::max(0, window.height() - DialogFrameMetrics::kCaptionHeight - DialogFrameMetrics::kBorder));
}

inline QSize WindowSizeForClient(QSize client)
{
    return QSize(client.width() + 2 * DialogFrameMetrics::kBorder,
        client.height() + DialogFrameMetrics::kCaptionHeight + DialogFrameMetrics::kBorder);
}

// What remains visible after ClipDialogFrame: (2, 2) to (w - 2, h - 2).
inline QRect DialogClipRect(QSize window)
{
    const int c = DialogFrameMetrics::kClip;
    return QRect(c, c, std::max(0, window.width() - 2 * c), std::max(0, window.height() - 2 * c));
}

} // namespace kestovar
