#include "dialogs/OwnedWindows.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace kestovar {

namespace {

// True when `window` belongs to `owner` through its chain of parent windows.
bool IsOwnedBy(const QWidget* window, const QWidget* owner)
{
    for (const QWidget* up = window->parentWidget(); up; up = up->parentWidget()) {
        if (up->window() == owner)
            return true;
        up = up->window();
    }
    return false;
}

bool CountsAsOwned(const QWidget* w)
{
    // Menus, tooltips and pop-ups come and go by themselves.
    const Qt::WindowType type = w->windowType();
    return w->isWindow() && w->isVisible() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen;
}

} // namespace

QList<QWidget*> OwnedWindows(const QWidget* owner)
{
    QList<QWidget*> modeless, modal;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == owner || !CountsAsOwned(w) || !IsOwnedBy(w, owner))
            continue;
        (w->isModal() ? modal : modeless) << w;
    }
    // The active modal window is the one waiting for an answer now: it goes on top.
    if (QWidget* active = QApplication::activeModalWidget(); active && modal.removeOne(active))
        modal << active;
    return modeless + modal;
}

void RaiseOwnedWindows(QWidget* owner)
{
    const QList<QWidget*> owned = OwnedWindows(owner);
    for (QWidget* w : owned)
        w->raise();
    auto topModal = std::find_if(owned.rbegin(), owned.rend(), [](QWidget* w) { return w->isModal(); });
    if (topModal != owned.rend() && !(*topModal)->isActiveWindow())
        (*topModal)->activateWindow();
}

void RaiseWithOwnedWindows(QWidget* owner)
{
    owner->raise();
    const QList<QWidget*> owned = OwnedWindows(owner);
    const bool waiting = std::any_of(owned.begin(), owned.end(), [](QWidget* w) { return w->isModal(); });
    if (!waiting)
        owner->activateWindow();
    RaiseOwnedWindows(owner);
}

OwnedWindowKeeper::OwnedWindowKeeper(QObject* parent)
    : QObject(parent)
{
}

bool OwnedWindowKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::WindowActivate && event->type() != QEvent::MouseButtonPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isWindow() || queued_)
        return false;
    // After the event: a window manager raises the owner it activated first.
    queued_ = true;
    QTimer::singleShot(0, this, [this, owner = QPointer<QWidget>(widget)] {
        queued_ = false;
        if (owner && owner->isVisible())
            RaiseOwnedWindows(owner);
    });
    return false;
}

} // namespace kestovar
