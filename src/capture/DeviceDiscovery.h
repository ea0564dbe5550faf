#pragma once
// Finding the supported camera and microphone and binding them to a graph; the USB
// presence check. GUI thread (the device lists are read synchronously).

#include "capture/CaptureSource.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestovar {

// The microphones the sound server offers, in its order. The audio code installs the
// lister at start-up; until then there are none. Thread-safe.
using AudioInputLister = std::function<std::vector<AudioInputDevice>()>;
void SetAudioInputLister(AudioInputLister lister);

// Opens the first listed camera whose device path holds both ids of a table row and
// gives its name. False with nothing bound when there is none or none can be opened.
bool FindVideoDevice(
    std::string& friendlyName, std::unique_ptr<CameraBackend>& camera, VideoDeviceInfo* device = nullptr);
// The last microphone whose name holds a supported name.
bool FindAudioDevice(std::string& friendlyName, AudioInputDevice& device);

// Binds the camera, decides the kind (Encoded when it offers H.264, otherwise Mjpeg)
// and makes sure it captures in that format. False when no supported camera can be
// bound or it offers neither format.
bool AddVideoSource(CaptureSource& source);
bool AddAudioSource(CaptureSource& source);

// True when a listed camera's path matches a table row; nothing is opened.
bool IsSupportedCameraPresent();
// True when a USB device whose instance id holds `vendor` and `product` (compared
// upper-case, each at index 1 or later) is present. eventCode 0x8000 asks for the
// devices present now.
bool IsUsbDevicePresent(std::string_view vendor, std::string_view product, uint32_t eventCode);

} // namespace kestovar
