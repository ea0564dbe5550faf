#pragma once
// The arithmetic of the main window's layout: where the video window goes for a
// resolution, how the frame splits its panes, where the control panel's buttons sit,
// and which part of the frameless main window a point is on. Pure functions on
// logical pixels; integer divisions throughout, as the layout was designed with them.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestovar {

// The control panel's video area: the panel without its bottom row of buttons.
inline constexpr int kButtonRowHeight = 70;
QRect VideoArea(const QRect& panel);

// Where the video window goes inside `area`.
//   modeArgument 0: the whole area.
//   otherwise: the largest rectangle of the resolution's aspect (16:9 for 0 and 1,
//   4:3 for 2) centred in the area; 720P and 480P get their native size (1280x720,
//   640x480) centred when the fitted rectangle would be larger than it; 1080P fills
//   the whole area when the main window is maximised.
QRect PlaceVideoRect(const QRect& area, int resolution, int modeArgument, bool maximised);

// The frame's panes: the right pane (case information and media list) is always 300
// pixels wide, the split bar 5, the left pane (control panel) gets the rest; the
// status bar runs along the bottom.
inline constexpr int kRightPaneWidth = 300;
inline constexpr int kSplitBarWidth = 5;
struct FramePanes {
    QRect left;
    QRect right;
    QRect statusBar;
};
FramePanes SplitFrame(QSize frame, int statusBarHeight);

// The main window's children.
inline constexpr int kCaptionHeight = 25;
QRect FrameRect(QSize window); // (5, 56, width - 10, height - 60)
QRect MenuBarRect(QSize window, int barHeight); // (5, 26, width - 8, barHeight)
// Caption buttons from the right: Close 25, Maximize/Restore 45, Minimize 65, Full
// Screen 90 pixels, 3 from the top.
enum class CaptionSlot { Close = 0, Maximize = 1, Minimize = 2, FullScreen = 3 };
QPoint CaptionButtonPos(QSize window, CaptionSlot button);

// Which part of the frameless main window a point (window coordinates) is on: the
// caption strip (top 25 pixels) and the inner background move the window, the bands
// along the other edges (8 pixels, 5 on the right) resize it.
enum class WindowPart { Move, Left, Right, Bottom, BottomLeft, BottomRight };
WindowPart HitTestWindow(QSize window, QPoint pos);

// The control panel's row of controls for a panel of this size; each keeps its size.
struct PanelLayout {
    QPoint resolution, rotation, record, snapShot, live, volume, speaker, backdrop;
};
struct PanelSizes {
    QSize resolution, rotation, record, snapShot, live;
};
PanelLayout LayoutPanel(QSize panel, const PanelSizes& sizes);

} // namespace kestovar
