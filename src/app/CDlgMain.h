#pragma once
// The main window: frameless and resizable (moved by its caption strip and its own
// background, resized at its edges), titled "Kestovar", never smaller than 1000 x 700.
// It draws its caption strip with the logo and four caption buttons (Full Screen,
// Minimize, Maximize/Restore, Close), owns the menu bar and the embedded frame, and
// is where the station
//   - filters the function keys for the whole application (F1 Live, F3 Pause, F4 Stop,
//     F5 Record, F7 SnapShot, F9 Full Screen; Escape and Enter never close it),
//   - asks before each menu title opens whether it may open in this mode,
//   - checks for a camera at start, and reacts when one is plugged in or pulled out.
//
// Its close handler is the station's one close path: the window manager's close,
// Alt+F4, the Close caption button and (through CKestovarApp::RequestClose) SIGTERM
// and SIGINT all arrive here. It runs CloseAll, so a recording is completed, and then
// emits closed(), which ends the application's event loop.
//
// Messages to the operator are skinned CDlgOk boxes. They are window-modal but do not
// block the event loop; device changes that arrive while one is open wait until it
// is closed and are then handled in order.
//
// GUI thread only.

#include "app/AppMode.h"
#include "app/StationRules.h"
#include "capture/AviRepair.h"

#include <QFutureWatcher>

#include <QString>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

namespace kestovar {

class AudioBackend;
class CGdiPlusBitmapResource;
class CGdipButton;
class CKestovarApp;
class CMainFrame;
class CMenuBarXP;
class StationMedia;

class CDlgMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 1000;
    static constexpr int kMinHeight = 700;

    // The station's main window over the application's AppState.
    explicit CDlgMain(CKestovarApp& app, QWidget* parent = nullptr);
    // Over any AppState (tests). Start() runs the start-up checks.
    CDlgMain(StationMedia& media, std::shared_ptr<AudioBackend> audio, QWidget* parent = nullptr);
    ~CDlgMain() override;

    // Shows a message; `done` runs once the operator has closed it. Tests replace it.
    using Messenger = std::function<void(const QString& text, std::function<void()> done)>;
    void SetMessenger(Messenger messenger) { messenger_ = std::move(messenger); }
    // The short waits of the design (camera ready, arrival); tests make them 0.
    void SetWaitScale(double scale) { waitScale_ = scale; }

    // The start-up steps after the window is built: camera check (go live, or the
    // message and the no-camera notice) and the splash hand-off.
    void Start();
    // Movies left unfinished are still being completed (their message not yet given).
    bool RepairsRunning() const { return repairsRunning_; }

    CMainFrame* Frame() const { return frame_; }
    CMenuBarXP* MenuBar() const { return menuBar_; }
    CGdipButton* CaptionButton(int index) const; // 0 Close, 1 Maximize, 2 Minimize, 3 Full Screen
    bool MinimisedByButton() const { return minimisedByButton_; }

    // A command of the command table, from a menu, a caption button or a hot key.
    void OnCommand(int command);
    // WM_CAMERA_READY: a supported camera is present, go live with its default.
    bool OnCameraReady();
    // A USB device arrived (0x8000) or left (0x8004); devicePath names it.
    void OnDeviceChange(uint32_t event, const QString& devicePath);
    // The live or recording camera stopped delivering (CKestovarApp::streamEnded): it
    // was pulled out, also when no USB event says so (a V4L2 read failing with
    // ENODEV). Handled as the camera pulled out; the USB removal that may follow
    // shortly after tells the operator nothing new.
    void OnStreamEnded(const QString& message);
    // The key filter's answer for a key pressed in the main window (Qt::Key).
    KeyDecision DecideKey(int qtKey) const;

    void ToggleMaximise();
    void MinimiseOrRestore();

    // The one close path: completes a recording, closes every graph, then emits
    // closed(). Called by the close event and directly by a termination signal,
    // whose close event an open message box would otherwise hold back.
    void CloseStation();

signals:
    // The close was accepted; nothing runs any more.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build(std::shared_ptr<AudioBackend> audio);
    void BuildMenuBar();
    void Tell(const QString& text, std::function<void()> done = {});
    void Wait(int ms);
    void HandleDeviceChange(uint32_t event, const QString& devicePath);
    void HandleStreamEnded();
    // The camera's picture goes: graphs closed (a recording completed and listed), the
    // no-camera notice shown.
    void CloseCameraGraphs();
    // Movies a crash or power cut left unfinished in the movie folder are completed on
    // a worker thread, so a long movie never holds the window at start; the operator
    // is told when they are done.
    void StartRepairs();
    void RepairsDone(const std::vector<RepairedMovie>& movies);
    // Shown now, or after the message that is open.
    void ShowNotice(const QString& text);
    // Closing waits for a repair under way: cut off, the movie would stay unfinished.
    void WaitForRepairs();
    void DeviceChangeHandled();
    void SetFileSize(int command);
    void OpenHelp();
    void HandOffSplash();
    bool MayOpenTitle(int title);

    std::unique_ptr<StationMedia> ownMedia_;
    StationMedia& media_;
    CKestovarApp* app_ = nullptr;
    CMainFrame* frame_ = nullptr;
    CMenuBarXP* menuBar_ = nullptr;
    CGdipButton* captionButtons_[4] = {};
    std::unique_ptr<CGdiPlusBitmapResource> captionTile_;
    std::unique_ptr<CGdiPlusBitmapResource> logo_;
    Messenger messenger_;
    double waitScale_ = 1.0;
    bool maximisedToggle_ = false;
    bool minimisedByButton_ = false;
    bool closing_ = false;
    bool startDone_ = false;
    QFutureWatcher<std::vector<RepairedMovie>>* repairs_ = nullptr;
    bool repairsRunning_ = false;
    QString pendingNotice_;
    // Device changes wait while a message is open, as a modal box keeps them waiting.
    bool messageOpen_ = false;
    std::deque<std::pair<uint32_t, QString>> pendingDeviceChanges_;
    // The camera's loss was told when its stream ended; a removal soon after is the
    // same loss.
    std::chrono::steady_clock::time_point cameraLossToldAt_ {};
    bool cameraLossTold_ = false;
};

} // namespace kestovar
