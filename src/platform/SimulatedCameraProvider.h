#pragma once
// The device list when a simulated camera is in use: the one simulated camera while
// it is plugged in, nothing after Pull(). Pull() and Plug() report the change through
// the device-change callback exactly as a USB event would (arrival 0x8000, removal
// 0x8004, with the camera's device path). Thread-safe; the callback runs on the
// thread that called Pull() or Plug() and must not call them back.

#include "platform/CameraProvider.h"
#include "platform/SimulatedCameraDevice.h"

#include <functional>
#include <mutex>

namespace kestovar {

class SimulatedCameraProvider final : public CameraProvider {
public:
    using DeviceChangeCallback = std::function<void(uint32_t code, const std::string& devicePath)>;

    explicit SimulatedCameraProvider(SimulatedModel model);

    const std::shared_ptr<SimulatedCameraDevice>& Device() const { return device_; }

    std::vector<VideoDeviceInfo> ListVideoDevices() override;
    std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo& device) override;
    std::vector<std::string> UsbInstanceIds(bool presentOnly) override;

    void SetDeviceChangeCallback(DeviceChangeCallback callback);
    // Each reports one event when the state changes; pulling a pulled camera does nothing.
    void Pull();
    void Plug();

private:
    void Change(bool plugged);

    const std::shared_ptr<SimulatedCameraDevice> device_;
    std::mutex mutex_;
    DeviceChangeCallback callback_;
};

} // namespace kestovar
