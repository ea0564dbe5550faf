// The frame's settings commands: the recording device and quality dialog, the
// camera image dialog and the storage folder chooser.

#include "app/CMainFrame.h"
#include "library/CKestovarFormView.h"

namespace kestovar {

void CMainFrame::OnRecordDevice() { }

void CMainFrame::OnVideoQuality() { }

void CMainFrame::OnStoragePath()
{
    // The form owns the chooser and applies the new root (folders made, settings
    // saved, list refreshed).
    form_->ChooseStorageFolder();
}

} // namespace kestovar
