// Keeping the desktop awake, against a real dbus-daemon on a private session bus with
// small services in this test that stand in for the desktop's screen saver and portal
// and record every call.

#include "app/DesktopAwake.h"
#include "platform/IdleInhibitor.h"

#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace kestovar {
namespace {

class ScreenSaverRecorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls;
    uint nextCookie = 41;
    QList<uint> held;

public slots:
    uint Inhibit(const QString& application, const QString& reason)
    {
        calls << QStringLiteral("Inhibit %1: %2").arg(application, reason);
        held << ++nextCookie;
        return nextCookie;
    }
    void UnInhibit(uint cookie)
    {
        calls << QStringLiteral("UnInhibit %1").arg(cookie);
        held.removeOne(cookie);
    }
};

class PortalRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    explicit PortalRequest(QStringList* open, QString path)
        : open_(open)
        , path_(std::move(path))
    {
    }
public slots:
    void Close() { open_->removeOne(path_); }

private:
    QStringList* open_;
    QString path_;
};

class PortalRecorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    explicit PortalRecorder(QDBusConnection bus)
        : bus_(std::move(bus))
    {
    }
    QStringList calls;
    QStringList open; // request handles not yet closed

public slots:
    QDBusObjectPath Inhibit(const QString& window, uint flags, const QVariantMap& options)
    {
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/t/%1").arg(calls.size() + 1);
        calls << QStringLiteral("Inhibit '%1' %2: %3").arg(window).arg(flags).arg(options.value("reason").toString());
        auto* request = new PortalRequest(&open, path);
        request->setParent(this);
        bus_.registerObject(path, request, QDBusConnection::ExportAllSlots);
        open << path;
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection bus_;
};

// A private bus: dbus-daemon with no service files (nothing is started on demand).
class PrivateBus {
public:
    PrivateBus()
    {
        const std::string config = R"(<busconfig><type>session</type>
<listen>unix:dir=)" + dir_.str() + R"(</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>)";
        test::WriteFileText(dir_ / "bus.conf", config);
        daemon_.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                QStringLiteral("--config-file=%1").arg(QString::fromStdString((dir_ / "bus.conf").string())) });
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) {
            why_ = "dbus-daemon cannot start: " + daemon_.errorString().toStdString();
            return;
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }
    bool Running() const { return !address_.isEmpty(); }
    const std::string& Why() const { return why_; }
    QDBusConnection Connect(const QString& name) { return QDBusConnection::connectToBus(address_, name); }

private:
    test::TempDir dir_;
    QProcess daemon_;
    QString address_;
    std::string why_;
};

class IdleInhibit : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus_.Running())
            GTEST_SKIP() << bus_.Why();
        desktop_ = bus_.Connect(QStringLiteral("desktop"));
        ASSERT_TRUE(desktop_.isConnected());
        portal_ = std::make_unique<PortalRecorder>(desktop_);
    }
    void OfferServices()
    {
        ASSERT_TRUE(desktop_.registerObject("/org/freedesktop/ScreenSaver", &screenSaver_, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(desktop_.registerService("org.freedesktop.ScreenSaver"));
        ASSERT_TRUE(desktop_.registerObject("/org/freedesktop/portal/desktop", portal_.get(), QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(desktop_.registerService("org.freedesktop.portal.Desktop"));
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
        QDBusConnection::disconnectFromBus(QStringLiteral("station"));
    }
    std::unique_ptr<IdleInhibitor> Station() { return std::make_unique<IdleInhibitor>(bus_.Connect("station")); }
    // Lets both connections' messages go round until `done` holds (at most 5 s).
    template <typename F> bool Until(F done) { return QTest::qWaitFor(done, 5000); }

    PrivateBus bus_;
    QDBusConnection desktop_ { QString() };
    ScreenSaverRecorder screenSaver_;
    std::unique_ptr<PortalRecorder> portal_;
};

TEST_F(IdleInhibit, HeldWhileBusyAndReleasedWhenIdleThroughBothInterfaces)
{
    OfferServices();
    AppMode mode = AppMode::Idle;
    auto owned = std::make_unique<DesktopAwake>([&mode] { return mode; }, Station());
    DesktopAwake& awake = *owned;
    awake.Check();
    QTest::qWait(200);
    EXPECT_TRUE(screenSaver_.calls.isEmpty()) << "idle asks for nothing";

    // Live, then recording: one request to each interface, held throughout.
    mode = AppMode::Live;
    ASSERT_TRUE(Until([&] { return !screenSaver_.held.isEmpty() && !portal_->open.isEmpty(); }));
    mode = AppMode::Recording;
    awake.Check();
    QTest::qWait(200);
    EXPECT_EQ(screenSaver_.calls,
        QStringList { "Inhibit Kestovar: Live picture, recording or playback of a case" });
    EXPECT_EQ(portal_->calls, QStringList { "Inhibit '' 12: Live picture, recording or playback of a case" });
    EXPECT_TRUE(awake.Inhibitor().Held());

    // A paused movie lets the desktop idle: the same cookie and request are released.
    mode = AppMode::PlaybackPaused;
    ASSERT_TRUE(Until([&] { return screenSaver_.held.isEmpty() && portal_->open.isEmpty(); }));
    EXPECT_EQ(screenSaver_.calls.last(), "UnInhibit 42");
    EXPECT_FALSE(awake.Inhibitor().Held());

    // Playing asks again; the station ending while it plays releases everything.
    mode = AppMode::Playing;
    ASSERT_TRUE(Until([&] { return !screenSaver_.held.isEmpty() && !portal_->open.isEmpty(); }));
    owned.reset();
    ASSERT_TRUE(Until([&] { return screenSaver_.held.isEmpty() && portal_->open.isEmpty(); }));
}

TEST_F(IdleInhibit, StationEndingOrChangingItsMindBeforeTheReplyHoldsNothing)
{
    OfferServices();
    {
        auto station = Station();
        station->SetInhibited(true, "a");
        ASSERT_TRUE(Until([&] { return station->Held(); }));
    } // destroyed while held
    ASSERT_TRUE(Until([&] { return screenSaver_.held.isEmpty() && portal_->open.isEmpty(); }));

    auto station = Station();
    station->SetInhibited(true, "b");
    station->SetInhibited(false, "b"); // before either reply came back
    ASSERT_TRUE(Until([&] { return screenSaver_.calls.size() == 4 && portal_->calls.size() == 2; }));
    ASSERT_TRUE(Until([&] { return screenSaver_.held.isEmpty() && portal_->open.isEmpty(); }));
    EXPECT_FALSE(station->Held());
}

TEST_F(IdleInhibit, DesktopWithoutEitherInterfaceLeavesTheStationRunning)
{
    auto station = Station();
    station->SetInhibited(true, "c");
    QTest::qWait(300);
    EXPECT_FALSE(station->Held());
    // Offered later (a desktop session that started after the station): the next
    // request is granted.
    OfferServices();
    station->SetInhibited(false, "c");
    station->SetInhibited(true, "c");
    ASSERT_TRUE(Until([&] { return station->Held() && !screenSaver_.held.isEmpty(); }));
}

} // namespace
} // namespace kestovar

#include "idle_inhibit_test.moc"
