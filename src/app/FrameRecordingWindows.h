#pragma once
// The frame's recording control: the real windows behind RecordingWindows (the case
// information form, the control panel's Record and Speaker buttons, the status bar,
// the skinned Ok message) and the RecordingController that drives them.
//
// One exists per frame, as the frame's child; the frame attaches it when it is built
// (AttachRecording), so its status timer runs from the start, and RecordingFor finds
// it. Without an application object (window tests over a fake station) there is none.
//
// GUI thread only.

#include "app/RecordingWindows.h"

#include <QObject>

#include <memory>

class QWidget;

namespace kestovar {

class CKestovarApp;
class CKestovarFormView;
class CMainFrame;
class RecordingController;

class FrameRecordingWindows final : public QObject, public RecordingWindows {
    Q_OBJECT
public:
    FrameRecordingWindows(CMainFrame& frame, CKestovarApp& app);
    ~FrameRecordingWindows() override;

    RecordingController& Controller() { return *controller_; }

    CaseInfo CaseFields() const override;
    void StartFileNameAlert() override;
    void StopFileNameAlert() override;
    void ClearCaseFields() override;
    void SetCurrentCaseFile(const QString& moviePath) override;
    void ApplyModeToForm() override;
    void RefreshMediaList() override;
    void PlaceVideoForRecording() override;
    void UpdateControlStates() override;
    bool SoundMuted() const override;
    void SetRecordButtonRecording(bool recording) override;
    void ShowIndicatorPicture(int picture) override;
    void GoLive() override;
    void SetStatusPane(int pane, const QString& text) override;
    void ShowMessage(const QString& text) override;

private:
    CKestovarFormView* Form() const;

    CMainFrame& frame_;
    CKestovarApp& app_;
    QWidget* indicator_ = nullptr; // over the Record button; owned by the button
    std::unique_ptr<RecordingController> controller_;
};

// The frame's recording control, made when missing; null without an application object.
FrameRecordingWindows* AttachRecording(CMainFrame& frame);
RecordingController* RecordingFor(CMainFrame& frame);

} // namespace kestovar
