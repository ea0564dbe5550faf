#include "app/FrameLibraryHost.h"

#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "dialogs/CDlgOk.h"
#include "dicom/PacsStation.h"
#include "playback/CDlgToolbarPlay.h"
#include "playback/CDlgVideoView.h"

namespace kestovar {

FrameLibraryHost::FrameLibraryHost(StationMedia& media, CMainFrame& frame)
    : media_(media)
    , frame_(frame)
{
}

FormMode FrameLibraryHost::CurrentMode() const
{
    return static_cast<FormMode>(media_.Mode());
}

CAppSettings& FrameLibraryHost::Settings()
{
    return media_.Settings();
}

void FrameLibraryHost::StopRecording()
{
    frame_.OnRecordStop();
}

void FrameLibraryHost::HideNoCameraNotice()
{
    frame_.ControlPanel()->HideNoCameraNotice();
}

void FrameLibraryHost::PrepareVideoWindowForMedia()
{
    CDlgVideoView* video = frame_.ControlPanel()->VideoView();
    video->show();
    CDlgToolbarPlay* bar = video->TransportBar();
    bar->SetTransportBarOpacity(0);
    bar->StopTimers();
    bar->ResetTransportBar();
}

bool FrameLibraryHost::ShowMovie(const QString& path)
{
    return frame_.ControlPanel()->ShowMovie(path);
}

void FrameLibraryHost::ShowPicture(const QString& path)
{
    frame_.ControlPanel()->ShowPicture(path);
}

void FrameLibraryHost::UpdateControlStates()
{
    frame_.ControlPanel()->UpdateControlStates();
}

void FrameLibraryHost::ClosePlaybackBeforeDelete(const QString&)
{
    // Whatever the player shows: no player may hold a file that is about to go.
    media_.StopPlayback();
    media_.ClosePlayback();
}

void FrameLibraryHost::MediaRenamed(const QString& oldPath, const QString& newPath)
{
    // The player keeps its open file under any name; the path on show follows it, so a
    // repaint or a later command finds the capture where it now is. A send waiting for
    // the PACS follows it too.
    media_.MediaRenamed(oldPath, newPath);
    frame_.Pacs().Renamed(oldPath, newPath);
}

void FrameLibraryHost::MediaDeleted(const QString& path)
{
    frame_.Pacs().Deleted(path);
}

void FrameLibraryHost::SendToPacs(const QStringList& paths, const CaseInfo& formCase)
{
    const QString problem = frame_.Pacs().Send(paths, formCase);
    if (problem.isEmpty())
        return;
    auto* notice = new CDlgOk(problem, frame_.window());
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->open();
}

} // namespace kestovar
