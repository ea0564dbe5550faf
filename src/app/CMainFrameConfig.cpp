// The frame's settings commands: the recording device and quality dialog, the
// camera image dialog, the storage folder chooser and the PACS dialog; and what the
// windows show of the PACS queue.

#include "app/CMainFrame.h"
#include "app/FrameSettingsHost.h"
#include "app/CCustomStatusBar.h"
#include "app/FrameRecordingWindows.h"
#include "app/RecordingController.h"
#include "app/StationMedia.h"
#include "dialogs/CDlgOk.h"
#include "dicom/CDlgPacs.h"
#include "dicom/PacsStation.h"
#include "dialogs/CDlgDevice.h"
#include "dialogs/CDlgVideoSetting.h"
#include "library/CKestovarFormView.h"
#include "recording/CAppSettings.h"

#include <QFileInfo>

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

void CMainFrame::OnPacs()
{
    CDlgPacs dialog(pacs_->settings(), window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!pacs_->ApplySettings(dialog.Chosen())) {
        auto* notice = new CDlgOk(QStringLiteral("The PACS settings could not be saved."), window());
        notice->setAttribute(Qt::WA_DeleteOnClose);
        notice->open();
    }
}

void CMainFrame::AttachPacs()
{
    status_->SetSendText(pacs_->WaitingText());
    connect(pacs_.get(), &PacsStation::WaitingChanged, this,
        [this](int) { status_->SetSendText(pacs_->WaitingText()); });
    connect(pacs_.get(), &PacsStation::BadgesChanged, this, [this] {
        if (form_)
            form_->SendBadgesChanged();
    });
    // "Send after each recording": every completed movie (a roll-over's too) is queued.
    if (RecordingController* recording = RecordingFor(*this)) {
        connect(recording, &RecordingController::movieFinished, this, [this](const QString& path) {
            if (pacs_->settings().sendAfterRecording && pacs_->settings().configured())
                pacs_->Send({ path }, CaseInfo {});
        });
    }
    // Each failed send is told once, without stopping the operator's work: the notice
    // does not block the window, and failures that come while it is open join it.
    connect(pacs_.get(), &PacsStation::SendFailed, this, [this](const QString& path, const QString& message) {
        const QString text = QStringLiteral("\"%1\" was not sent to the PACS.\n%2")
                                 .arg(QFileInfo(path).fileName(), message);
        if (failureNotice_) {
            failureNotice_->SetMessage(failureNotice_->Message() + QStringLiteral("\n\n") + text);
            return;
        }
        failureNotice_ = new CDlgOk(text, window());
        failureNotice_->setAttribute(Qt::WA_DeleteOnClose);
        failureNotice_->open();
    });
}

} // namespace kestovar
