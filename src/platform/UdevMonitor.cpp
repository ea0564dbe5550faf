#include "platform/UdevMonitor.h"

#include "platform/CameraProvider.h"
#include "platform/UsbDeviceIds.h"

#include <sstream>

namespace kestovar {
namespace {

std::string Property(udev_device* dev, const char* name)
{
    const char* v = udev_device_get_property_value(dev, name);
    return v ? v : "";
}

} // namespace

UdevMonitor::UdevMonitor() = default;

bool UdevMonitor::Open()
{
    if (monitor_)
        return true;
    udev_.reset(udev_new());
    if (!udev_)
        return false;
    monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
    if (!monitor_)
        return false;
    udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "usb", "usb_device");
    udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "video4linux", nullptr);
    if (udev_monitor_enable_receiving(monitor_.get()) < 0) {
        monitor_.reset();
        return false;
    }
    return true;
}

int UdevMonitor::Fd() const
{
    return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1;
}

std::vector<DeviceChangeEvent> UdevMonitor::ReadEvents()
{
    std::vector<DeviceChangeEvent> events;
    if (!monitor_)
        return events;
    // The monitor socket is non-blocking: receive_device answers null when drained.
    while (udevptr::Device dev { udev_monitor_receive_device(monitor_.get()) }) {
        const char* action = udev_device_get_action(dev.get());
        const char* subsystem = udev_device_get_subsystem(dev.get());
        const char* sysname = udev_device_get_sysname(dev.get());
        const char* devnode = udev_device_get_devnode(dev.get());
        DeviceChangeEvent e
            = FormEvent(action ? action : "", subsystem ? subsystem : "", Property(dev.get(), "PRODUCT"),
                Property(dev.get(), "ID_VENDOR_ID"), Property(dev.get(), "ID_MODEL_ID"),
                Property(dev.get(), "ID_SERIAL_SHORT"), sysname ? sysname : "", devnode ? devnode : "");
        if (e.code != 0 && !e.devicePath.empty())
            events.push_back(std::move(e));
    }
    return events;
}

DeviceChangeEvent UdevMonitor::FormEvent(const std::string& action, const std::string& subsystem,
    const std::string& product, const std::string& vendorId, const std::string& modelId,
    const std::string& serial, const std::string& sysname, const std::string& devnode)
{
    DeviceChangeEvent e;
    if (action == "add")
        e.code = kDeviceArrival;
    else if (action == "remove")
        e.code = kDeviceRemoval;
    else
        return {};
    std::string vendor = vendorId;
    std::string model = modelId;
    if (subsystem == "usb" && !product.empty()) {
        // PRODUCT is "vendor/product/bcdDevice" in hex without leading zeros.
        std::istringstream in(product);
        std::getline(in, vendor, '/');
        std::getline(in, model, '/');
    }
    if (vendor.empty() || model.empty())
        return e;
    const std::string id = !serial.empty() ? serial : sysname;
    e.devicePath = FormCameraDevicePath(vendor, model, id, devnode.empty() ? sysname : devnode);
    return e;
}

} // namespace kestovar
