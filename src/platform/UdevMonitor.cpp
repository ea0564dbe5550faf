#include "platform/UdevMonitor.h"

#include <cerrno>
#include <cstring>

namespace kestovar {
namespace {

std::string Text(const char* s)
{
    return s ? s : "";
}

bool Fail(std::string* error, const char* what)
{
    const int err = errno;
    if (error)
        *error = err != 0 ? std::strerror(err) : std::string(what);
    return false;
}

} // namespace

UdevMonitor::UdevMonitor(std::string source)
    : source_(std::move(source))
{
}

bool UdevMonitor::Open(std::string* error)
{
    if (monitor_)
        return true;
    errno = 0;
    udev_.reset(udev_new());
    if (!udev_)
        return Fail(error, "udev cannot be reached");
    errno = 0;
    monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), source_.c_str()));
    if (!monitor_)
        return Fail(error, "no udev event source");
    udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "usb", "usb_device");
    udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "video4linux", nullptr);
    const int rc = udev_monitor_enable_receiving(monitor_.get());
    if (rc < 0) {
        errno = -rc;
        monitor_.reset();
        return Fail(error, "udev events cannot be received");
    }
    return true;
}

int UdevMonitor::Fd() const
{
    return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1;
}

std::vector<UdevEvent> UdevMonitor::ReadEvents()
{
    std::vector<UdevEvent> events;
    if (!monitor_)
        return events;
    // The monitor socket is non-blocking: receive_device answers null when drained.
    while (udevptr::Device dev { udev_monitor_receive_device(monitor_.get()) }) {
        UdevEvent e;
        e.action = Text(udev_device_get_action(dev.get()));
        e.subsystem = Text(udev_device_get_subsystem(dev.get()));
        e.devtype = Text(udev_device_get_devtype(dev.get()));
        e.devpath = Text(udev_device_get_devpath(dev.get()));
        e.devnode = Text(udev_device_get_devnode(dev.get()));
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(dev.get()))
        {
            e.properties[Text(udev_list_entry_get_name(entry))] = Text(udev_list_entry_get_value(entry));
        }
        events.push_back(std::move(e));
    }
    return events;
}

} // namespace kestovar
