#pragma once
// The device-binding part of every graph: which camera and microphone it uses and
// what the camera delivers. Owned by one graph on the GUI thread; the camera is used
// by that graph's capture thread only while the graph runs.

#include "capture/CaptureTypes.h"
#include "platform/CameraBackend.h"
#include "platform/CameraProvider.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kestovar {

// A microphone as the audio device list names it.
struct AudioInputDevice {
    std::string friendlyName; // the description the operator sees
    std::string sourceName; // the sound server's name for it (a PulseAudio source)
};

struct CaptureSource {
    SourceKind kind = SourceKind::Encoded;
    std::unique_ptr<CameraBackend> camera; // the video source; null until bound
    VideoDeviceInfo cameraDevice;
    std::optional<AudioInputDevice> microphone; // the audio source; empty until bound
    // The format the camera captures in ("the capture pin"): V4L2_PIX_FMT_H264 for
    // an Encoded source, V4L2_PIX_FMT_MJPEG for a Mjpeg one; 0 until bound.
    uint32_t captureFormat = 0;

    // Frees the camera and forgets the microphone; safe to call twice.
    void Release()
    {
        camera.reset();
        microphone.reset();
        captureFormat = 0;
    }
};

} // namespace kestovar
