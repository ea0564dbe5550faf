#include "app/FrameRecordingWindows.h"

#include "app/CCustomStatusBar.h"
#include "app/CKestovarApp.h"
#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/RecordingController.h"
#include "dialogs/CDlgOk.h"
#include "library/CExEdit.h"
#include "library/CKestovarFormView.h"
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/CGdipButton.h"

#include <QPainter>

namespace kestovar {

namespace {

// Where the indicator picture sits on the Record button, in its own size.
constexpr QRect kIndicatorRect(20, 12, 32, 32);

// The indicator picture drawn over the Record button; mouse presses pass through to
// the button beneath.
class IndicatorPicture final : public QWidget {
public:
    explicit IndicatorPicture(QWidget* button)
        : QWidget(button)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(kIndicatorRect);
        hide();
    }
    void Show(int picture)
    {
        const int index = picture >= 413 && picture <= 424 ? picture - 412 : 1;
        CGdiPlusBitmapResource image;
        if (!image.Load(QStringLiteral("record_indicator_%1").arg(index, 2, 10, QLatin1Char('0'))))
            return;
        picture_ = image.Render(size(), devicePixelRatioF());
        show();
        raise();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(rect(), picture_);
    }

private:
    QImage picture_;
};

} // namespace

FrameRecordingWindows::FrameRecordingWindows(CMainFrame& frame, CKestovarApp& app)
    : QObject(&frame)
    , frame_(frame)
    , app_(app)
{
    if (CKestovarLeftFormView* panel = frame_.ControlPanel(); panel && panel->RecordButton())
        indicator_ = new IndicatorPicture(panel->RecordButton());
    controller_ = std::make_unique<RecordingController>(app_, *this);
}

FrameRecordingWindows::~FrameRecordingWindows() = default;

CKestovarFormView* FrameRecordingWindows::Form() const
{
    if (auto* form = qobject_cast<CKestovarFormView*>(frame_.CaseForm()))
        return form;
    return frame_.findChild<CKestovarFormView*>();
}

CaseInfo FrameRecordingWindows::CaseFields() const
{
    const CKestovarFormView* form = Form();
    return form ? form->CaseFields() : CaseInfo {};
}

void FrameRecordingWindows::StartFileNameAlert()
{
    CKestovarFormView* form = Form();
    if (!form) {
        ShowMessage(QStringLiteral("Please enter a file name!"));
        return;
    }
    form->StartFileNameAlert();
    if (CExEdit* edit = form->FileNameEdit()) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->deselect();
        edit->end(false); // the caret at the end, scrolled into view
    }
}

void FrameRecordingWindows::StopFileNameAlert()
{
    if (CKestovarFormView* form = Form())
        form->StopFileNameAlert();
}

void FrameRecordingWindows::ClearCaseFields()
{
    if (CKestovarFormView* form = Form())
        form->ClearCaseFields();
}

void FrameRecordingWindows::SetCurrentCaseFile(const QString& moviePath)
{
    if (CKestovarFormView* form = Form())
        form->SetCurrentCaseFile(moviePath);
}

void FrameRecordingWindows::ApplyModeToForm()
{
    if (CKestovarFormView* form = Form())
        form->ApplyModeToForm(FormApply::ByMode);
}

void FrameRecordingWindows::RefreshMediaList()
{
    if (CKestovarFormView* form = Form())
        form->RefreshMediaList();
}

void FrameRecordingWindows::PlaceVideoForRecording()
{
    if (CKestovarLeftFormView* panel = frame_.ControlPanel()) {
        panel->LayoutControlPanel();
        panel->PlaceVideoWindow(app_.settings.resolution, 2);
    }
}

void FrameRecordingWindows::UpdateControlStates()
{
    if (CKestovarLeftFormView* panel = frame_.ControlPanel())
        panel->UpdateControlStates();
}

bool FrameRecordingWindows::SoundMuted() const
{
    const CKestovarLeftFormView* panel = frame_.ControlPanel();
    return panel && panel->SpeakerButton() && panel->SpeakerButton()->IsToggled();
}

void FrameRecordingWindows::SetRecordButtonRecording(bool recording)
{
    CKestovarLeftFormView* panel = frame_.ControlPanel();
    CGdipButton* button = panel ? panel->RecordButton() : nullptr;
    if (!button)
        return;
    button->SetToggled(recording);
    button->SetDisabledLook(false);
    if (!recording && indicator_)
        indicator_->hide();
    button->repaint();
}

void FrameRecordingWindows::ShowIndicatorPicture(int picture)
{
    SetRecordButtonRecording(true);
    if (indicator_)
        static_cast<IndicatorPicture*>(indicator_)->Show(picture);
}

void FrameRecordingWindows::GoLive()
{
    if (CKestovarLeftFormView* panel = frame_.ControlPanel())
        panel->GoLive();
}

void FrameRecordingWindows::SetStatusPane(int pane, const QString& text)
{
    if (CCustomStatusBar* status = frame_.StatusBar())
        status->SetPaneText(pane, text);
}

void FrameRecordingWindows::ShowMessage(const QString& text)
{
    CDlgOk dialog(text, frame_.window());
    dialog.exec();
}

FrameRecordingWindows* AttachRecording(CMainFrame& frame)
{
    if (auto* existing = frame.findChild<FrameRecordingWindows*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    CKestovarApp* app = CKestovarApp::Instance();
    if (!app)
        return nullptr;
    return new FrameRecordingWindows(frame, *app);
}

RecordingController* RecordingFor(CMainFrame& frame)
{
    FrameRecordingWindows* windows = AttachRecording(frame);
    return windows ? &windows->Controller() : nullptr;
}

} // namespace kestovar
