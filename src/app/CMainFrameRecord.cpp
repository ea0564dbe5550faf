// The frame's recording and still-picture commands: Record Start (F5, the Record
// button and menu item), Record Stop (F4), Record Pause (F3) and SnapShot (F7). Each
// has its one implementation in the frame's RecordingController.

#include "app/CMainFrame.h"
#include "app/FrameRecordingWindows.h"
#include "app/RecordingController.h"

namespace kestovar {

void CMainFrame::OnRecordStart()
{
    if (RecordingController* recording = RecordingFor(*this))
        recording->RecordStart();
}

void CMainFrame::OnRecordStop()
{
    if (RecordingController* recording = RecordingFor(*this))
        recording->RecordStop();
}

void CMainFrame::OnRecordPause()
{
    if (RecordingController* recording = RecordingFor(*this))
        recording->RecordPause();
}

void CMainFrame::OnSnapShot()
{
    if (RecordingController* recording = RecordingFor(*this))
        recording->SnapShot();
}

} // namespace kestovar
