#pragma once
// Keeps the desktop awake while the station is busy: no screen blanking, no lock, no
// suspend in the middle of a hands-off recording.
//
// It asks the desktop through the freedesktop interfaces on the session bus:
// - org.freedesktop.ScreenSaver.Inhibit (GNOME, KDE, Xfce and most others), released
//   with UnInhibit(cookie);
// - org.freedesktop.portal.Inhibit (idle and suspend) where a desktop portal runs,
//   released by closing the request object it returns.
// Both are asked; a desktop offering neither is told about once on stderr and the
// station runs on. Calls are asynchronous: the GUI never waits for the bus. A reply
// that arrives after the station stopped wanting it is released at once, and the
// desktops also drop every inhibition of a connection that closes, so nothing stays
// held after the station ends.
//
// GUI thread only (replies arrive through the event loop).

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace kestovar {

class IdleInhibitor : public QObject {
    Q_OBJECT
public:
    // The desktop's session bus: the one $DBUS_SESSION_BUS_ADDRESS names, else the
    // user bus at $XDG_RUNTIME_DIR/bus; a connection that is not connected when there
    // is neither (a kiosk), rather than letting libdbus start a bus of its own.
    static QDBusConnection SessionBus();

    explicit IdleInhibitor(QDBusConnection bus = SessionBus(), QObject* parent = nullptr);
    ~IdleInhibitor() override; // releases what is held

    // Asks for (true) or releases (false) the inhibition; repeated calls with the same
    // value do nothing. `reason` is shown by the desktop (for example in its log-out
    // dialog) and is used by the next request.
    void SetInhibited(bool on, const QString& reason);
    bool Wanted() const { return state_->wanted; }
    // True once at least one of the two interfaces holds an inhibition for us.
    bool Held() const { return state_->cookie.has_value() || !state_->portalRequest.isEmpty(); }

signals:
    // An inhibition was granted or released (for tests and the log).
    void heldChanged(bool held);

private:
    void Acquire();
    void Release();
    static void ReleaseCookie(QDBusConnection bus, uint cookie);
    static void ClosePortalRequest(QDBusConnection bus, const QString& path);
    void Unavailable(const char* which, const QString& error);

    // What is asked for and held; shared with the replies still on their way.
    struct Requests {
        bool wanted = false;
        bool screenSaverPending = false;
        bool portalPending = false;
        std::optional<uint> cookie;
        QString portalRequest;
    };

    QDBusConnection bus_;
    QString reason_;
    std::shared_ptr<Requests> state_ = std::make_shared<Requests>();
    bool toldScreenSaver_ = false;
    bool toldPortal_ = false;
};

} // namespace kestovar
