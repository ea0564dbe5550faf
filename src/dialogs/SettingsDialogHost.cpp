#include "dialogs/SettingsDialogHost.h"

#include "dialogs/DeviceDialogModel.h"
#include "platform/CameraProvider.h"

namespace kestovar {

std::vector<std::string> SettingsDialogHost::videoDeviceNames()
{
    auto provider = CurrentCameraProvider();
    return provider ? SupportedVideoDeviceNames(*provider) : std::vector<std::string> {};
}

} // namespace kestovar
