#include "platform/UdevCameraProvider.h"

#include "platform/UdevHandles.h"
#include "platform/UsbDeviceIds.h"
#include "platform/V4l2Camera.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kestovar {
namespace {

// "/dev/video12" -> 12, so the list follows the node numbers as the kernel gave them.
long NodeNumber(const std::string& node)
{
    const auto digits = node.find_first_of("0123456789");
    return digits == std::string::npos ? -1 : std::strtol(node.c_str() + digits, nullptr, 10);
}

// The part of a device path that names the USB camera, without the node.
std::string CameraPrefix(const std::string& devicePath)
{
    const auto last = devicePath.rfind('#');
    return last == std::string::npos ? devicePath : devicePath.substr(0, last);
}

} // namespace

UdevCameraProvider::UdevCameraProvider(std::shared_ptr<V4l2Io> io, std::string sysUsbDevices)
    : io_(std::move(io))
    , sysUsbDevices_(std::move(sysUsbDevices))
{
}

std::vector<VideoDeviceInfo> UdevCameraProvider::ListVideoDevices()
{
    std::vector<VideoDeviceInfo> devices;
    udevptr::Udev u(udev_new());
    if (!u)
        return devices;
    udevptr::Enumerate e(udev_enumerate_new(u.get()));
    if (!e)
        return devices;
    udev_enumerate_add_match_subsystem(e.get(), "video4linux");
    udev_enumerate_scan_devices(e.get());
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get()))
    {
        udevptr::Device dev(udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
        if (!dev)
            continue;
        const char* devnode = udev_device_get_devnode(dev.get());
        if (!devnode)
            continue;
        // The metadata node of a UVC camera is not a capture device; Open() checks.
        V4l2Camera probe(io_, devnode);
        if (!probe.Open())
            continue;
        VideoDeviceInfo info;
        info.node = devnode;
        info.friendlyName = probe.CardName();
        // The parent is owned by the child device: not unref'd here.
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
        if (usb) {
            const char* vendor = udev_device_get_sysattr_value(usb, "idVendor");
            const char* product = udev_device_get_sysattr_value(usb, "idProduct");
            const char* serial = udev_device_get_sysattr_value(usb, "serial");
            const char* busPath = udev_device_get_sysname(usb);
            std::string id = serial && *serial ? serial : (busPath ? busPath : "");
            info.devicePath
                = FormCameraDevicePath(vendor ? vendor : "0", product ? product : "0", id, info.node);
        } else {
            info.devicePath = info.node;
        }
        devices.push_back(std::move(info));
    }
    std::sort(devices.begin(), devices.end(), [](const VideoDeviceInfo& a, const VideoDeviceInfo& b) {
        return NodeNumber(a.node) < NodeNumber(b.node);
    });
    return devices;
}

std::unique_ptr<CameraBackend> UdevCameraProvider::Open(const VideoDeviceInfo& device)
{
    auto camera = std::make_unique<V4l2Camera>(io_, device.node);
    if (!camera->Open())
        return nullptr;
    if (camera->Offers(V4L2_PIX_FMT_H264) || device.devicePath.rfind("usb#", 0) != 0)
        return camera;
    const std::string prefix = CameraPrefix(device.devicePath);
    for (const auto& sibling : ListVideoDevices()) {
        if (sibling.node == device.node || CameraPrefix(sibling.devicePath) != prefix)
            continue;
        auto encoded = std::make_unique<V4l2Camera>(io_, sibling.node);
        if (encoded->Open() && encoded->Offers(V4L2_PIX_FMT_H264))
            return encoded;
    }
    return camera;
}

std::vector<std::string> UdevCameraProvider::UsbInstanceIds(bool)
{
    // Linux keeps no record of devices that are not plugged in, so both lists are the
    // present devices.
    return ListUsbInstanceIds(sysUsbDevices_);
}

} // namespace kestovar
