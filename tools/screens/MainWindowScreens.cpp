// Screens of the main window: without a camera, live with the simulated Full HD
// camera, and the live picture in full screen.
#include "ScreenRegistry.h"

#include "app/CDlgMain.h"
#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "capture/DeviceDiscovery.h"
#include "capture/PreviewGraph.h"
#include "platform/CameraProvider.h"
#include "playback/CDlgVideoView.h"
#include "recording/CAppSettings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <memory>

using namespace kestovar;
using namespace kestovar::screens;

namespace {

QString ScreenStorage()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        // The settings of these screens never touch the operator's own.
        qputenv("KESTOVAR_REGISTRY_DIR", dir.filePath(QStringLiteral("main-registry")).toLocal8Bit());
        QDir().mkpath(dir.filePath(QStringLiteral("Kestovar")));
    }
    return dir.filePath(QStringLiteral("Kestovar"));
}

// AppState with at most a live preview of the simulated camera: enough for the
// main window's screens, which show neither movies nor recordings.
class ScreenMedia : public StationMedia {
public:
    explicit ScreenMedia(bool camera)
        : settings_(ScreenStorage())
        , camera_(camera)
    {
        if (camera)
            SelectSimulatedCamera("fullhd");
    }
    ~ScreenMedia() override { CloseAll(); }

    AppMode Mode() const override { return mode_; }
    CAppSettings& Settings() override { return settings_; }
    bool CameraPresent() override { return camera_ && IsSupportedCameraPresent(); }
    bool ProCameraPresent() override { return false; }
    bool LiveSourceIsMjpeg() override { return false; }
    void SetVideoWindows(QWidget* video, QWidget*) override { sink_ = dynamic_cast<VideoSink*>(video); }
    void CloseAll() override
    {
        if (preview_) {
            preview_->Stop();
            preview_->Teardown();
            preview_.reset();
        }
        mode_ = AppMode::Idle;
    }
    bool StartPreview() override
    {
        preview_ = std::make_unique<PreviewGraph>();
        preview_->SetVideoWindow(sink_);
        if (!preview_->Build()) {
            preview_.reset();
            return false;
        }
        preview_->SetResolution(ResolutionChoice(settings_.resolution));
        preview_->Start();
        mode_ = AppMode::Live;
        return true;
    }
    bool OpenPlayback(const QString&) override { return false; }
    void SetStillPath(const QString&) override { }
    bool ShowStill(const QString&) override { return false; }
    void MediaRenamed(const QString&, const QString&) override { }
    bool HasFreeDiskSpace() override { return true; }
    void SaveSettings() override { }
    PlayerGraph* Player() const override { return nullptr; }
    int GraphState() const override { return preview_ ? 2 : 0; }
    bool PlayPlayback() override { return false; }
    bool PausePlayback() override { return false; }
    bool StopPlayback() override { return false; }
    void ClosePlayback() override { }
    void UpdateVideoPosition() override
    {
        if (preview_)
            preview_->UpdateVideoPosition();
    }
    std::shared_ptr<AudioBackend> Audio() const override { return nullptr; }
    CameraBackend* OpenCamera() const override { return preview_ ? preview_->Camera() : nullptr; }

private:
    CAppSettings settings_;
    bool camera_;
    AppMode mode_ = AppMode::Idle;
    VideoSink* sink_ = nullptr;
    std::unique_ptr<PreviewGraph> preview_;
};

// The media view is built before the window that uses it and goes after it.
struct MediaHolder {
    explicit MediaHolder(bool camera)
        : media(camera)
    {
    }
    ScreenMedia media;
};

class MainScreen : private MediaHolder, public CDlgMain {
public:
    explicit MainScreen(bool camera)
        : MediaHolder(camera)
        , CDlgMain(media, nullptr)
    {
        SetWaitScale(0);
        SetMessenger([](const QString&, std::function<void()> done) { done(); });
        resize(1280, 800);
    }
    ~MainScreen() override
    {
        if (Frame())
            Frame()->LeaveFullScreen();
        media.CloseAll();
    }
};

// The full-screen video window is a window of its own: this sheet shows what it
// shows, at the primary screen's size.
class FullScreenShot : public QWidget {
public:
    FullScreenShot()
        : main_(std::make_unique<MainScreen>(true))
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        resize(screen ? screen->geometry().size() : QSize(1280, 720));
        main_->show();
        main_->Start();
    }
    void Enter()
    {
        main_->Frame()->EnterFullScreen();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        CDlgVideoView* video = main_->Frame()->ControlPanel()->VideoView();
        if (video->IsFullScreen())
            p.drawPixmap(rect(), video->grab());
    }

private:
    std::unique_ptr<MainScreen> main_;
};

} // namespace

KESTOVAR_SCREEN_STAGED(
    main_no_camera, [] { return new MainScreen(false); },
    [](QWidget* w) { static_cast<MainScreen*>(w)->Start(); });
KESTOVAR_SCREEN_STAGED(
    main_live, [] { return new MainScreen(true); },
    [](QWidget* w) {
        static_cast<MainScreen*>(w)->Start();
        // A few frames of the simulated camera.
        const QDeadlineTimer until(1500);
        while (!until.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    });
KESTOVAR_SCREEN_STAGED(
    main_full_screen, [] { return new FullScreenShot; },
    [](QWidget* w) {
        static_cast<FullScreenShot*>(w)->Enter();
        const QDeadlineTimer until(1500);
        while (!until.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        w->update();
    });
