#include "app/CKestovarApp.h"

#include "app/CDlgMain.h"
#include "platform/AudioBackend.h"
#include "platform/CameraProvider.h"
#include "platform/SimulatedCameraProvider.h"
#include "platform/CameraHotplug.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

#include <malloc.h>

#include <cstdio>

namespace kestovar {

namespace {

CKestovarApp* g_app = nullptr;

// Picture buffers (3 MB for a 1080p frame) go back to the system when freed. Left
// alone, glibc raises its mmap threshold at the first such free and keeps every later
// picture buffer in the heap of whichever thread freed it, so the station's memory
// grew with every graph started (each roll-over, each camera plugged in) by up to ten
// megabytes before levelling off.
constexpr int kMmapThresholdBytes = 1 << 20;

} // namespace

CKestovarApp::CKestovarApp(const AppOptions& options)
    : CKestovarApp(options, CAppSettings::DefaultStorageRoot())
{
}

CKestovarApp::CKestovarApp(const AppOptions& options, const QString& defaultStorageRoot)
    : settings(defaultStorageRoot)
    , options_(options)
{
    Q_ASSERT(!g_app);
    g_app = this;
    mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes);
    connect(&signalBridge_, &SignalBridge::terminateRequested, this, &CKestovarApp::RequestClose);

    // The camera and the sound are chosen before any window asks for a camera.
    if (!options_.simulatedCamera.isEmpty())
        SelectSimulatedCamera(options_.simulatedCamera.toStdString());
    audio_ = CreateAudioBackend(ActiveSimulatedCamera() != nullptr);
    UseAudioBackendForMicrophones(audio_);
    StartDeviceWatch();
    // The signals act on the simulated camera chosen at start-up; with real cameras
    // they do nothing.
    connect(&signalBridge_, &SignalBridge::cameraPullRequested, this, [this] {
        if (watchedCamera_)
            watchedCamera_->Pull();
    });
    connect(&signalBridge_, &SignalBridge::cameraPlugRequested, this, [this] {
        if (watchedCamera_)
            watchedCamera_->Plug();
    });
}

void CKestovarApp::UseAudio(std::shared_ptr<AudioBackend> audio)
{
    audio_ = std::move(audio);
    UseAudioBackendForMicrophones(audio_);
}

CKestovarApp::~CKestovarApp()
{
    // Whatever still runs is stopped (a recording completed) while its video window
    // and sound still exist.
    CloseAll();
    StopDeviceWatch();
    UseAudioBackendForMicrophones(nullptr);
    // The members go in reverse order: the main window and the splash first, the
    // settings last, which writes every stored value.
    if (g_app == this)
        g_app = nullptr;
}

CKestovarApp* CKestovarApp::Instance()
{
    return g_app;
}

int CKestovarApp::Run()
{
    if (InitInstance()) {
        // The main window's closed() ends this loop; no other window does.
        QApplication::exec();
    }
    // The main window object is destroyed once its loop has ended.
    mainDialog.reset();
    return ExitInstance();
}

bool CKestovarApp::InitInstance()
{
    // COM, Media Foundation, GDI+ and OLE have no counterpart here: Qt, FFmpeg, V4L2
    // and PulseAudio need no process-wide start-up, so none of the start-up failure
    // messages can occur. The single-instance check ran in main() before this object
    // existed.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Kestovar"));
    // The desktop entry name groups the station's windows in task bars, as the
    // application user model id does on Windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestovar.Kestovar"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The splash window is created and shown here when it exists (dialogs); the main
    // window hides it at the end of its initialisation.

    mainDialog = std::make_unique<CDlgMain>(*this);
    connect(mainDialog.get(), &CDlgMain::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    mainDialog->show();
    ShowDamagedSettingsNotice();
    return true;
}

int CKestovarApp::ExitInstance()
{
    // In a normal run the main window's close has already closed every graph; this
    // catches an early end of the start-up.
    CloseAll();
    splash.reset();
    return 0;
}

void CKestovarApp::RequestClose()
{
    if (!mainDialog) {
        QCoreApplication::quit();
        return;
    }
    // A dialog's own event loop must end first, or the main window would close
    // underneath it. Each is asked once; one that refuses does not stop the close.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == mainDialog.get())
            break;
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
    mainDialog->CloseStation();
    mainDialog->hide();
}

void CKestovarApp::StartDeviceWatch()
{
    if ((watchedCamera_ = ActiveSimulatedCamera())) {
        // Pull and Plug call back under the provider's lock, on whichever thread
        // called them; the receivers look at the device list, so they hear of it
        // later, on the GUI thread, as of a real USB event.
        watchedCamera_->SetDeviceChangeCallback([this](uint32_t code, const std::string& devicePath) {
            QMetaObject::invokeMethod(
                this, [this, code, devicePath] { OnDeviceChange(code, devicePath); }, Qt::QueuedConnection);
        });
        return;
    }
    hotplug_ = std::make_unique<CameraHotplug>();
    connect(hotplug_.get(), &CameraHotplug::deviceChanged, this,
        [this](uint32_t code, const QString& path) { OnDeviceChange(code, path.toStdString()); });
    std::string error;
    if (!hotplug_->Start(&error)) {
        // Nothing else depends on it: the camera present at start is used, and the
        // operator is told that a camera plugged in later is not noticed.
        std::fprintf(stderr, "app: udev cannot be listened to (%s); plugging a camera in is not noticed\n",
            error.c_str());
        deviceWatchError_ = QString::fromStdString(error);
    }
}

void CKestovarApp::StopDeviceWatch()
{
    if (watchedCamera_)
        watchedCamera_->SetDeviceChangeCallback(nullptr);
    watchedCamera_.reset();
    hotplug_.reset();
}

void CKestovarApp::OnDeviceChange(uint32_t code, const std::string& devicePath)
{
    if (code == kDeviceRemoval)
        qualityNoticeCamera_.clear(); // plugged again, it is told again
    emit deviceChanged(static_cast<int>(code), QString::fromStdString(devicePath));
}

void CKestovarApp::ShowDamagedSettingsNotice()
{
    const QString copy = settings.damagedFileCopy();
    if (copy.isEmpty())
        return;
    // Not modal: a station started unattended must not wait for this answer.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kestovar"),
        QStringLiteral("The settings could not be read and the default settings are used.\n"
                       "The damaged settings file was kept as:\n%1")
            .arg(copy),
        QMessageBox::Ok, mainDialog.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace kestovar
