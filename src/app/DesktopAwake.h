#pragma once
// Keeps the desktop from blanking, locking or suspending while the station shows the
// live picture, records or plays a movie, and lets it idle again otherwise (nothing
// open, a paused movie, a still picture). It looks at the mode once a second, so no
// media operation needs to know about it; desktops idle after minutes.
// GUI thread only.

#include "app/AppMode.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace kestovar {

class IdleInhibitor;

class DesktopAwake : public QObject {
    Q_OBJECT
public:
    static constexpr int kCheckMs = 1000;

    DesktopAwake(std::function<AppMode()> mode, std::unique_ptr<IdleInhibitor> inhibitor, QObject* parent = nullptr);
    ~DesktopAwake() override;

    // Whether a mode keeps the desktop awake.
    static bool KeepsAwake(AppMode mode);
    // Looks at the mode now (the timer calls it every kCheckMs).
    void Check();
    IdleInhibitor& Inhibitor() { return *inhibitor_; }

private:
    std::function<AppMode()> mode_;
    std::unique_ptr<IdleInhibitor> inhibitor_;
    QTimer timer_;
};

} // namespace kestovar
