#include "capture/CameraTable.h"

#include <algorithm>

namespace kestovar {

std::string CameraModelName(CameraModelKind kind)
{
    switch (kind) {
    case CameraModelKind::FullHd:
        return "Kestovar Full HD camera";
    case CameraModelKind::Pro:
        return "Kestovar Pro camera";
    case CameraModelKind::NotSupported:
        break;
    }
    return {};
}

std::string ToUpperAscii(std::string_view text)
{
    std::string s(text);
    std::transform(
        s.begin(), s.end(), s.begin(), [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return s;
}

CameraModelKind MatchCameraTable(std::string_view devicePath)
{
    const std::string upper = ToUpperAscii(devicePath);
    for (const auto& row : kCameraTable)
        if (upper.find(row.productId) != std::string::npos && upper.find(row.vendorId) != std::string::npos)
            return row.kind;
    return CameraModelKind::NotSupported;
}

CameraModelKind ClassifyDevicePath(std::string_view devicePath)
{
    const std::string upper = ToUpperAscii(devicePath);
    bool supported = false;
    for (const auto& row : kCameraTable)
        supported = supported || upper.find(row.vendorId) != std::string::npos
            || upper.find(row.productId) != std::string::npos;
    if (!supported)
        return CameraModelKind::NotSupported;
    if (upper.find("PID_9422") != std::string::npos || upper.find("PID_6366") != std::string::npos)
        return CameraModelKind::FullHd;
    return CameraModelKind::Pro;
}

bool IsSupportedMicrophoneName(std::string_view friendlyName)
{
    return std::any_of(kMicrophoneNames.begin(), kMicrophoneNames.end(),
        [&](std::string_view n) { return friendlyName.find(n) != std::string_view::npos; });
}

double EncoderBitrateTable(int quality, int resolutionIndex)
{
    static constexpr double kTable[3][3] = {
        { 8505, 3780, 1260 },
        { 6682.5, 2970, 990 },
        { 5163.75, 2295, 765 },
    };
    const int row = (quality >= 0 && quality <= 2) ? quality : 0;
    const int column = resolutionIndex == 0 ? 0 : resolutionIndex == 1 ? 1 : 2;
    return kTable[row][column];
}

} // namespace kestovar
