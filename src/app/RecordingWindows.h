#pragma once
// What the recording controller needs of the windows: the case information form, the
// control panel's Record button and Speaker toggle, the video placement, the status bar
// and the operator's messages. The frame gives it the real windows (FrameRecordingWindows);
// tests give it a fake, so recording control runs without any widget.
//
// GUI thread only.

#include "library/CaseInfoFile.h"

#include <QString>

namespace kestovar {

class RecordingWindows {
public:
    virtual ~RecordingWindows() = default;

    // ---- Case information form ----
    // The six fields as the form holds them now.
    virtual CaseInfo CaseFields() const = 0;
    // "Please enter a file name!", then the File Name field blinks; the keyboard focus
    // goes into the field with the caret at its end.
    virtual void StartFileNameAlert() = 0;
    virtual void StopFileNameAlert() = 0;
    virtual void ClearCaseFields() = 0;
    // The movie whose case file the form's Save writes.
    virtual void SetCurrentCaseFile(const QString& moviePath) = 0;
    // The form's controls for the station's current mode.
    virtual void ApplyModeToForm() = 0;
    // Scans the storage folders again; new captures are listed.
    virtual void RefreshMediaList() = 0;

    // ---- Control panel ----
    // Lays the panel out and places the video window for a recording (aspect-correct).
    virtual void PlaceVideoForRecording() = 0;
    virtual void UpdateControlStates() = 0;
    // The Speaker toggle is on: recordings are made without sound.
    virtual bool SoundMuted() const = 0;
    // Recording: active and pressed look. Idle: not pressed, no indicator picture.
    virtual void SetRecordButtonRecording(bool recording) = 0;
    // One picture of the indicator animation (413..424) on the Record button.
    virtual void ShowIndicatorPicture(int picture) = 0;
    // The live picture again, or the no-camera notice without a camera.
    virtual void GoLive() = 0;

    // ---- Frame ----
    virtual void SetStatusPane(int pane, const QString& text) = 0;
    // A notice with an Ok button.
    virtual void ShowMessage(const QString& text) = 0;
};

} // namespace kestovar
