#include "app/FrameSettingsHost.h"

#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "platform/AudioBackend.h"
#include "platform/CameraBackend.h"

namespace kestovar {

FrameSettingsHost::FrameSettingsHost(StationMedia& media, CMainFrame& frame)
    : media_(media)
    , frame_(frame)
{
}

CAppSettings& FrameSettingsHost::settings()
{
    return media_.Settings();
}

std::optional<SourceKind> FrameSettingsHost::openCameraKind()
{
    if (!media_.OpenCamera())
        return std::nullopt;
    return media_.LiveSourceIsMjpeg() ? SourceKind::Mjpeg : SourceKind::Encoded;
}

CameraImageControls FrameSettingsHost::cameraControls()
{
    return CameraImageControls(media_.OpenCamera());
}

bool FrameSettingsHost::isLive()
{
    return media_.Mode() == AppMode::Live;
}

void FrameSettingsHost::rebuildPreview()
{
    frame_.ControlPanel()->GoLive();
}

std::vector<std::string> FrameSettingsHost::audioInputNames()
{
    std::vector<std::string> names;
    if (auto audio = media_.Audio())
        for (const AudioDeviceInfo& device : audio->ListInputDevices())
            names.push_back(device.friendlyName);
    return names;
}

QObject* FrameSettingsHost::choiceTarget()
{
    return &frame_;
}

} // namespace kestovar
