#pragma once
// The case information form's view of the station: AppState through StationMedia,
// the video window and buttons through the control panel, Record Stop through the
// frame. GUI thread only; owned by the frame, it outlives the form.

#include "library/MediaLibraryHost.h"

namespace kestovar {

class CMainFrame;
class StationMedia;

class FrameLibraryHost final : public MediaLibraryHost {
public:
    FrameLibraryHost(StationMedia& media, CMainFrame& frame);

    FormMode CurrentMode() const override;
    CAppSettings& Settings() override;
    void StopRecording() override;
    void HideNoCameraNotice() override;
    void PrepareVideoWindowForMedia() override;
    bool ShowMovie(const QString& path) override;
    void ShowPicture(const QString& path) override;
    void UpdateControlStates() override;
    void ClosePlaybackBeforeDelete(const QString& moviePath) override;
    void MediaRenamed(const QString& oldPath, const QString& newPath) override;
    void MediaDeleted(const QString& path) override;
    void SendToPacs(const QStringList& paths, const CaseInfo& formCase) override;

private:
    StationMedia& media_;
    CMainFrame& frame_;
};

} // namespace kestovar
