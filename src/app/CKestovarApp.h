#pragma once
// The application object: the one home of AppState, the start-up and shutdown
// sequence, and (CKestovarAppMedia*.cpp) the media control operations that alone
// create, run and destroy the graphs and move `mode`.
//
// Life of the process (main.cpp):
//   signal handlers -> options -> instance lock (a second copy ends here, silently,
//   before anything is loaded) -> QApplication -> CKestovarApp (settings loaded,
//   simulated camera selected, sound opened) -> Run: InitInstance, the main window's
//   event loop, ExitInstance -> ~CKestovarApp (settings saved).
// Closing the main window, SIGTERM and SIGINT all end in the main window's close
// handler, which runs CloseAll before the loop ends.
//
// Threads: GUI thread only. Every window reaches AppState through Instance(). The
// graphs' own threads never touch AppState: what they report (a camera that stopped
// delivering, a file that cannot be written) arrives here queued and leaves as the
// signals below.

#include "app/AppMode.h"
#include "app/AppOptions.h"
#include "capture/CameraImageControls.h"
#include "capture/CaptureTypes.h"
#include "capture/PreviewGraph.h"
#include "capture/RecordGraph.h"
#include "capture/VideoSink.h"
#include "platform/DiskSpace.h"
#include "platform/SignalBridge.h"
#include "playback/PlayerGraph.h"
#include "recording/CAppSettings.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace kestovar {

class AudioBackend;
class CDlgMain;
class SimulatedCameraProvider;
class CameraHotplug;

// Name of the single-instance lock (its file is named after it).
inline constexpr char kInstanceName[] = "Global\\{05CA3573-B449-4e0b-83F5-111111}";

// Told once in the status bar when the camera's encoder refuses the quality setting
// (or the stream preparation) and streams at its own setting.
inline constexpr char kQualityNotTakenMessage[]
    = "The camera did not accept the quality setting; it records at its own setting.";

// What GetGraphState answers.
enum class GraphRunState : int32_t { Stopped = 0, Paused = 1, Running = 2 };

class CKestovarApp : public QObject {
    Q_OBJECT
public:
    // How "preview error" and "record error" reach the operator; by default a
    // message box over the main window.
    using ErrorReporter = std::function<void(const QString& message)>;

    // Loads the settings; the storage root defaults to the program's folder (or
    // ~/Kestovar). Selects the simulated camera of the options, opens the sound and
    // starts watching for camera plug events. Needs the QApplication. Exactly one may
    // exist.
    explicit CKestovarApp(const AppOptions& options);
    // The same with the default storage root given (tests).
    CKestovarApp(const AppOptions& options, const QString& defaultStorageRoot);
    ~CKestovarApp() override;
    CKestovarApp(const CKestovarApp&) = delete;
    CKestovarApp& operator=(const CKestovarApp&) = delete;

    static CKestovarApp* Instance();

    // InitInstance, then the event loop until the main window has closed, then
    // ExitInstance. Returns the process exit status.
    int Run();
    // Start-up: builds and shows the main window. False ends the start-up early
    // (ExitInstance still runs).
    bool InitInstance();
    // Shutdown: stops whatever still runs and tears down what start-up built.
    int ExitInstance();

    const AppOptions& options() const { return options_; }
    // SIGUSR1 / SIGUSR2 pull and plug the simulated camera (wired here already).
    SignalBridge& signalBridge() { return signalBridge_; }
    // The station's sound (microphones, speaker, volumes); never null.
    const std::shared_ptr<AudioBackend>& audio() const { return audio_; }
    // Another sound system for the graphs started from now on, microphones included
    // (a simulated camera recording from the desktop's sound server).
    void UseAudio(std::shared_ptr<AudioBackend> audio);

    // ---- Media control operations (CKestovarAppMedia*.cpp) ----
    // Every start (StartPreview, StartRecord, OpenPlayback, ShowStill with a path)
    // first closes whatever else runs, as CloseAll does, so at most one graph exists
    // even when a caller forgot to close.

    // Live preview into videoWindow with the settings' resolution, quality, frame
    // rate and rotation. False without a video window (mode unchanged), and when the
    // camera cannot be bound or started ("preview error", mode Idle, no graph).
    bool StartPreview();
    // Stops and destroys the preview; Idle.
    void StopPreview();
    // Records `path` (an AVI file), with the microphone's sound when `withAudio`;
    // the live picture goes on in videoWindow. False when the camera, the microphone
    // or the file cannot be had or started ("record error", mode Idle, no graph).
    bool StartRecord(const QString& path, bool withAudio);
    // Stops the recording, which completes its file, and destroys the graph; Idle.
    // False when the file could not be written completely (*error says why; the
    // recordingFailed signal says it too); true also when no recording existed.
    bool StopRecord(QString* error = nullptr);
    // Record Pause: nothing is written until ResumeRecord, which continues the same
    // file. False without a recording graph or when the graph refuses; mode stays.
    bool PauseRecord();
    bool ResumeRecord();
    // Opens a movie paused on its first frame and sets the resolution choice from its
    // width; PlaybackPaused. Needs videoWindow and transportBarWindow (else false,
    // nothing changes). A movie that cannot be opened: false, no player, Idle, and
    // *error says why (for the caller's message).
    bool OpenPlayback(const QString& path, QString* error = nullptr);
    // Playing. A failure closes the player: false, Idle, path cleared.
    bool PlayPlayback();
    // PlaybackPaused. False without a player (nothing changes); a failure closes
    // the player: false, Idle, path cleared.
    bool PausePlayback();
    // Stops and rewinds to the first frame, paused; PlaybackPaused. Failure as above.
    bool StopPlayback();
    // Stops, rewinds and destroys the player; path cleared, Idle.
    void ClosePlayback();
    // The picture on show becomes `path`; the resolution choice follows its width.
    void SetStillPath(const QString& path);
    // Draws the picture `path` (or, with no path, the one on show, as a repaint does)
    // stretched over videoWindow; StillShown. False without a video window or a
    // picture path, and when the picture cannot be read: then nothing changes (what
    // ran goes on; the caller tells the operator). A repaint of the same picture at
    // the same window size presents nothing new: the window keeps the last picture.
    bool ShowStill(const QString& path = QString());
    // The file on show was renamed from oldPath to newPath: currentMediaPath follows it,
    // so a repaint draws the picture from its new name. Any other path: nothing changes.
    void FollowRename(const QString& oldPath, const QString& newPath);
    // Stops and destroys every graph (a recording is completed), clears the path; Idle.
    void CloseAll();
    // The run state of the first graph that answers: preview, recording, player.
    GraphRunState GetGraphState() const;
    // Frames the preview's (else the recording's) frame grabber received since the
    // previous call; 0 without one.
    uint64_t TakeFrameCount();
    // More than 5 % of the storage volume free (in whole GiB); a volume under 1 GiB,
    // or one that cannot be asked, counts as too full. Writes the three report lines
    // to standard output.
    bool HasFreeDiskSpace();
    // SnapShot: the preview's, the recording's or the player's next (or shown)
    // picture to `path` as JPEG. False when no graph can deliver one.
    bool TakeSnapshot(const QString& path);
    // The camera the image controls go to: the preview's when it exists, otherwise
    // the recording's; null without either. Use it as
    // CameraImageControls(app.OpenCamera()), whose every call then fails without a
    // camera; do not keep it across a start or stop.
    CameraBackend* OpenCamera() const;
    CameraImageControls ImageControls() const { return CameraImageControls(OpenCamera()); }
    // How the open camera (preview, else recording) delivers its picture; nothing
    // when no camera graph exists.
    std::optional<SourceKind> OpenCameraKind() const;

    // Tests: where the disk guard asks for space and writes its report.
    void SetFreeSpaceSource(FreeSpaceSource source, std::FILE* report = stdout);
    // Tests and the main window: how graph failures reach the operator.
    void SetErrorReporter(ErrorReporter reporter);
    // Why plugging a camera in cannot be noticed (the udev monitor could not be set
    // up); empty when it can. The station goes on without it.
    const QString& DeviceWatchError() const { return deviceWatchError_; }
    // The real cameras' plug events; null with a simulated camera or without udev.
    CameraHotplug* Hotplug() const { return hotplug_.get(); }

signals:
    // A USB camera (or the simulated one) arrived (kDeviceArrival, 0x8000) or was
    // removed (kDeviceRemoval, 0x8004); devicePath as the device list forms it.
    void deviceChanged(int event, QString devicePath);
    // The running preview's or recording's camera stopped delivering (unplugged).
    // The graph is left as it is: the receiver decides (CloseAll, messages).
    void streamEnded(QString message);
    // The recording's file could not be written (a full disk), while recording or
    // when it was stopped. What was written up to then stays readable.
    void recordingFailed(QString message);
    // A plain-words notice for the status bar: the camera streams, but not as asked
    // (kQualityNotTakenMessage). Given once per camera until it is plugged again.
    void cameraNotice(QString message);

public slots:
    // Ends the station as the main window's close does: open dialogs are closed,
    // then the main window, whose close handler runs CloseAll. For SIGTERM and SIGINT.
    void RequestClose();

public:
    // ---- AppState (GUI thread) ----
    CAppSettings settings; // saved in full when the application object goes away
    // The splash window, shown during start-up and hidden by the main window.
    // (Arrives with the dialogs; null until then.)
    std::unique_ptr<QWidget> splash;
    std::unique_ptr<CDlgMain> mainDialog; // exists while the main window runs
    // Where every graph draws (the video window); set once by the main window. It
    // must outlive the graphs, which CloseAll in the main window's close ensures.
    VideoSink* videoWindow = nullptr;
    // The player's notification target (the transport bar, which receives the graph
    // event 0x040D); set with videoWindow.
    QObject* transportBarWindow = nullptr;
    AppMode mode = AppMode::Idle;
    // The graphs, at most one at a time, owned here and changed only by the media
    // control operations. Read them freely; never reset or replace them elsewhere.
    std::unique_ptr<PreviewGraph> previewGraph;
    std::unique_ptr<PlayerGraph> playerGraph;
    std::unique_ptr<RecordGraph> recordGraph;
    QString currentMediaPath; // the movie or picture on show; empty when none

private:
    void ShowDamagedSettingsNotice();
    void StartDeviceWatch();
    void StopDeviceWatch();
    void ReportGraphError(const QString& message);
    // Stops and destroys the graph; the recording's file result goes to the signal.
    void DestroyPreview();
    bool DestroyRecord(QString* error);
    bool StopAndRewindPlayer();
    void FailPlayback();
    // From a graph's thread: the signal is emitted on the GUI thread, unless the graph
    // of `serial` has been stopped by then.
    void PostGraphReport(uint64_t serial, void (CKestovarApp::*signal)(QString), const std::string& message);
    void OnDeviceChange(uint32_t code, const std::string& devicePath);
    // After a camera graph started: a refused quality setting is logged and, for a
    // camera not yet told about, announced through cameraNotice.
    void NoteEncoderOutcome(const EncoderOutcome& outcome, const std::string& devicePath);
    // A camera that answered as gone while a graph was being started: the loss is
    // reported as a stream that ended, not as a graph error.
    void ReportCameraGoneAtStart();

    AppOptions options_;
    SignalBridge signalBridge_;
    std::shared_ptr<AudioBackend> audio_;
    std::shared_ptr<SimulatedCameraProvider> watchedCamera_; // whose plug events we hear
    std::unique_ptr<CameraHotplug> hotplug_; // real cameras: udev's events, one per plug and pull
    QString deviceWatchError_; // why udev could not be listened to; empty when it is
    ErrorReporter errorReporter_;
    FreeSpaceSource freeSpaceSource_ = StatvfsFreeSpace;
    std::FILE* diskReport_ = stdout;
    // Bumped at every graph start and stop, so a report queued by a graph that has
    // gone since is dropped instead of blaming the graph that runs now.
    uint64_t graphSerial_ = 0;
    bool recordFailureReported_ = false; // recordingFailed already said for this recording
    std::string qualityNoticeCamera_; // the camera told that it keeps its own setting
    // The still picture last handed to the video window, and at which size: a repaint
    // of the same picture at the same size presents nothing new (the window keeps it).
    QString stillPresentedPath_;
    QSize stillPresentedSize_;
};

} // namespace kestovar
