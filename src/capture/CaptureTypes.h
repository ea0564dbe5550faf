#pragma once
// Small value types shared by the graphs, the settings and the windows.

#include <cstdint>

namespace kestovar {

// How the bound camera delivers its picture.
enum class SourceKind : int32_t {
    Encoded = 0, // H.264 from the camera's own encoder; decoded, turned and drawn by us
    Mjpeg = 1,   // MJPG; decoded by us, shown with the mixer flips only
};

// Indices the settings hold and the graphs apply.
enum ResolutionChoice : int32_t { Res1080 = 0, Res720 = 1, Res480 = 2 };
enum QualityLevel : int32_t { QualityHighest = 0, QualityHigh = 1, QualityNormal = 2 };
enum FrameRateChoice : int32_t { Fps30 = 0, Fps25 = 1, Fps20 = 2 };

// 0 unchanged; 1, 2, 3 turned 90, 180, 270 degrees clockwise; 4 mirrored;
// 5, 6, 7 mirrored and turned. Only the live picture is turned.
using RotationMode = int32_t;

// The model a supported camera is, as its USB ids tell.
enum class CameraModelKind : int32_t { NotSupported = 0, Pro = 1, FullHd = 2 };

// A row of the supported camera table: upper-case "VID_xxxx" / "PID_xxxx" strings as
// they appear in device paths and USB instance ids.
struct CameraModel {
    const char* vendorId;
    const char* productId;
    CameraModelKind kind;
};

} // namespace kestovar
