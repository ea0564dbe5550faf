#include "dialogs/DeviceDialogModel.h"

#include "capture/CameraTable.h"
#include "platform/CameraProvider.h"

namespace kestovar {

QStringList BitRateEntries()
{
    return { QStringLiteral("Highest(r=0.14)"), QStringLiteral("High(r=0.11)"),
        QStringLiteral("Normal(r=0.085)") };
}

QStringList FrameRateEntries()
{
    return { QStringLiteral("High(30)"), QStringLiteral("Middle(25)"), QStringLiteral("Low(20)") };
}

QString VideoCompressorName(std::optional<SourceKind> openCamera)
{
    return openCamera == SourceKind::Mjpeg ? QStringLiteral("MJPEG") : QStringLiteral("H.264(AVC)");
}

bool QualityListsEnabled(std::optional<SourceKind> openCamera)
{
    return openCamera != SourceKind::Mjpeg;
}

int QualityListRow(int32_t stored)
{
    return stored >= 0 && stored <= 2 ? stored : 0;
}

std::vector<std::string> SupportedVideoDeviceNames(CameraProvider& provider)
{
    std::vector<std::string> names;
    for (const VideoDeviceInfo& device : provider.ListVideoDevices())
        if (MatchCameraTable(device.devicePath) != CameraModelKind::NotSupported)
            names.push_back(device.friendlyName);
    return names;
}

} // namespace kestovar
