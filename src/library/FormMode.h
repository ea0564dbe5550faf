#pragma once
// What the case information form needs to know of the station's state, without
// depending on the application: the mode of the video area and how the form's controls
// follow it. FormMode has the numbers of the application's AppMode, so the frame
// converts one into the other with a static_cast.

#include <cstdint>

namespace kestovar {

enum class FormMode : int32_t {
    Idle = 0,
    Live = 1,
    Recording = 2,
    Playing = 3,
    PlaybackPaused = 4, // also right after a movie was opened
    StillShown = 5,
};

// ApplyModeToForm: the controls for an opened movie, or for the current mode.
enum class FormApply { OpenedMovie, ByMode };

// Which of the form's controls are enabled or shown.
struct FormControlStates {
    bool dateEnabled = false; // never enabled: the form sets the date
    bool fileNameEnabled = false;
    bool caseTextsEnabled = false; // Doctor Name, Patient Name, Hospital Name, Comment
    bool textClearEnabled = false;
    bool selectFolderEnabled = false;
    bool modifyShown = false;
    bool saveShown = false;

    bool operator==(const FormControlStates&) const = default;
};

// The table of ApplyModeToForm. DeleteFile, the list and the folder buttons are never
// disabled by it.
FormControlStates ControlStatesFor(FormApply kind, FormMode mode);

// After Modify: Date and File Name stay disabled (the name belongs to the movie), the
// four other texts open, Save replaces Modify.
FormControlStates ModifyControlStates();

// ClearCaseFields empties File Name, Doctor, Patient, Hospital and Comment only in
// these modes; while a movie is open or recording they keep their text.
bool ClearEmptiesCaseTexts(FormMode mode);

// Save writes the case file only in these modes (never while recording or playing).
bool SaveWritesCaseFile(FormMode mode);

} // namespace kestovar
