#pragma once
// Applying the resolution and frame-rate choices to a bound camera, and the flips
// that stand for the renderer's mixer rectangle of a Mjpeg source. Shared by the
// preview and recording graphs; GUI thread, stream stopped.

#include "capture/CaptureSource.h"
#include "capture/CaptureTypes.h"

#include <memory>

namespace kestovar {

class CCaptureBufferCallback;
class VideoSink;

// The frame grabber of a freshly bound source: drawing into `sink`, told the camera's
// current frame size (when the camera can say it).
std::unique_ptr<CCaptureBufferCallback> MakeGrabber(CaptureSource& source, VideoSink* sink);

// Encoded: when the camera offers H.264 at the choice's width, sets that size, tells
// the grabber (may be null) and records the choice in appliedIndex; when nothing
// matched, appliedIndex becomes 0. Mjpeg: when the camera offers 640x480 MJPG it keeps
// (sets again) its current MJPG format; the choice is ignored. False only when the
// camera is missing or refuses to keep its own format.
bool ApplyResolution(
    CaptureSource& source, ResolutionChoice choice, int& appliedIndex, CCaptureBufferCallback* grabber);

// 1 = 25, 2 = 20, anything else 30 frames per second.
int FramesPerSecond(FrameRateChoice choice);
bool ApplyFrameRate(CaptureSource& source, FrameRateChoice choice);

// The normalised output rectangle the design's mixer used for a rotation code.
struct MixerRect {
    float left, top, right, bottom;
};
MixerRect MixerFlipRect(RotationMode mode);
// The same flips as a RotationMode for the frame grabber: 2 (both flips), 4
// (mirrored), 6 (upside down); every other code shows the picture unchanged (0).
RotationMode MixerFlipRotation(RotationMode mode);

} // namespace kestovar
