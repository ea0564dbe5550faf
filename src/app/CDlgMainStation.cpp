// CDlgMain: start-up checks, the camera coming and going, messages to the operator,
// and the window's own commands (File Size, Help); every other command goes to the
// frame.

#include "app/CDlgMain.h"

#include "app/CKestovarApp.h"
#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/HelpLocator.h"
#include "app/StationMedia.h"
#include "capture/CameraTable.h"
#include "dialogs/CDlgOk.h"
#include "dialogs/CDlgSplash.h"
#include "dialogs/OwnedWindows.h"
#include "library/CKestovarFormView.h"
#include "platform/CameraProvider.h"
#include "playback/CDlgVideoView.h"
#include "recording/CAppSettings.h"
#include "ui/CGdipButton.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <utility>

namespace kestovar {

namespace {

// Pseudo device event for a stream that ended, queued with the device changes.
constexpr uint32_t kStreamEndedEvent = 0;
// A USB removal this soon after the stream ended is the same loss.
constexpr auto kSameLossWindow = std::chrono::seconds(10);

} // namespace

void CDlgMain::Start()
{
    if (closing_ || startDone_)
        return;
    startDone_ = true;
    // Movies a crash left unfinished are completed beside the start; the operator is
    // told once they are done, after any message the start gives.
    StartRepairs();
    const bool camera = media_.CameraPresent();
    if (camera)
        OnCameraReady();
    // The splash goes first, so it never covers the message below.
    HandOffSplash();
    // A message opened during the start (the repair's) stays above the window.
    RaiseWithOwnedWindows(this);
    const QString watchError = media_.DeviceWatchError();
    if (!watchError.isEmpty())
        ShowNotice(QStringLiteral("Can't register device notification: ") + watchError);
    if (!camera) {
        frame_->ControlPanel()->ShowNoCameraNotice();
        frame_->ControlPanel()->UpdateControlStates();
        ShowNotice(QStringLiteral("Kestovar camera is not detected!"));
    }
}

void CDlgMain::HandOffSplash()
{
    if (!app_ || !app_->splash)
        return;
    if (auto* splash = qobject_cast<CDlgSplash*>(app_->splash.get())) {
        splash->Complete();
        splash->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        Wait(100);
    }
    app_->splash->hide();
}

bool CDlgMain::OnCameraReady()
{
    if (!media_.CameraPresent() || !frame_)
        return false;
    frame_->ControlPanel()->HideNoCameraNotice();
    Wait(300);
    frame_->ControlPanel()->UpdateControlStates();
    frame_->ApplyModelDefault(!media_.ProCameraPresent());
    return true;
}

void CDlgMain::OnDeviceChange(uint32_t event, const QString& devicePath)
{
    if (closing_)
        return;
    if (messageOpen_) {
        pendingDeviceChanges_.emplace_back(event, devicePath);
        return;
    }
    HandleDeviceChange(event, devicePath);
}

void CDlgMain::OnStreamEnded(const QString& message)
{
    std::fprintf(stderr, "app: the camera stopped delivering: %s\n", qPrintable(message));
    OnDeviceChange(kStreamEndedEvent, message);
}

void CDlgMain::HandleStreamEnded()
{
    const AppMode mode = media_.Mode();
    // Idle: the camera went while a preview or a recording was being started.
    const bool goneAtStart = mode == AppMode::Idle && !media_.CameraPresent();
    if (!frame_ || (mode != AppMode::Live && mode != AppMode::Recording && !goneAtStart)) {
        DeviceChangeHandled();
        return;
    }
    const bool fullHd = !media_.LiveSourceIsMjpeg();
    CloseCameraGraphs();
    cameraLossTold_ = true;
    cameraLossToldAt_ = std::chrono::steady_clock::now();
    Tell(fullHd ? QStringLiteral("Kestovar Full HD camera lost connecting!")
                : QStringLiteral("Kestovar Pro camera lost connecting!"),
        [this] { DeviceChangeHandled(); });
}

void CDlgMain::CloseCameraGraphs()
{
    const bool recording = media_.Mode() == AppMode::Recording;
    CKestovarLeftFormView* panel = frame_->ControlPanel();
    frame_->LeaveFullScreen();
    media_.CloseAll(); // a recording is completed here
    panel->RecordButton()->SetToggled(false);
    panel->UpdateControlStates();
    panel->ShowNoCameraNotice();
    if (recording && frame_->CaseForm())
        frame_->CaseForm()->RefreshMediaList(); // the completed movie is listed
}

void CDlgMain::HandleDeviceChange(uint32_t event, const QString& devicePath)
{
    if (event == kStreamEndedEvent) {
        HandleStreamEnded();
        return;
    }
    const CameraModelKind kind = ClassifyDevicePath(devicePath.toStdString());
    if (kind == CameraModelKind::NotSupported || (event != kDeviceArrival && event != kDeviceRemoval)
        || !frame_) {
        DeviceChangeHandled();
        return;
    }
    if (minimisedByButton_) {
        showNormal();
        minimisedByButton_ = false;
    }
    CKestovarLeftFormView* panel = frame_->ControlPanel();
    const bool fullHd = kind == CameraModelKind::FullHd;
    const AppMode mode = media_.Mode();
    const bool lossTold = std::exchange(cameraLossTold_, false)
        && std::chrono::steady_clock::now() - cameraLossToldAt_ < kSameLossWindow;
    if (event == kDeviceArrival) {
        if (mode == AppMode::Idle) {
            panel->HideNoCameraNotice();
            Wait(500);
            // Pulled again during the wait: its removal follows; going live now would
            // only end in "preview error".
            if (media_.CameraPresent()) {
                panel->UpdateControlStates();
                frame_->ApplyModelDefault(!devicePath.toUpper().contains(QStringLiteral("PID_4148")));
            } else {
                panel->ShowNoCameraNotice();
            }
        }
        Tell(fullHd ? QStringLiteral("Kestovar Full HD camera is detected!")
                    : QStringLiteral("Kestovar Pro camera is detected!"),
            [this] { DeviceChangeHandled(); });
        return;
    }
    // Removal. A movie or a picture on show stays; the camera's picture goes.
    if (mode == AppMode::Idle || mode == AppMode::Live || mode == AppMode::Recording)
        CloseCameraGraphs();
    if (lossTold) {
        DeviceChangeHandled();
        return;
    }
    Tell(fullHd ? QStringLiteral("Kestovar Full HD camera lost connecting!")
                : QStringLiteral("Kestovar Pro camera lost connecting!"),
        [this] { DeviceChangeHandled(); });
}

void CDlgMain::DeviceChangeHandled()
{
    if (messageOpen_ || pendingDeviceChanges_.empty() || closing_)
        return;
    const auto [event, path] = pendingDeviceChanges_.front();
    pendingDeviceChanges_.pop_front();
    HandleDeviceChange(event, path);
}

void CDlgMain::Tell(const QString& text, std::function<void()> done)
{
    messageOpen_ = true;
    auto finished = [this, done = std::move(done)] {
        messageOpen_ = false;
        if (done)
            done();
        if (!pendingNotice_.isEmpty() && !closing_) {
            // Its own close handles the device changes that waited.
            Tell(std::exchange(pendingNotice_, QString()));
            return;
        }
        DeviceChangeHandled();
    };
    if (messenger_) {
        messenger_(text, std::move(finished));
        return;
    }
    auto* box = new CDlgOk(text, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, finished);
    box->open();
}

void CDlgMain::Wait(int ms)
{
    const int scaled = int(ms * waitScale_);
    if (scaled > 0)
        QThread::msleep(scaled);
}

void CDlgMain::OnCommand(int command)
{
    if (SizeLimitOfCommand(command) >= 0) {
        SetFileSize(command);
        return;
    }
    switch (command) {
    case cmd::Help:
        OpenHelp();
        return;
    case cmd::Version:
        return;
    default:
        if (frame_)
            frame_->RunCommand(command);
        return;
    }
}

void CDlgMain::SetFileSize(int command)
{
    // The limit is stored even when the disk is nearly full: the warning only informs.
    if (!media_.HasFreeDiskSpace())
        Tell(QStringLiteral("Insufficient disk space\n(5% of disk space remaining)"));
    media_.Settings().limitrecordsize = SizeLimitOfCommand(command);
    media_.SaveSettings();
}

void CDlgMain::OpenHelp()
{
    // The operator is not told when the help cannot be shown; the log says why.
    const HelpLocator locator(QCoreApplication::applicationDirPath(), XdgEnvironment::FromProcess());
    const HelpLocator::Result help = locator.Locate();
    switch (help.choice) {
    case HelpLocator::Choice::Nothing:
        std::fprintf(stderr, "app: no help is installed: neither %s nor %s exists\n", qPrintable(locator.ChmPath()),
            qPrintable(locator.IndexPath()));
        return;
    case HelpLocator::Choice::ChmWithoutViewer:
        std::fprintf(stderr, "app: no viewer for CHM files is installed and %s is missing; trying the CHM\n",
            qPrintable(locator.IndexPath()));
        break;
    case HelpLocator::Choice::Chm:
    case HelpLocator::Choice::Pages:
        break;
    }
    if (!QDesktopServices::openUrl(help.url))
        std::fprintf(stderr, "app: the desktop could not open the help %s\n", qPrintable(help.url.toLocalFile()));
}

} // namespace kestovar
