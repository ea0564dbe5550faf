// The frame's settings commands: the recording device and quality dialog, the
// camera image dialog and the storage folder chooser.

#include "app/CMainFrame.h"

namespace kestovar {

void CMainFrame::OnRecordDevice() { }

void CMainFrame::OnVideoQuality() { }

void CMainFrame::OnStoragePath() { }

} // namespace kestovar
