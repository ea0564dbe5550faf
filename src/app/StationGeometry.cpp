#include "app/StationGeometry.h"

#include <cmath>

namespace kestovar {

namespace {

// a * b / c rounded to the nearest integer, as the layout's multiply-divide does.
int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    return int(std::llround(double(a) * double(b) / double(c)));
}

} // namespace

QRect VideoArea(const QRect& panel)
{
    return QRect(panel.left(), panel.top(), panel.width(), std::max(0, panel.height() - kButtonRowHeight));
}

QRect PlaceVideoRect(const QRect& area, int resolution, int modeArgument, bool maximised)
{
    if (modeArgument == 0)
        return area;
    const int aw = resolution == 2 ? 4 : 16;
    const int ah = resolution == 2 ? 3 : 9;
    const int widthForHeight = MulDiv(area.height(), aw, ah);
    int width, height;
    if (area.width() < widthForHeight) {
        width = area.width();
        height = MulDiv(area.width(), ah, aw);
    } else {
        width = widthForHeight;
        height = area.height();
    }
    const QRect fitted(
        area.left() + (area.width() - width) / 2, area.top() + (area.height() - height) / 2, width, height);

    if (resolution == 1 || resolution == 2) {
        const QSize native = resolution == 1 ? QSize(1280, 720) : QSize(640, 480);
        if (fitted.width() > native.width() && fitted.height() > native.height()) {
            return QRect(area.left() + area.width() / 2 - native.width() / 2,
                area.top() + area.height() / 2 - native.height() / 2, native.width(), native.height());
        }
        return fitted;
    }
    return maximised ? area : fitted;
}

FramePanes SplitFrame(QSize frame, int statusBarHeight)
{
    FramePanes panes;
    const int h = std::max(0, frame.height() - statusBarHeight);
    const int leftWidth = std::max(0, frame.width() - kRightPaneWidth - kSplitBarWidth);
    panes.left = QRect(0, 0, leftWidth, h);
    panes.right = QRect(leftWidth + kSplitBarWidth, 0, kRightPaneWidth, h);
    panes.statusBar = QRect(0, h, frame.width(), statusBarHeight);
    return panes;
}

QRect FrameRect(QSize window)
{
    return QRect(5, 56, std::max(0, window.width() - 10), std::max(0, window.height() - 60));
}

QRect MenuBarRect(QSize window, int barHeight)
{
    return QRect(5, 26, std::max(0, window.width() - 8), barHeight);
}

QPoint CaptionButtonPos(QSize window, CaptionSlot button)
{
    static constexpr int kRightOffsets[] = { 25, 45, 65, 90 };
    return QPoint(window.width() - kRightOffsets[int(button)], 3);
}

WindowPart HitTestWindow(QSize window, QPoint pos)
{
    // The caption strip moves the window, its top edge included.
    if (pos.y() < kCaptionHeight)
        return WindowPart::Move;
    // The bands: 1 pixel of border plus 7, the right one 3 pixels narrower.
    constexpr int kBand = 8;
    constexpr int kRightBand = 5;
    const bool left = pos.x() < kBand;
    const bool right = pos.x() >= window.width() - kRightBand;
    const bool bottom = pos.y() >= window.height() - kBand;
    if (bottom && left)
        return WindowPart::BottomLeft;
    if (bottom && right)
        return WindowPart::BottomRight;
    if (bottom)
        return WindowPart::Bottom;
    if (left)
        return WindowPart::Left;
    if (right)
        return WindowPart::Right;
    return WindowPart::Move;
}

PanelLayout LayoutPanel(QSize panel, const PanelSizes& s)
{
    const int w = panel.width();
    const int h = panel.height();
    PanelLayout l;
    l.resolution = QPoint(0, h - 50);
    l.rotation = QPoint(s.resolution.width() + 1, h - 50);
    l.record = QPoint(w / 2, h - 60);
    l.snapShot = QPoint(w / 2 - s.snapShot.width(), h - 60);
    // Inside the right edge: the button keeps its whole face at every width.
    l.live = QPoint(w - s.live.width() - 10, h - 50);
    l.volume = l.live + QPoint(-102, 13);
    l.speaker = l.live + QPoint(-45, 0);
    l.backdrop = l.live + QPoint(-105, 0);
    return l;
}

} // namespace kestovar
