#pragma once
// USB and video4linux plug events from udev. The GUI thread watches Fd() with a
// QSocketNotifier and calls ReadEvents() when it is readable; nothing here blocks.
// The events are handed over as udev sent them; CameraHotplug makes camera arrivals
// and removals of them. Not thread-safe: one thread owns the monitor.

#include "platform/UdevHandles.h"

#include <map>
#include <string>
#include <vector>

namespace kestovar {

// One udev event: what happened, to which device, with the properties udev gave it.
struct UdevEvent {
    std::string action; // add, remove, bind, unbind, change, move
    std::string subsystem; // usb, video4linux, sound, ...
    std::string devtype; // usb_device, usb_interface; empty for most others
    std::string devpath; // DEVPATH: /devices/pci0000:00/.../usb1/1-4[/1-4:1.0/video4linux/video0]
    std::string devnode; // DEVNAME: /dev/video0, /dev/bus/usb/001/007; empty without a node
    // PRODUCT, ID_VENDOR_ID, ID_MODEL_ID, ID_SERIAL_SHORT, ID_V4L_CAPABILITIES, ...
    std::map<std::string, std::string> properties;

    std::string Property(const std::string& name) const
    {
        const auto it = properties.find(name);
        return it == properties.end() ? std::string() : it->second;
    }
};

class UdevMonitor {
public:
    // `source` is the netlink group: "udev" (events after udev's rules ran).
    explicit UdevMonitor(std::string source = "udev");
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // False when udev cannot be reached; *error (may be null) says why. Fd() is then -1.
    bool Open(std::string* error = nullptr);
    int Fd() const;
    // Every event waiting on the socket, in order.
    std::vector<UdevEvent> ReadEvents();

private:
    std::string source_;
    // Declared in this order so the monitor is released before its udev context.
    udevptr::Udev udev_;
    udevptr::Monitor monitor_;
};

} // namespace kestovar
