#pragma once
// The contents of the recording device and quality dialog, apart from its widgets:
// which lists show what, and whether the quality lists can be changed.

#include "capture/CaptureTypes.h"

#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace kestovar {

class CameraProvider;

// "Bit Rate" entries by QualityLevel and "Frame Rate" entries by FrameRateChoice.
QStringList BitRateEntries();
QStringList FrameRateEntries();
inline constexpr char kAudioCompressorName[] = "LAME Audio Encoder";
inline constexpr char kAudioFormatName[] = "Stereo 128kbps MP3";

// "MJPEG" when the open camera delivers MJPG, otherwise (also with no camera open)
// "H.264(AVC)".
QString VideoCompressorName(std::optional<SourceKind> openCamera);
// Bit rate and frame rate apply only to the encoder of an Encoded camera; with no
// camera open they can be chosen for the next one.
bool QualityListsEnabled(std::optional<SourceKind> openCamera);
// A stored index as a list row: 0..2 as it is, anything else the first entry.
int QualityListRow(int32_t stored);

// The friendly names of the provider's devices whose path holds the ids of a
// supported camera, in the provider's order.
std::vector<std::string> SupportedVideoDeviceNames(CameraProvider& provider);

} // namespace kestovar
