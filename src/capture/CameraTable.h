#pragma once
// The supported cameras and microphones, and the rules that recognise them in device
// paths, USB instance ids and audio device names. Pure functions; any thread.

#include "capture/CaptureTypes.h"

#include <array>
#include <string>
#include <string_view>

namespace kestovar {

inline constexpr std::array<CameraModel, 3> kCameraTable { {
    { "VID_05A3", "PID_9422", CameraModelKind::FullHd },
    { "VID_06F8", "PID_4148", CameraModelKind::Pro },
    { "VID_0C45", "PID_6366", CameraModelKind::FullHd },
} };

// Substrings of a supported microphone's name (case-sensitive).
inline constexpr std::array<std::string_view, 3> kMicrophoneNames { "Kestovar", "USB Audio ADC Ver1.0",
    "마이크(USB 2.0 Camera)" };

// "Kestovar Full HD camera" or "Kestovar Pro camera"; empty for NotSupported.
std::string CameraModelName(CameraModelKind kind);

std::string ToUpperAscii(std::string_view text);

// The enumeration rule: the upper-cased path holds both strings of one table row.
// Returns that row's model, or NotSupported.
CameraModelKind MatchCameraTable(std::string_view devicePath);

// The device-change rule: one of the six strings is enough; Full HD when it holds
// "PID_9422" or "PID_6366", otherwise Pro.
CameraModelKind ClassifyDevicePath(std::string_view devicePath);

bool IsSupportedMicrophoneName(std::string_view friendlyName);

// kbit/s the encoder gets for a quality level (0..2, anything else as 0) and an
// applied resolution index (0 = 1920x1080, 1 = 1280x720, anything else 640x480):
// width x height x 30 x r / 1024 with r = 0.14, 0.11, 0.085.
double EncoderBitrateTable(int quality, int resolutionIndex);

} // namespace kestovar
