#include "playback/CDlgVideoView.h"

#include "dialogs/CDlgNoCamera.h"
#include "playback/CDlgToolbarPlay.h"
#include "playback/PlaybackHost.h"
#include "playback/TransportRules.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QScreen>

namespace kestovar {

CDlgVideoView::CDlgVideoView(PlaybackHost& host, QWidget* parent)
    : QWidget(parent)
    , host_(host)
    , notice_(new CDlgNoCamera(this))
    , bar_(nullptr)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Movements without a pressed button must reach the window (the bar comes back)
    // and the transport bar's mouse hook.
    setMouseTracking(true);
    notice_->hide();
    bar_ = new CDlgToolbarPlay(host, this);
    bar_->DockTransportBar();
    UpdateTargetSize();
}

CDlgVideoView::~CDlgVideoView() = default;

void CDlgVideoView::ShowNoCameraNotice()
{
    notice_->SetKeyTarget(host_.KeyTarget(), [this] {
        const PlaybackMode mode = host_.Mode();
        return host_.CameraPresent() && mode != PlaybackMode::Playing && mode != PlaybackMode::PlaybackPaused
            && mode != PlaybackMode::StillShown;
    });
    notice_->Place();
    notice_->show();
    notice_->raise();
    notice_->StartBlink();
}

void CDlgVideoView::HideNoCameraNotice()
{
    notice_->StopBlink();
    notice_->hide();
}

void CDlgVideoView::ClearPicture()
{
    {
        QMutexLocker lock(&mutex_);
        pending_ = QImage();
    }
    shown_ = QImage();
    update();
}

// ---- Full screen ----

void CDlgVideoView::EnterFullScreen()
{
    if (fullScreen_)
        return;
    fullScreen_ = true;
    homeParent_ = parentWidget();
    beforeFullScreen_ = geometry();
    bar_->SetTransportBarOpacity(0);
    const bool visible = isVisible();
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    // A real full-screen window on the primary screen: the window manager puts it above
    // its panels and on exactly that monitor. The geometry is set as well, for a kiosk
    // without a window manager, where nothing else would size it.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    if (visible) {
        showFullScreen();
        raise();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
}

void CDlgVideoView::LeaveFullScreen()
{
    if (!fullScreen_)
        return;
    fullScreen_ = false;
    const bool visible = isVisible();
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    setParent(homeParent_, Qt::Widget);
    setGeometry(beforeFullScreen_);
    if (visible)
        show();
    if (host_.Mode() == PlaybackMode::PlaybackPaused)
        bar_->SetTransportBarOpacity(255);
}

// ---- Enlarge toggle ----

void CDlgVideoView::ToggleVideoEnlarge()
{
    if (host_.IsFullScreen() || fullScreen_)
        return;
    // Only growing is refused at the screen's size: an enlarged window always returns.
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!IsEnlarged() && screen && width() >= screen->geometry().width()
        && height() >= screen->geometry().height())
        return;
    if (IsEnlarged()) {
        setGeometry(beforeEnlarge_);
        beforeEnlarge_ = QRect();
    } else if (const auto enlarged = EnlargedVideoRect(host_.ControlPanelRect(), host_.ResolutionChoice())) {
        beforeEnlarge_ = geometry();
        setGeometry(*enlarged);
    }
    bar_->SyncResizeButton();
}

void CDlgVideoView::ForgetEnlargement()
{
    beforeEnlarge_ = QRect();
    bar_->SyncResizeButton();
}

// ---- Pictures (graph threads) ----

QSize CDlgVideoView::TargetSize() const
{
    QMutexLocker lock(&mutex_);
    return targetSize_;
}

void CDlgVideoView::Present(QImage frame)
{
    {
        QMutexLocker lock(&mutex_);
        pending_ = std::move(frame);
    }
    // One queued hand-over at a time: later pictures replace the pending one.
    if (!updatePosted_.exchange(true))
        QMetaObject::invokeMethod(this, &CDlgVideoView::TakePending, Qt::QueuedConnection);
}

void CDlgVideoView::TakePending()
{
    updatePosted_ = false;
    QMutexLocker lock(&mutex_);
    if (pending_.isNull())
        return;
    shown_ = std::move(pending_);
    pending_ = QImage();
    lock.unlock();
    update();
}

void CDlgVideoView::UpdateTargetSize()
{
    QMutexLocker lock(&mutex_);
    targetSize_ = size() * devicePixelRatioF();
}

// ---- Events ----

void CDlgVideoView::paintEvent(QPaintEvent*)
{
    // A still picture arrives as a presented picture too (ShowStill draws through this
    // window), so painting never has to ask for it again.
    QPainter p(this);
    if (shown_.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(rect(), shown_);
}

void CDlgVideoView::resizeEvent(QResizeEvent*)
{
    UpdateTargetSize();
    bar_->DockTransportBar();
    if (host_.IsFullScreen() || fullScreen_)
        bar_->SetTransportBarOpacity(0);
    if (notice_->isVisible())
        notice_->Place();
    const PlaybackMode mode = host_.Mode();
    if (mode != PlaybackMode::Idle)
        host_.UpdateVideoPosition();
}

void CDlgVideoView::mouseMoveEvent(QMouseEvent* event)
{
    bar_->OnVideoMouseMove();
    QWidget::mouseMoveEvent(event);
}

void CDlgVideoView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        ToggleVideoEnlarge();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CDlgVideoView::keyPressEvent(QKeyEvent* event)
{
    QWidget* target = host_.KeyTarget();
    switch (VideoWindowKeyAction(event->key(), host_.Mode(), host_.CameraPresent())) {
    case KeyAction::LeaveFullScreen:
        if (host_.IsFullScreen())
            host_.LeaveFullScreen();
        else if (fullScreen_)
            LeaveFullScreen();
        event->accept();
        return;
    case KeyAction::Forward:
        if (!target)
            break;
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, event->key(), Qt::NoModifier));
        event->accept();
        return;
    case KeyAction::Swallow:
        event->accept();
        return;
    case KeyAction::Default:
        break;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestovar
