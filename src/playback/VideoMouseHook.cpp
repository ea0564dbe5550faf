#include "playback/VideoMouseHook.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace kestovar {

VideoMouseHook::VideoMouseHook(QWidget* videoWindow, std::function<void()> onMove)
    : videoWindow_(videoWindow)
    , onMove_(std::move(onMove))
{
}

VideoMouseHook::~VideoMouseHook()
{
    Remove();
}

void VideoMouseHook::Install()
{
    Remove();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        installed_ = true;
    }
}

void VideoMouseHook::Remove()
{
    if (!installed_)
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    installed_ = false;
}

bool VideoMouseHook::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && videoWindow_ && videoWindow_->isVisible() && onMove_) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPoint at = videoWindow_->mapFromGlobal(move->globalPosition().toPoint());
        if (videoWindow_->rect().contains(at))
            onMove_();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestovar
