#pragma once
// A minimal video window: black, paints the newest picture a graph presented,
// holds the no-camera notice, and can cover the primary screen. It stands in for
// the player's video window until that one is part of the station.
//
// Threads: TargetSize and Present come from a graph's thread; everything else is
// for the GUI thread. Only the newest picture is kept.

#include "capture/VideoSink.h"

#include <QImage>
#include <QMutex>
#include <QRect>
#include <QWidget>

#include <atomic>

namespace kestovar {

class CDlgNoCamera;

class PlaceholderVideoView : public QWidget, public VideoSink {
    Q_OBJECT
public:
    explicit PlaceholderVideoView(QWidget* parent = nullptr);

    CDlgNoCamera* NoCameraNotice() const { return notice_; }
    void ShowNoCameraNotice();
    void HideNoCameraNotice();
    // Drops the picture on show (the window paints black until the next one).
    void ClearPicture();
    QImage CurrentPicture() const;

    // Full screen: a frameless top-level window over the primary screen; leaving puts
    // the window back into its parent at the rectangle it had.
    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return fullScreen_; }

    QSize TargetSize() const override;
    void Present(QImage frame) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void TakePending();

    CDlgNoCamera* notice_;
    QWidget* homeParent_ = nullptr;
    QRect homeRect_;
    bool fullScreen_ = false;

    mutable QMutex mutex_; // guards the two below
    QSize targetSize_;
    QImage pending_;
    std::atomic<bool> updatePosted_ { false };

    QImage shown_; // GUI thread
};

} // namespace kestovar
