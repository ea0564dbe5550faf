#pragma once
// Recording control and still pictures: the frame's Record Start, Record Stop, Record
// Pause and SnapShot commands, the one-second status timer (1280) with the size-limit
// roll-over, and the Record button's indicator animation (1033).
//
// A recording, as the operator sees it:
//   Record Start  the File Name names the movie (knee_170226_140509.avi in the movie
//                 folder, "_2" added when that name is taken); its case information
//                 file is written first, then the live preview makes way for the
//                 recording graph. The last Doctor and Hospital names are remembered.
//   every second  pane 0 shows the source size and frames per second, pane 1 the
//                 record time and file size; a full file continues in a new file
//                 (new time stamp, its own case file) without operator action.
//   Record Pause  pauses and resumes writing into the same file.
//   Record Stop   completes the file, lists it, clears the form and goes live again.
// Every way out of a recording stops the indicator and gives the Record button its
// idle look, also when something else (the Live action, an unplugged camera) ended it.
//
// Failures end the recording cleanly, never silently: a File Name that is not a valid
// name starts nothing; a recording file that can no longer be found, or that the disk
// refuses, is completed as far as written, the station goes live and the operator is
// told.
//
// GUI thread only. Owns no graph: CKestovarApp creates and destroys them.

#include "library/CaseInfoFile.h"
#include "recording/RecordingStatus.h"
#include "recording/SizeLimitRule.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace kestovar {

class CKestovarApp;
class RecordingWindows;

class RecordingController : public QObject {
    Q_OBJECT
public:
    static constexpr int kStatusTimerId = 1280;
    static constexpr int kStatusMs = 1000;
    static constexpr int kIndicatorTimerId = 1033;
    static constexpr int kIndicatorMs = 200;
    // Between asking for a still picture and listing it: the encoded cameras write it
    // at their next decoded frame.
    static constexpr int kSnapshotListDelayMs = 200;
    // How long a notice of the station stays in the status bar.
    static constexpr int kNoticeSeconds = 30;

    // Starts the status timer at once. Both references must outlive the controller.
    RecordingController(CKestovarApp& app, RecordingWindows& windows, QObject* parent = nullptr);
    ~RecordingController() override;

    // The commands (Record Start also stops a running recording).
    void RecordStart();
    void RecordStop();
    void RecordPause();
    void SnapShot();

    // One beat of each timer (the timers call them; tests may too).
    void StatusTick();
    void IndicatorTick();

    // The movie being written, empty when none.
    QString CurrentMovie() const;
    bool IndicatorRunning() const { return indicatorTimer_.isActive(); }
    bool StatusTimerRunning() const { return statusTimer_.isActive(); }

    // Tests: the size unit of the limit windows (kilobytes instead of GiB), where the
    // recording file's size comes from, and the clock.
    void SetSizeLimitRule(SizeLimitRule rule);
    using FileSizeQuery = std::function<std::optional<std::uint64_t>(const QString& path)>;
    void SetFileSizeQuery(FileSizeQuery query);
    using Clock = std::function<std::time_t()>;
    void SetClock(Clock clock);

    // The file system's size of a file; nothing when it cannot be asked.
    static std::optional<std::uint64_t> FileSystemSize(const QString& path);

signals:
    // A recording file was started (each file of a roll-over too) / completed.
    void movieStarted(QString path);
    void movieFinished(QString path);
    // A still picture was asked for; the list is refreshed shortly after.
    void snapshotRequested(QString path);

private:
    struct PreparedMovie {
        QString path; // empty: no recording (emptyName, or the operator was told why)
        bool emptyName = false;
        CaseInfo info;
        QString caseFileError; // the case file could not be written
    };
    struct StopOutcome {
        QString finished; // the movie that was being written
        bool complete = true;
        QString why; // when not complete
    };
    // A new file for the File Name now in the form, its case file written.
    PreparedMovie PrepareMovie();
    // Starts the recording into `path`; false after "record error".
    bool BeginRecording(const QString& path);
    void StopIndicator();
    // Stops and destroys the recording graph (completing the file); Idle.
    StopOutcome StopGraph();
    // StopGraph, then the form, the panel and the live picture as after Record Stop.
    StopOutcome FinishRecording();
    void RecordAndRoll();
    // The recording ended by a failure: complete it, go live, tell the operator.
    void EndRecordingWithMessage(const QString& message);
    void OnRecordingFailed(const QString& why);

    CKestovarApp& app_;
    RecordingWindows& windows_;
    QTimer statusTimer_;
    QTimer indicatorTimer_;
    RecordingStatus status_;
    FileSizeQuery fileSize_;
    Clock clock_;
    QString movie_; // the file being written
    // A notice of the station (CKestovarApp::cameraNotice), shown after the status
    // texts until noticeUntil_.
    QString notice_;
    std::time_t noticeUntil_ = 0;
    bool withAudio_ = true; // chosen at Record Start, kept for each follow-on file
    // Record Stop is under way: a failure it reports is told once it has finished.
    bool stopping_ = false;
    bool soundLossTold_ = false; // the sound server's loss was told for this recording
    QString failureDuringStop_;
};

} // namespace kestovar
