#pragma once
// The strings the station uses to name USB cameras: the device path of a video node
// and the instance id of a USB device. Both keep the "VID_xxxx&PID_xxxx" form, so
// every upper-cased substring rule of the camera table works on them unchanged.

#include <string>
#include <vector>

namespace kestovar {

// usb#VID_05A3&PID_9422#<serial or bus path>#/dev/videoN. vendor and product are the
// sysfs idVendor/idProduct texts (hex, any case).
std::string FormCameraDevicePath(const std::string& vendor, const std::string& product,
    const std::string& serialOrBusPath, const std::string& node);

// USB\VID_05A3&PID_9422\<serial or bus path>
std::string FormUsbInstanceId(
    const std::string& vendor, const std::string& product, const std::string& serialOrBusPath);

// Instance ids of the USB devices present under a sysfs folder laid out like
// /sys/bus/usb/devices (one entry per device with idVendor and idProduct files;
// interface entries are skipped). Sorted by entry name.
std::vector<std::string> ListUsbInstanceIds(const std::string& sysUsbDevices = "/sys/bus/usb/devices");

} // namespace kestovar
