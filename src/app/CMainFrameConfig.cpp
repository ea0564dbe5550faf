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
#include "dicom/CDlgWorklist.h"
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
    if (form_)
        form_->SetWorklistAction(pacs_->settings().worklistConfigured() ? std::function<void()>([this] { OnWorklist(); })
                                                                        : std::function<void()>());
}

void CMainFrame::OnWorklist()
{
    // The query runs on a worker while the dialog shows; a failure is told in it and the
    // form stays as it is, to be filled by hand.
    CDlgWorklist dialog(pacs_->settings(), window());
    if (dialog.exec() != QDialog::Accepted || !dialog.Chosen())
        return;
    ApplyWorklistEntry(*dialog.Chosen());
}

void CMainFrame::ApplyWorklistEntry(const WorklistEntry& e)
{
    if (!form_)
        return;
    form_->SetFieldText(CKestovarFormView::PatientField, e.readablePatientName());
    if (!e.performingPhysician.isEmpty())
        form_->SetFieldText(CKestovarFormView::DoctorField, e.readablePhysician());
    if (!e.institution.isEmpty())
        form_->SetFieldText(CKestovarFormView::HospitalField, e.institution);
    if (const QString name = SuggestedFileName(e.procedureDescription); !name.isEmpty())
        form_->SetFieldText(CKestovarFormView::FileNameField, name);
    pacs_->ChooseProcedure(e);
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
    // Captures of a procedure chosen from the worklist keep it beside them.
    if (RecordingController* recording = RecordingFor(*this)) {
        auto attach = [this](const QString& path) {
            if (form_)
                pacs_->AttachProcedureTo(path, form_->FieldText(CKestovarFormView::PatientField));
        };
        connect(recording, &RecordingController::movieStarted, this, attach);
        connect(recording, &RecordingController::snapshotRequested, this, attach);
    }
    if (form_ && pacs_->settings().worklistConfigured())
        form_->SetWorklistAction([this] { OnWorklist(); });
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
