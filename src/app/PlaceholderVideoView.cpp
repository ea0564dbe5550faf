#include "app/PlaceholderVideoView.h"

#include "dialogs/CDlgNoCamera.h"

#include <QGuiApplication>
#include <QMutexLocker>
#include <QPainter>
#include <QScreen>

namespace kestovar {

PlaceholderVideoView::PlaceholderVideoView(QWidget* parent)
    : QWidget(parent)
    , notice_(new CDlgNoCamera(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    notice_->hide();
}

void PlaceholderVideoView::ShowNoCameraNotice()
{
    notice_->Place();
    notice_->show();
    notice_->raise();
    notice_->StartBlink();
}

void PlaceholderVideoView::HideNoCameraNotice()
{
    notice_->StopBlink();
    notice_->hide();
}

void PlaceholderVideoView::ClearPicture()
{
    {
        QMutexLocker lock(&mutex_);
        pending_ = QImage();
    }
    shown_ = QImage();
    update();
}

QImage PlaceholderVideoView::CurrentPicture() const
{
    return shown_;
}

void PlaceholderVideoView::EnterFullScreen()
{
    if (fullScreen_)
        return;
    fullScreen_ = true;
    homeParent_ = parentWidget();
    homeRect_ = geometry();
    const bool visible = isVisible();
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    if (visible)
        show();
    raise();
    activateWindow();
}

void PlaceholderVideoView::LeaveFullScreen()
{
    if (!fullScreen_)
        return;
    fullScreen_ = false;
    const bool visible = isVisible();
    setParent(homeParent_, Qt::Widget);
    setGeometry(homeRect_);
    if (visible)
        show();
}

QSize PlaceholderVideoView::TargetSize() const
{
    QMutexLocker lock(&mutex_);
    return targetSize_;
}

void PlaceholderVideoView::Present(QImage frame)
{
    {
        QMutexLocker lock(&mutex_);
        pending_ = std::move(frame);
    }
    // One queued update at a time: a slow painter drops pictures, never queues them.
    if (!updatePosted_.exchange(true))
        QMetaObject::invokeMethod(this, &PlaceholderVideoView::TakePending, Qt::QueuedConnection);
}

void PlaceholderVideoView::TakePending()
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

void PlaceholderVideoView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (shown_.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    p.drawImage(rect(), shown_);
}

void PlaceholderVideoView::resizeEvent(QResizeEvent*)
{
    {
        QMutexLocker lock(&mutex_);
        targetSize_ = size() * devicePixelRatioF();
    }
    if (notice_->isVisible())
        notice_->Place();
}

} // namespace kestovar
