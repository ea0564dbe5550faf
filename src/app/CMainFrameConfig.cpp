// The frame's settings commands: the recording device and quality dialog, the
// camera image dialog and the storage folder chooser.

#include "app/CMainFrame.h"
#include "app/FrameSettingsHost.h"
#include "app/StationMedia.h"
#include "dialogs/CDlgDevice.h"
#include "dialogs/CDlgVideoSetting.h"
#include "library/CKestovarFormView.h"
#include "recording/CAppSettings.h"

namespace kestovar {

void CMainFrame::OnRecordDevice()
{
    CDlgDevice dialog(*settingsHost_, window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    media_.Settings().bitrate = dialog.ChosenBitrate();
    media_.Settings().framerate = dialog.ChosenFramerate();
    media_.SaveSettings();
}

void CMainFrame::OnVideoQuality()
{
    CDlgVideoSetting dialog(*settingsHost_, window());
    dialog.exec();
}

void CMainFrame::OnStoragePath()
{
    // The form owns the chooser and applies the new root (folders made, settings
    // saved, list refreshed).
    form_->ChooseStorageFolder();
}

} // namespace kestovar
