#pragma once
// USB and video4linux plug events from udev. The GUI thread watches Fd() with a
// QSocketNotifier and calls ReadEvents() when it is readable; nothing here blocks.
// Not thread-safe: one thread owns the monitor.

#include "platform/UdevHandles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestovar {

struct DeviceChangeEvent {
    uint32_t code = 0; // kDeviceArrival (0x8000) or kDeviceRemoval (0x8004)
    std::string devicePath; // formed as the device list forms it
};

class UdevMonitor {
public:
    UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // False when udev cannot be reached; Fd() is then -1.
    bool Open();
    int Fd() const;
    // Every event waiting on the socket; add and remove only.
    std::vector<DeviceChangeEvent> ReadEvents();

    // Forms the event of one udev action from the properties a uevent carries
    // (PRODUCT for usb_device, ID_VENDOR_ID/ID_MODEL_ID for video4linux). Empty path
    // when the device names no USB ids. Public so it can be tested without udevd.
    static DeviceChangeEvent FormEvent(const std::string& action, const std::string& subsystem,
        const std::string& product, const std::string& vendorId, const std::string& modelId,
        const std::string& serial, const std::string& sysname, const std::string& devnode);

private:
    // Declared in this order so the monitor is released before its udev context.
    udevptr::Udev udev_;
    udevptr::Monitor monitor_;
};

} // namespace kestovar
