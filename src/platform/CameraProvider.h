#pragma once
// Where cameras come from: the udev/V4L2 device list, or a simulated camera. The
// capture engine asks the current provider; tests install their own.

#include "platform/CameraBackend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestovar {

class SimulatedCameraProvider;

// A video capture device as the device list names it.
struct VideoDeviceInfo {
    std::string friendlyName; // the V4L2 card name
    std::string devicePath; // usb#VID_xxxx&PID_xxxx#<serial or bus path>#/dev/videoN
    std::string node; // /dev/videoN
};

// Device-change event codes, as the station's hot-plug handling knows them.
inline constexpr uint32_t kDeviceArrival = 0x8000;
inline constexpr uint32_t kDeviceRemoval = 0x8004;

class CameraProvider {
public:
    virtual ~CameraProvider() = default;

    // Capture devices in enumeration order (metadata nodes are left out).
    virtual std::vector<VideoDeviceInfo> ListVideoDevices() = 0;
    // Opens a listed device; null when it cannot be opened.
    virtual std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo& device) = 0;
    // USB device instance ids, "USB\VID_xxxx&PID_xxxx\<serial>", upper-case or not as
    // the bus reports them. presentOnly=false may add devices known but not plugged in.
    virtual std::vector<std::string> UsbInstanceIds(bool presentOnly) = 0;
};

// The provider in force: a simulated camera when one was selected (or named by
// $KESTOVAR_SIMULATED_CAMERA), else the udev/V4L2 provider. Thread-safe.
std::shared_ptr<CameraProvider> CurrentCameraProvider();
// Replaces the provider (tests); null goes back to the default choice.
void SetCameraProvider(std::shared_ptr<CameraProvider> provider);
// Selects a simulated camera by model name ("fullhd", "fullhd2", "pro"), as the
// --simulate-camera option does. False for an unknown name (nothing changes).
bool SelectSimulatedCamera(std::string_view model);
// The simulated camera in force, or null when the real devices are used. Its Pull()
// and Plug() simulate unplugging and plugging the camera.
std::shared_ptr<SimulatedCameraProvider> ActiveSimulatedCamera();

} // namespace kestovar
