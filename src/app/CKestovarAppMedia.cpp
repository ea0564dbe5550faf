// The media control operations of CKestovarApp: the only code that creates, runs and
// destroys the preview, recording and player graphs and moves `mode`.

#include "app/CKestovarApp.h"

namespace kestovar {

bool CKestovarApp::StartPreview() { return false; }
void CKestovarApp::StopPreview() { mode = AppMode::Idle; }
bool CKestovarApp::StartRecord(const QString&, bool) { return false; }
bool CKestovarApp::StopRecord(QString*) { mode = AppMode::Idle; return true; }
bool CKestovarApp::PauseRecord() { return false; }
bool CKestovarApp::ResumeRecord() { return false; }
bool CKestovarApp::OpenPlayback(const QString&, QString*) { return false; }
bool CKestovarApp::PlayPlayback() { return false; }
bool CKestovarApp::PausePlayback() { return false; }
bool CKestovarApp::StopPlayback() { return false; }
void CKestovarApp::ClosePlayback() { currentMediaPath.clear(); mode = AppMode::Idle; }
void CKestovarApp::SetStillPath(const QString& path) { currentMediaPath = path; }
bool CKestovarApp::ShowStill(const QString&) { return false; }
GraphRunState CKestovarApp::GetGraphState() const { return GraphRunState::Stopped; }
uint64_t CKestovarApp::TakeFrameCount() { return 0; }
bool CKestovarApp::HasFreeDiskSpace() { return false; }
bool CKestovarApp::TakeSnapshot(const QString&) { return false; }
CameraBackend* CKestovarApp::OpenCamera() const { return nullptr; }
std::optional<SourceKind> CKestovarApp::OpenCameraKind() const { return std::nullopt; }
void CKestovarApp::SetFreeSpaceSource(FreeSpaceSource source, std::FILE* report)
{
    freeSpaceSource_ = std::move(source);
    diskReport_ = report;
}
void CKestovarApp::SetErrorReporter(ErrorReporter reporter) { errorReporter_ = std::move(reporter); }

void CKestovarApp::CloseAll()
{
    currentMediaPath.clear();
    mode = AppMode::Idle;
}

} // namespace kestovar
