#include "platform/IdleInhibitor.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QPointer>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <cstdio>
#include <utility>

namespace kestovar {

namespace {

const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInterface = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// The portal's flags: 4 suspend, 8 idle (1 log-out and 2 user switch stay allowed).
constexpr uint kPortalSuspendAndIdle = 4 | 8;

} // namespace

QDBusConnection IdleInhibitor::SessionBus()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && (runtime.isEmpty() || !QFileInfo(runtime + QStringLiteral("/bus")).exists()))
        return QDBusConnection(QStringLiteral("no session bus"));
    return QDBusConnection::sessionBus();
}

IdleInhibitor::IdleInhibitor(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , bus_(std::move(bus))
{
}

IdleInhibitor::~IdleInhibitor()
{
    state_->wanted = false;
    Release();
    // The releases are queued on the connection; they go out even though no one
    // waits for their replies.
}

void IdleInhibitor::SetInhibited(bool on, const QString& reason)
{
    reason_ = reason;
    if (on == state_->wanted)
        return;
    state_->wanted = on;
    if (on)
        Acquire();
    else
        Release();
}

void IdleInhibitor::Acquire()
{
    if (!bus_.isConnected()) {
        Unavailable("the session bus", bus_.lastError().isValid() ? bus_.lastError().message()
                                                                  : QStringLiteral("there is none"));
        return;
    }
    // The replies are handled by the shared state, not this object: a reply that comes
    // back after the station stopped wanting it, or after this object is gone, is
    // released at once.
    const std::shared_ptr<Requests> state = state_;
    const QDBusConnection bus = bus_;
    const QPointer<IdleInhibitor> self(this);
    if (!state->cookie && !state->screenSaverPending) {
        state->screenSaverPending = true;
        QDBusMessage call
            = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverInterface, "Inhibit");
        call << QStringLiteral("Kestovar") << reason_;
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [state, bus, self](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            state->screenSaverPending = false;
            const QDBusPendingReply<uint> reply = *w;
            if (reply.isError()) {
                if (self)
                    self->Unavailable("org.freedesktop.ScreenSaver", reply.error().message());
                return;
            }
            if (!state->wanted) { // released while the request was on its way
                ReleaseCookie(bus, reply.value());
                return;
            }
            state->cookie = reply.value();
            if (self)
                emit self->heldChanged(true);
        });
    }
    if (state->portalRequest.isEmpty() && !state->portalPending) {
        state->portalPending = true;
        QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInterface, "Inhibit");
        call << QString() << kPortalSuspendAndIdle << QVariantMap { { QStringLiteral("reason"), reason_ } };
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [state, bus, self](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            state->portalPending = false;
            const QDBusPendingReply<QDBusObjectPath> reply = *w;
            if (reply.isError()) {
                if (self)
                    self->Unavailable("org.freedesktop.portal.Inhibit", reply.error().message());
                return;
            }
            if (!state->wanted) {
                ClosePortalRequest(bus, reply.value().path());
                return;
            }
            state->portalRequest = reply.value().path();
            if (self)
                emit self->heldChanged(true);
        });
    }
}

void IdleInhibitor::Release()
{
    const bool held = Held();
    if (state_->cookie)
        ReleaseCookie(bus_, *std::exchange(state_->cookie, std::nullopt));
    if (!state_->portalRequest.isEmpty())
        ClosePortalRequest(bus_, std::exchange(state_->portalRequest, QString()));
    if (held)
        emit heldChanged(false);
}

void IdleInhibitor::ReleaseCookie(QDBusConnection bus, uint cookie)
{
    QDBusMessage call
        = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverInterface, "UnInhibit");
    call << cookie;
    bus.asyncCall(call);
}

void IdleInhibitor::ClosePortalRequest(QDBusConnection bus, const QString& path)
{
    bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, path, kRequestInterface, "Close"));
}

void IdleInhibitor::Unavailable(const char* which, const QString& error)
{
    // Told once per interface: a kiosk without a desktop has neither, every time.
    bool& told = QByteArray(which).contains("portal") ? toldPortal_ : toldScreenSaver_;
    if (told)
        return;
    told = true;
    std::fprintf(stderr, "platform: the desktop cannot be kept awake through %s: %s\n", which, qPrintable(error));
}

} // namespace kestovar
