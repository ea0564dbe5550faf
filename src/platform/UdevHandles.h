#pragma once
// Owning pointers for libudev objects, released with their own unref functions.

#include <libudev.h>

#include <memory>

namespace kestovar::udevptr {

struct UdevUnref {
    void operator()(udev* p) const { udev_unref(p); }
};
struct EnumerateUnref {
    void operator()(udev_enumerate* p) const { udev_enumerate_unref(p); }
};
struct DeviceUnref {
    void operator()(udev_device* p) const { udev_device_unref(p); }
};
struct MonitorUnref {
    void operator()(udev_monitor* p) const { udev_monitor_unref(p); }
};

using Udev = std::unique_ptr<udev, UdevUnref>;
using Enumerate = std::unique_ptr<udev_enumerate, EnumerateUnref>;
using Device = std::unique_ptr<udev_device, DeviceUnref>;
using Monitor = std::unique_ptr<udev_monitor, MonitorUnref>;

} // namespace kestovar::udevptr
