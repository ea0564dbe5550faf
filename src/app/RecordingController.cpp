#include "app/RecordingController.h"

#include "app/CKestovarApp.h"
#include "app/RecordingWindows.h"
#include "library/CaseInfoFile.h"
#include "platform/DiskSpace.h"
#include "recording/CaptureNaming.h"
#include "recording/RecordIndicator.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace kestovar {

namespace {

std::string Local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString FromLocal(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString WriteFailureText(const QString& why)
{
    QString text = QStringLiteral("The movie could not be written completely");
    if (!why.isEmpty())
        text += QStringLiteral(":\n") + why;
    return text + QStringLiteral("\nThe recording was stopped. What was recorded up to then is kept.");
}

const QString kResumeFailedText = QStringLiteral("The recording could not be continued.\nThe recording was "
                                                 "stopped. What was recorded up to then is kept.");

} // namespace

RecordingController::RecordingController(CKestovarApp& app, RecordingWindows& windows, QObject* parent)
    : QObject(parent)
    , app_(app)
    , windows_(windows)
    , fileSize_(&RecordingController::FileSystemSize)
    , clock_([] { return std::time(nullptr); })
{
    statusTimer_.setInterval(kStatusMs);
    indicatorTimer_.setInterval(kIndicatorMs);
    connect(&statusTimer_, &QTimer::timeout, this, &RecordingController::StatusTick);
    connect(&indicatorTimer_, &QTimer::timeout, this, &RecordingController::IndicatorTick);
    connect(&app_, &CKestovarApp::recordingFailed, this, &RecordingController::OnRecordingFailed);
    connect(&app_, &CKestovarApp::cameraNotice, this, [this](const QString& text) {
        notice_ = text;
        noticeUntil_ = clock_() + kNoticeSeconds;
        StatusTick();
    });
    statusTimer_.start();
}

RecordingController::~RecordingController() = default;

void RecordingController::SetSizeLimitRule(SizeLimitRule rule)
{
    status_ = RecordingStatus(rule);
}

void RecordingController::SetFileSizeQuery(FileSizeQuery query)
{
    fileSize_ = query ? std::move(query) : FileSizeQuery(&RecordingController::FileSystemSize);
}

void RecordingController::SetClock(Clock clock)
{
    clock_ = clock ? std::move(clock) : Clock([] { return std::time(nullptr); });
}

std::optional<std::uint64_t> RecordingController::FileSystemSize(const QString& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(Local(path), ec);
    if (ec)
        return std::nullopt;
    return static_cast<std::uint64_t>(size);
}

QString RecordingController::CurrentMovie() const
{
    return app_.mode == AppMode::Recording ? movie_ : QString();
}

RecordingController::PreparedMovie RecordingController::PrepareMovie()
{
    PreparedMovie movie;
    movie.info = windows_.CaseFields();
    if (movie.info.fileName.empty()) {
        movie.emptyName = true;
        return movie;
    }
    const CapturePathResult named
        = NewMoviePath(Local(app_.settings.moviepath), movie.info.fileName, clock_());
    if (!named.ok) {
        windows_.ShowMessage(QString::fromStdString(named.message));
        return movie;
    }
    movie.path = FromLocal(named.path);
    // The case file exists before the recording does, so no movie is ever without one.
    const CaseFileResult written = WriteCaseInfoFile(named.path, movie.info);
    if (!written.ok)
        movie.caseFileError = QString::fromStdString(written.message);
    windows_.SetCurrentCaseFile(movie.path);
    return movie;
}

bool RecordingController::BeginRecording(const QString& path)
{
    status_.StartFile(clock_());
    indicatorTimer_.start();
    windows_.SetRecordButtonRecording(true);
    if (!app_.StartRecord(path, withAudio_)) {
        // "record error" has been shown. The movie file is gone again, so its case file
        // would describe nothing and only block the name.
        StopIndicator();
        if (!QFileInfo::exists(path))
            QFile::remove(FromLocal(CaseInfoFilePath(Local(path))));
        movie_.clear();
        return false;
    }
    movie_ = path;
    emit movieStarted(path);
    return true;
}

void RecordingController::RecordStart()
{
    switch (app_.mode) {
    case AppMode::Recording:
        RecordStop();
        return;
    case AppMode::Playing:
    case AppMode::PlaybackPaused:
    case AppMode::StillShown:
        return;
    case AppMode::Idle:
    case AppMode::Live:
        break;
    }

    const PreparedMovie movie = PrepareMovie();
    if (movie.emptyName) {
        windows_.SetRecordButtonRecording(false);
        windows_.StartFileNameAlert();
        return;
    }
    if (movie.path.isEmpty())
        return; // refused name: told, and the live picture goes on

    app_.CloseAll();
    windows_.PlaceVideoForRecording();
    withAudio_ = !windows_.SoundMuted(); // every file of this recording the same
    soundLossTold_ = false;
    if (BeginRecording(movie.path)) {
        app_.settings.doctorName = QString::fromStdString(movie.info.doctorName);
        app_.settings.hospitalName = QString::fromStdString(movie.info.hospitalName);
        app_.settings.SaveCaseNames();
    }
    windows_.ApplyModeToForm();
    windows_.UpdateControlStates();
    if (!movie.caseFileError.isEmpty() && app_.mode == AppMode::Recording) {
        windows_.ShowMessage(
            QStringLiteral("The case information could not be saved:\n%1\nThe recording goes on.")
                .arg(movie.caseFileError));
    }
}

RecordingController::StopOutcome RecordingController::StopGraph()
{
    StopOutcome out;
    out.finished = movie_;
    stopping_ = true;
    failureDuringStop_.clear();
    QString error;
    out.complete = app_.StopRecord(&error); // Idle in any case
    stopping_ = false;
    out.why = failureDuringStop_.isEmpty() ? error : failureDuringStop_;
    failureDuringStop_.clear();
    movie_.clear();
    StopIndicator();
    if (out.complete && !out.finished.isEmpty())
        emit movieFinished(out.finished);
    return out;
}

RecordingController::StopOutcome RecordingController::FinishRecording()
{
    const StopOutcome out = StopGraph();
    windows_.StopFileNameAlert();
    windows_.ClearCaseFields();
    windows_.RefreshMediaList();
    windows_.ApplyModeToForm();
    windows_.UpdateControlStates();
    windows_.GoLive();
    return out;
}

void RecordingController::RecordStop()
{
    const StopOutcome out = FinishRecording();
    if (!out.complete)
        windows_.ShowMessage(WriteFailureText(out.why));
}

void RecordingController::RecordPause()
{
    if (app_.mode != AppMode::Recording)
        return;
    if (app_.GetGraphState() == GraphRunState::Running) {
        app_.PauseRecord();
        return;
    }
    if (!app_.ResumeRecord())
        EndRecordingWithMessage(kResumeFailedText);
}

void RecordingController::SnapShot()
{
    // The frame grabber holds one request: a second press before the next frame would
    // replace the first request's name, and that picture would never be written. Both
    // presses mean the same frame, so the one request serves them.
    const CCaptureBufferCallback* grabber = app_.previewGraph ? app_.previewGraph->Grabber()
        : app_.recordGraph                                    ? app_.recordGraph->Grabber()
                                                              : nullptr;
    if (!grabber || !grabber->SnapshotPending()) {
        const CapturePathResult named = NewStillPicturePath(Local(app_.settings.imagepath), clock_());
        if (named.ok) {
            const QString path = FromLocal(named.path);
            app_.TakeSnapshot(path); // whichever graph runs; a recording goes on undisturbed
            emit snapshotRequested(path);
        }
    }
    QTimer::singleShot(kSnapshotListDelayMs, this, [this] { windows_.RefreshMediaList(); });
}

void RecordingController::StatusTick()
{
    const bool recording = app_.mode == AppMode::Recording;
    if (!recording && (indicatorTimer_.isActive() || !movie_.isEmpty())) {
        // Ended elsewhere (the Live action, the camera pulled out).
        movie_.clear();
        StopIndicator();
    }

    StatusInput in;
    in.now = clock_();
    in.frames = static_cast<int>(app_.TakeFrameCount());
    in.resolutionChoice = app_.settings.resolution;
    in.recording = recording;
    in.limitRecordSize = app_.settings.limitrecordsize;
    if (recording && app_.recordGraph) {
        in.path = app_.recordGraph->OutputPath();
        if (!in.path.empty()) {
            in.fileSize = fileSize_(FromLocal(in.path));
            const auto parent = std::filesystem::path(in.path).parent_path().string();
            // What the writer keeps to complete the file is no recording time.
            if (const auto space = StatvfsFreeSpace(parent)) {
                const std::uint64_t kept = app_.recordGraph->ReservedBytes();
                in.freeBytes = space->freeBytes > kept ? space->freeBytes - kept : 0;
            }
        }
    }
    if (recording && app_.recordGraph && app_.recordGraph->SoundInterrupted() && !soundLossTold_) {
        // Once per recording, after this tick: the recording itself goes on.
        soundLossTold_ = true;
        QTimer::singleShot(0, this, [this] {
            windows_.ShowMessage(QStringLiteral(
                "The sound server stopped during the recording.\nThe recording goes on; its sound resumes when the server is back."));
        });
    }
    const StatusTexts texts = status_.Tick(in);
    windows_.SetStatusPane(0, QString::fromStdString(texts.pane0));
    QString pane1 = QString::fromStdString(texts.pane1);
    if (!texts.timeLeft.empty())
        pane1 += QStringLiteral("    ") + QString::fromStdString(texts.timeLeft);
    if (!notice_.isEmpty() && in.now < noticeUntil_)
        pane1 += (pane1.isEmpty() ? QString() : QStringLiteral("    ")) + notice_;
    else
        notice_.clear();
    windows_.SetStatusPane(1, pane1);

    switch (texts.action) {
    case RecordingAction::None:
        break;
    case RecordingAction::RollOver:
        RecordAndRoll();
        break;
    case RecordingAction::StopFileLost:
        EndRecordingWithMessage(QString::fromUtf8(
            kRecordingFileLostMessage.data(), static_cast<int>(kRecordingFileLostMessage.size())));
        break;
    }
}

void RecordingController::IndicatorTick()
{
    if (app_.mode != AppMode::Recording) {
        StopIndicator();
        return;
    }
    windows_.ShowIndicatorPicture(RecordIndicator::Process().NextPicture());
}

void RecordingController::StopIndicator()
{
    indicatorTimer_.stop();
    windows_.SetRecordButtonRecording(false);
}

void RecordingController::RecordAndRoll()
{
    const StopOutcome out = StopGraph();
    windows_.ApplyModeToForm();
    windows_.UpdateControlStates();

    if (!out.complete) {
        // The disk refused the file: a new file would fail the same way.
        windows_.RefreshMediaList();
        windows_.GoLive();
        windows_.ShowMessage(WriteFailureText(out.why));
        return;
    }

    const PreparedMovie movie = PrepareMovie();
    if (movie.path.isEmpty()) {
        // The form locks its fields while recording, so this needs a form gone wrong;
        // the finished file is listed and the picture is live again.
        windows_.RefreshMediaList();
        windows_.GoLive();
        if (movie.emptyName)
            windows_.StartFileNameAlert();
        return;
    }
    app_.CloseAll();
    if (!BeginRecording(movie.path))
        windows_.RefreshMediaList();
    windows_.ApplyModeToForm();
    windows_.UpdateControlStates();
}

void RecordingController::EndRecordingWithMessage(const QString& message)
{
    // A failure the stop itself meets is part of the same story: one message.
    FinishRecording();
    windows_.ShowMessage(message);
}

void RecordingController::OnRecordingFailed(const QString& why)
{
    if (stopping_) {
        failureDuringStop_ = why;
        return;
    }
    if (app_.mode == AppMode::Recording && app_.recordGraph) {
        EndRecordingWithMessage(WriteFailureText(why));
        return;
    }
    windows_.ShowMessage(WriteFailureText(why));
}

} // namespace kestovar
