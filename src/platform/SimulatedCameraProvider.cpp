#include "platform/SimulatedCameraProvider.h"

#include "platform/SimulatedCamera.h"

namespace kestovar {

SimulatedCameraProvider::SimulatedCameraProvider(SimulatedModel model)
    : device_(std::make_shared<SimulatedCameraDevice>(model))
{
}

std::vector<VideoDeviceInfo> SimulatedCameraProvider::ListVideoDevices()
{
    if (!device_->Plugged())
        return {};
    return { { device_->FriendlyName(), device_->DevicePath(), device_->Node() } };
}

std::unique_ptr<CameraBackend> SimulatedCameraProvider::Open(const VideoDeviceInfo& device)
{
    if (!device_->Plugged() || device.devicePath != device_->DevicePath())
        return nullptr;
    return std::make_unique<SimulatedCamera>(device_);
}

std::vector<std::string> SimulatedCameraProvider::UsbInstanceIds(bool presentOnly)
{
    if (presentOnly && !device_->Plugged())
        return {};
    return { device_->InstanceId() };
}

void SimulatedCameraProvider::SetDeviceChangeCallback(DeviceChangeCallback callback)
{
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
}

void SimulatedCameraProvider::Pull()
{
    Change(false);
}
void SimulatedCameraProvider::Plug()
{
    Change(true);
}

void SimulatedCameraProvider::Change(bool plugged)
{
    DeviceChangeCallback callback;
    {
        std::lock_guard lock(mutex_);
        if (device_->Plugged() == plugged)
            return;
        device_->SetPlugged(plugged);
        callback = callback_;
    }
    if (callback)
        callback(plugged ? kDeviceArrival : kDeviceRemoval, device_->DevicePath());
}

} // namespace kestovar
