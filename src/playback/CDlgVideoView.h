#pragma once
// The video window: the one surface every picture of the station is shown on (the
// live preview, the recording's preview, a movie, a still picture). Black where there
// is no picture; the newest picture a graph presented is stretched over the window.
// It holds the no-camera notice (80 pixels below its centre) and the transport bar
// (docked along its bottom edge), each shown and hidden by the station.
//
// It lives in the control panel's video area, which places it (PlaceVideoWindow).
// Full screen makes it a frameless top-level window over the primary screen;
// LeaveFullScreen puts it back into its parent where it was. The enlarge toggle
// (the bar's Resize button, a double-click) grows it over the control panel and back.
//
// Threads: TargetSize and Present are called from graph threads; everything else is
// for the GUI thread. Only the newest picture is kept: a slow painter drops pictures,
// never queues them. Graphs must be stopped before the window is destroyed.

#include "capture/VideoSink.h"

#include <QImage>
#include <QMutex>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <atomic>

namespace kestovar {

class CDlgNoCamera;
class CDlgToolbarPlay;
class PlaybackHost;

class CDlgVideoView : public QWidget, public VideoSink {
    Q_OBJECT
public:
    explicit CDlgVideoView(PlaybackHost& host, QWidget* parent = nullptr);
    ~CDlgVideoView() override;

    CDlgToolbarPlay* TransportBar() const { return bar_; }
    CDlgNoCamera* NoCameraNotice() const { return notice_; }

    // The no-camera notice: placed, shown and blinking / stopped and hidden.
    void ShowNoCameraNotice();
    void HideNoCameraNotice();

    // Drops the picture on show (the window paints black until the next one).
    void ClearPicture();
    // The picture the window paints now (null when black).
    QImage CurrentPicture() const { return shown_; }

    // Full screen: remembers the rectangle, makes the transport bar invisible and
    // covers the primary screen as a frameless top-level window with the keyboard
    // focus. LeaveFullScreen puts the window back into its parent at the remembered
    // rectangle and shows the bar again when a movie is paused. The frame keeps the
    // full-screen flag and calls these.
    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return fullScreen_; }
    QRect RectBeforeFullScreen() const { return beforeFullScreen_; }

    // The enlarge toggle (Resize button and double-click): only while the window is
    // smaller than the primary screen and the frame is not in full screen; grows the
    // window over the control panel (for 480P the largest 4:3 rectangle in it) and
    // back to the exact rectangle it had.
    void ToggleVideoEnlarge();
    bool IsEnlarged() const { return !beforeEnlarge_.isNull(); }
    // PlaceVideoWindow calls this: the window counts as not enlarged from then on.
    void ForgetEnlargement();

    QSize TargetSize() const override;
    void Present(QImage frame) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void TakePending();
    void UpdateTargetSize();

    PlaybackHost& host_;
    CDlgNoCamera* notice_;
    CDlgToolbarPlay* bar_;

    QPointer<QWidget> homeParent_; // the parent to return to after full screen
    QRect beforeFullScreen_; // in the parent's coordinates
    bool fullScreen_ = false;
    QRect beforeEnlarge_; // in the parent's coordinates; null when not enlarged

    mutable QMutex mutex_; // guards the two below, shared with graph threads
    QSize targetSize_;
    QImage pending_;
    std::atomic<bool> updatePosted_ { false };

    QImage shown_; // GUI thread
};

} // namespace kestovar
