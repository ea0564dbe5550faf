#include "app/CMainFrame.h"

#include "app/CCustomStatusBar.h"
#include "app/CKestovarLeftFormView.h"
#include "app/FrameLibraryHost.h"
#include "app/FramePlaybackHost.h"
#include "app/FrameRecordingWindows.h"
#include "app/FrameSettingsHost.h"
#include "app/StationGeometry.h"
#include "app/StationMedia.h"
#include "app/StationRules.h"
#include "dialogs/ApplyChoiceEvent.h"
#include "dialogs/CDlgMenuResolution.h"
#include "dialogs/CDlgMenuRotation.h"
#include "library/CKestovarFormView.h"
#include "playback/CDlgVideoView.h"
#include "recording/CAppSettings.h"
#include "ui/CGdipButton.h"
#include "ui/SkinPalette.h"

#include "dicom/PacsStation.h"

#include <QEvent>
#include <QPalette>

namespace kestovar {

CMainFrame::CMainFrame(StationMedia& media, std::shared_ptr<AudioBackend> audio, QWidget* parent)
    : QWidget(parent)
    , media_(media)
{
    panel_ = new CKestovarLeftFormView(media_, std::move(audio), this);
    panel_->PlaybackHost().SetFrame(this);
    libraryHost_ = std::make_unique<FrameLibraryHost>(media_, *this);
    settingsHost_ = std::make_unique<FrameSettingsHost>(media_, *this);
    pacs_ = std::make_unique<PacsStation>(PacsStation::DefaultQueueFolder());
    form_ = new CKestovarFormView(*libraryHost_, this);
    status_ = new CCustomStatusBar(this);
    form_->SetSendBadgeSource([this](const QString& path) { return pacs_->BadgeOf(path); });
    form_->InitialUpdate();
    AttachPacs();

    // The form follows the mode after Live and while a movie is open.
    panel_->SetAfterGoLive([this] {
        form_->ApplyModeToForm(FormApply::ByMode);
        form_->ClearCaseFields();
    });
    panel_->PlaybackHost().SetFormCallbacks([this] { form_->ApplyModeToForm(FormApply::OpenedMovie); },
        [this] { form_->ApplyModeToForm(FormApply::ByMode); });

    connect(panel_, &CKestovarLeftFormView::recordRequested, this, &CMainFrame::OnRecordStart);
    connect(panel_, &CKestovarLeftFormView::snapShotRequested, this, &CMainFrame::OnSnapShot);
    connect(panel_, &CKestovarLeftFormView::resolutionRequested, this, &CMainFrame::OpenResolutionPopup);
    connect(panel_, &CKestovarLeftFormView::rotationRequested, this, &CMainFrame::OpenRotationPopup);

    // The recording control's status timer runs from the start, so the status bar
    // shows the live frame rate before the first recording.
    AttachRecording(*this);
}

CMainFrame::~CMainFrame()
{
    delete resolutionPopup_;
    delete rotationPopup_;
    // The form and the panel use the hosts, which are members: they go first.
    delete form_;
    form_ = nullptr;
    delete panel_;
    panel_ = nullptr;
}

bool CMainFrame::RunCommand(int command)
{
    switch (command) {
    case cmd::RecordStart:
        OnRecordStart();
        return true;
    case cmd::RecordStop:
        OnRecordStop();
        return true;
    case cmd::RecordPause:
        OnRecordPause();
        return true;
    case cmd::SnapShot:
        OnSnapShot();
        return true;
    case cmd::FullScreen:
        EnterFullScreen();
        return true;
    case cmd::RecordDevice:
        OnRecordDevice();
        return true;
    case cmd::VideoQuality:
        OnVideoQuality();
        return true;
    case cmd::StoragePath:
        OnStoragePath();
        return true;
    case cmd::Pacs:
        OnPacs();
        return true;
    case cmd::Live:
        panel_->GoLive();
        return true;
    default:
        return false;
    }
}

void CMainFrame::EnterFullScreen()
{
    if (fullScreen_)
        return;
    fullScreen_ = true;
    panel_->VideoView()->EnterFullScreen();
}

void CMainFrame::LeaveFullScreen()
{
    if (!fullScreen_)
        return;
    fullScreen_ = false;
    panel_->VideoView()->LeaveFullScreen();
    window()->activateWindow();
}

bool CMainFrame::ApplyResolutionItem(int item)
{
    const int resolution = ResolutionOfPopupItem(item);
    if (resolution < 0)
        return false;
    media_.Settings().resolution = resolution;
    panel_->GoLive();
    return true;
}

bool CMainFrame::ApplyRotationItem(int item)
{
    if (item < 0 || item > 7)
        return false;
    media_.Settings().rotation = item;
    panel_->GoLive();
    return true;
}

bool CMainFrame::ApplyModelDefault(bool fullHd)
{
    media_.Settings().resolution = ResolutionOfModelDefault(fullHd);
    panel_->GoLive();
    return true;
}

void CMainFrame::OpenResolutionPopup()
{
    delete resolutionPopup_;
    resolutionPopup_ = CDlgMenuResolution::Open(*settingsHost_, panel_->ResolutionButton(), panel_);
}

void CMainFrame::OpenRotationPopup()
{
    delete rotationPopup_;
    rotationPopup_ = CDlgMenuRotation::Open(*settingsHost_, panel_->RotationButton(), panel_);
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == kApplyChoiceEventType) {
        // Stored, then live again with the choice.
        if (StoreChoice(static_cast<ApplyChoiceEvent&>(*event), media_.Settings()))
            panel_->GoLive();
        return true;
    }
    if (event->type() == QEvent::Type(kRequestFullScreenEvent)) {
        EnterFullScreen();
        return true;
    }
    return QWidget::event(event);
}

void CMainFrame::resizeEvent(QResizeEvent*)
{
    const FramePanes panes = SplitFrame(size(), CCustomStatusBar::kHeight);
    panel_->setGeometry(panes.left);
    form_->setGeometry(panes.right);
    status_->setGeometry(panes.statusBar);
    panel_->UpdateControlStates();
}

} // namespace kestovar
