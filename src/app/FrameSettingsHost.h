#pragma once
// The settings dialogs' and pop-ups' view of the station: AppState through
// StationMedia, the Live action through the control panel, the frame as the target
// of their choices. GUI thread only; owned by the frame.

#include "dialogs/SettingsDialogHost.h"

namespace kestovar {

class CMainFrame;
class StationMedia;

class FrameSettingsHost final : public SettingsDialogHost {
public:
    FrameSettingsHost(StationMedia& media, CMainFrame& frame);

    CAppSettings& settings() override;
    std::optional<SourceKind> openCameraKind() override;
    CameraImageControls cameraControls() override;
    bool isLive() override;
    void rebuildPreview() override;
    std::vector<std::string> audioInputNames() override;
    QObject* choiceTarget() override;

private:
    StationMedia& media_;
    CMainFrame& frame_;
};

} // namespace kestovar
