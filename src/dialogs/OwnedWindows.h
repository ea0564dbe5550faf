#pragma once
// Messages and dialogs stay above the window they belong to (their parent widget),
// whether or not a window manager runs.
//
// Qt marks each owned window as transient for its owner (WM_TRANSIENT_FOR on X11,
// xdg_toplevel.set_parent on Wayland); a window manager then keeps it above its owner.
// Without one (a kiosk under a bare X server) nothing does: any later raise of the
// owner covers the message, and a modal message under its owner makes the station
// look frozen. So the station raises owned windows itself:
// - RaiseWithOwnedWindows() wherever the program brings a window to the front;
// - OwnedWindowKeeper, installed on the application, whenever an owner is activated
//   (clicked, or chosen by the window manager): its owned windows come back on top
//   and a modal one among them gets the focus back.
// GUI thread only.

#include <QObject>

class QWidget;

namespace kestovar {

// The visible windows owned by `owner`, directly or through another owned window,
// bottom first: modeless ones, then modal ones, the active modal window last.
QList<QWidget*> OwnedWindows(const QWidget* owner);

// Raises the owned windows of `owner` above it in the order above and activates the
// topmost modal one.
void RaiseOwnedWindows(QWidget* owner);

// Raises `owner`, then its owned windows; activates the owner only when no modal
// window of its own waits for an answer.
void RaiseWithOwnedWindows(QWidget* owner);

class OwnedWindowKeeper : public QObject {
    Q_OBJECT
public:
    explicit OwnedWindowKeeper(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool queued_ = false;
};

} // namespace kestovar
