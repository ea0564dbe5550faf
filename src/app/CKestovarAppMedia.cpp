// The media control operations of CKestovarApp for the camera graphs, the close of
// everything and the queries: the only code that creates, runs and destroys the
// preview and recording graphs and moves `mode` (the player and the still picture
// are in CKestovarAppMediaPlayer.cpp).

#include "app/CKestovarApp.h"

#include "app/CDlgMain.h"
#include "platform/CameraProvider.h"

#include <QFile>
#include <QMessageBox>
#include <QMetaObject>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kestovar {

namespace {

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The settings' four choices, in the order the graphs take them. A choice the camera
// cannot take leaves the graph at what it has (an MJPG camera has only 480P).
template <typename Graph> void ApplyChoices(Graph& graph, const CAppSettings& settings)
{
    graph.SetResolution(static_cast<ResolutionChoice>(settings.resolution));
    graph.SetQuality(static_cast<QualityLevel>(settings.bitrate));
    graph.SetFrameRate(static_cast<FrameRateChoice>(settings.framerate));
    graph.SetRotation(settings.rotation);
}

} // namespace

void CKestovarApp::SetFreeSpaceSource(FreeSpaceSource source, std::FILE* report)
{
    freeSpaceSource_ = std::move(source);
    diskReport_ = report;
}

void CKestovarApp::SetErrorReporter(ErrorReporter reporter)
{
    errorReporter_ = std::move(reporter);
}

void CKestovarApp::ReportGraphError(const QString& message)
{
    if (errorReporter_) {
        errorReporter_(message);
        return;
    }
    QMessageBox box(
        QMessageBox::NoIcon, QStringLiteral("Kestovar"), message, QMessageBox::Ok, mainDialog.get());
    box.exec();
}

void CKestovarApp::NoteEncoderOutcome(const EncoderOutcome& outcome, const std::string& devicePath)
{
    if (outcome.refusal == 0)
        return;
    std::fprintf(stderr, "app: the camera %s refused the quality setting (%s); it streams at its own setting\n",
        devicePath.c_str(), std::strerror(outcome.refusal));
    // Every start (each roll-over, each Live) meets the same refusal: told once.
    if (qualityNoticeCamera_ == devicePath)
        return;
    qualityNoticeCamera_ = devicePath;
    emit cameraNotice(QString::fromUtf8(kQualityNotTakenMessage));
}

void CKestovarApp::ReportCameraGoneAtStart()
{
    std::fprintf(stderr, "app: the camera went while it was being started\n");
    // Queued like a report from a running graph: the window hears of it once the
    // start it may be part of has returned.
    QMetaObject::invokeMethod(
        this, [this] { emit streamEnded(QStringLiteral("the camera was unplugged")); }, Qt::QueuedConnection);
}

void CKestovarApp::PostGraphReport(
    uint64_t serial, void (CKestovarApp::*signal)(QString), const std::string& message)
{
    // Runs on a graph's thread: only the serial is carried over, nothing of the graph.
    QMetaObject::invokeMethod(
        this,
        [this, serial, signal, text = QString::fromStdString(message)] {
            if (serial != graphSerial_)
                return; // that graph has been stopped since
            if (signal == &CKestovarApp::recordingFailed) {
                if (recordFailureReported_)
                    return;
                recordFailureReported_ = true;
            }
            emit(this->*signal)(text);
        },
        Qt::QueuedConnection);
}

bool CKestovarApp::StartPreview()
{
    if (!videoWindow)
        return false;
    // One graph at a time, whatever the caller closed: a second graph on the same
    // camera would find it busy, and a player would go on sounding under the picture.
    if (previewGraph || recordGraph || playerGraph)
        CloseAll();
    previewGraph = std::make_unique<PreviewGraph>();
    const uint64_t serial = ++graphSerial_;
    stillPresentedPath_.clear();
    previewGraph->SetVideoWindow(videoWindow);
    previewGraph->SetStreamEndedCallback([this, serial](const std::string& message) {
        PostGraphReport(serial, &CKestovarApp::streamEnded, message);
    });
    // Start failing is a failure too (a camera that binds but does not stream):
    // calling it Live would show a black window as if all were well.
    if (!previewGraph->Build() || (ApplyChoices(*previewGraph, settings), !previewGraph->Start())) {
        const bool gone = previewGraph->Encoder().cameraGone;
        DestroyPreview();
        mode = AppMode::Idle;
        if (gone)
            ReportCameraGoneAtStart();
        else
            ReportGraphError(QStringLiteral("preview error"));
        return false;
    }
    mode = AppMode::Live;
    NoteEncoderOutcome(previewGraph->Encoder(), previewGraph->CameraDevice().devicePath);
    return true;
}

void CKestovarApp::DestroyPreview()
{
    if (!previewGraph)
        return;
    ++graphSerial_;
    previewGraph->Stop();
    previewGraph->Teardown();
    previewGraph.reset();
}

void CKestovarApp::StopPreview()
{
    DestroyPreview();
    mode = AppMode::Idle;
}

bool CKestovarApp::StartRecord(const QString& path, bool withAudio)
{
    if (!videoWindow)
        return false;
    if (previewGraph || recordGraph || playerGraph)
        CloseAll();
    const std::string file = LocalPath(path);
    std::error_code ec;
    const bool existedBefore = !file.empty() && std::filesystem::exists(file, ec);

    recordGraph = std::make_unique<RecordGraph>(audio_);
    const uint64_t serial = ++graphSerial_;
    recordFailureReported_ = false;
    stillPresentedPath_.clear();
    recordGraph->SetVideoWindow(videoWindow);
    recordGraph->SetStreamEndedCallback([this, serial](const std::string& message) {
        PostGraphReport(serial, &CKestovarApp::streamEnded, message);
    });
    recordGraph->SetWriteErrorCallback([this, serial](const std::string& message) {
        PostGraphReport(serial, &CKestovarApp::recordingFailed, message);
    });

    if (!recordGraph->Build(file, withAudio)
        || (ApplyChoices(*recordGraph, settings), !recordGraph->Start())) {
        // Nothing was recorded: a file made by this start holds no movie, and leaving
        // it would list an unplayable capture.
        const bool madeFile = !existedBefore && std::filesystem::exists(file, ec);
        const bool gone = recordGraph->Encoder().cameraGone;
        ++graphSerial_;
        recordGraph->Teardown();
        recordGraph.reset();
        if (madeFile)
            std::filesystem::remove(file, ec);
        mode = AppMode::Idle;
        if (gone)
            ReportCameraGoneAtStart();
        else
            ReportGraphError(QStringLiteral("record error"));
        return false;
    }
    mode = AppMode::Recording;
    NoteEncoderOutcome(recordGraph->Encoder(), recordGraph->CameraDevice().devicePath);
    return true;
}

bool CKestovarApp::DestroyRecord(QString* error)
{
    if (!recordGraph)
        return true;
    ++graphSerial_; // reports still queued from the writer are superseded by this one
    const bool complete = recordGraph->Stop() || !recordGraph->IsBuilt();
    const QString why = QString::fromStdString(recordGraph->LastError());
    recordGraph->Teardown();
    recordGraph.reset();
    if (complete)
        return true;
    if (error)
        *error = why;
    if (!recordFailureReported_) {
        recordFailureReported_ = true;
        emit recordingFailed(why);
    }
    return false;
}

bool CKestovarApp::StopRecord(QString* error)
{
    const bool ok = DestroyRecord(error);
    mode = AppMode::Idle;
    return ok;
}

bool CKestovarApp::PauseRecord()
{
    return recordGraph && recordGraph->Pause();
}

bool CKestovarApp::ResumeRecord()
{
    return recordGraph && recordGraph->Resume();
}

void CKestovarApp::CloseAll()
{
    // The recording is stopped, not just destroyed, so its file is complete.
    DestroyPreview();
    DestroyRecord(nullptr);
    ClosePlayback();
    currentMediaPath.clear();
    stillPresentedPath_.clear();
    mode = AppMode::Idle;
}

GraphRunState CKestovarApp::GetGraphState() const
{
    if (previewGraph && previewGraph->IsBuilt())
        return previewGraph->IsRunning() ? GraphRunState::Running : GraphRunState::Stopped;
    if (recordGraph && recordGraph->IsBuilt())
        return static_cast<GraphRunState>(recordGraph->GetState());
    PlayerGraph::State state;
    if (playerGraph && playerGraph->GetState(state))
        return static_cast<GraphRunState>(state);
    return GraphRunState::Stopped;
}

uint64_t CKestovarApp::TakeFrameCount()
{
    CCaptureBufferCallback* grabber = nullptr;
    if (previewGraph)
        grabber = previewGraph->Grabber();
    else if (recordGraph)
        grabber = recordGraph->Grabber();
    return grabber ? grabber->TakeFrameCount() : 0;
}

bool CKestovarApp::HasFreeDiskSpace()
{
    return kestovar::HasFreeDiskSpace(LocalPath(settings.rootpath), freeSpaceSource_, diskReport_);
}

bool CKestovarApp::TakeSnapshot(const QString& path)
{
    const std::string file = LocalPath(path);
    bool taken = false;
    if (previewGraph)
        taken = previewGraph->TakeSnapshot(file) || taken;
    if (recordGraph)
        taken = recordGraph->TakeSnapshot(file) || taken;
    if (playerGraph)
        taken = playerGraph->TakeSnapshot(file) || taken;
    return taken;
}

CameraBackend* CKestovarApp::OpenCamera() const
{
    if (previewGraph)
        return previewGraph->Camera();
    if (recordGraph)
        return recordGraph->Camera();
    return nullptr;
}

std::optional<SourceKind> CKestovarApp::OpenCameraKind() const
{
    if (previewGraph && previewGraph->Camera())
        return previewGraph->Kind();
    if (recordGraph && recordGraph->Camera())
        return recordGraph->Kind();
    return std::nullopt;
}

} // namespace kestovar
