#include "library/FormMode.h"

namespace kestovar {

FormControlStates ControlStatesFor(FormApply kind, FormMode mode)
{
    FormControlStates s;
    if (kind == FormApply::OpenedMovie) {
        s.textClearEnabled = true;
        s.selectFolderEnabled = true;
        s.modifyShown = true;
        return s;
    }
    switch (mode) {
    case FormMode::Recording:
        break;
    case FormMode::Playing:
        s.textClearEnabled = true;
        break;
    case FormMode::PlaybackPaused:
        s.textClearEnabled = true;
        s.selectFolderEnabled = true;
        break;
    case FormMode::Idle:
    case FormMode::Live:
    case FormMode::StillShown:
        s.fileNameEnabled = true;
        s.caseTextsEnabled = true;
        s.textClearEnabled = true;
        s.selectFolderEnabled = true;
        break;
    }
    return s;
}

FormControlStates ModifyControlStates()
{
    FormControlStates s;
    s.caseTextsEnabled = true;
    s.textClearEnabled = true;
    s.selectFolderEnabled = true;
    s.saveShown = true;
    return s;
}

bool ClearEmptiesCaseTexts(FormMode mode)
{
    return mode == FormMode::Idle || mode == FormMode::Live || mode == FormMode::StillShown;
}

bool SaveWritesCaseFile(FormMode mode)
{
    return mode == FormMode::Idle || mode == FormMode::Live || mode == FormMode::PlaybackPaused
        || mode == FormMode::StillShown;
}

} // namespace kestovar
