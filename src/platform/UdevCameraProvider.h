#pragma once
// The real cameras: video4linux capture nodes found through udev, named by their
// V4L2 card name and by a device path formed from their USB parent.

#include "platform/CameraProvider.h"
#include "platform/V4l2Io.h"

namespace kestovar {

class UdevCameraProvider final : public CameraProvider {
public:
    explicit UdevCameraProvider(
        std::shared_ptr<V4l2Io> io = SystemV4l2Io(), std::string sysUsbDevices = "/sys/bus/usb/devices");

    std::vector<VideoDeviceInfo> ListVideoDevices() override;
    // Opens the device; when another capture node of the same USB camera offers H.264
    // (some UVC cameras put their encoder on a second node) that node is opened instead.
    std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo& device) override;
    std::vector<std::string> UsbInstanceIds(bool presentOnly) override;

private:
    std::shared_ptr<V4l2Io> io_;
    std::string sysUsbDevices_;
};

} // namespace kestovar
