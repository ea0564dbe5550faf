#pragma once
// udev's events for a camera and for other USB devices, as a monitor on the "udev"
// source receives them (after udev's rules ran), in the kernel's order: the USB device,
// its interfaces, the nodes and sound card the drivers make, then the drivers' bind
// events; on a pull the same in reverse, the USB device last. Replayed into
// CameraHotplug::Feed without a udev daemon.

#include "platform/UdevMonitor.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kestovar::test {

struct ReplayedUsbDevice {
    std::string port = "1-4"; // where it is plugged: /devices/.../usb1/<port>
    std::string vendor = "05a3", product = "9422", serial = "SN0001";
    int busnum = 1, devnum = 7;
    int firstVideo = 0; // /dev/video<first> picture, <first+1> metadata
    int soundCard = 1;
};

inline std::string UsbRoot()
{
    return "/devices/pci0000:00/0000:00:14.0/usb1/";
}

inline UdevEvent Event(const std::string& action, const std::string& subsystem, const std::string& devtype,
    const std::string& devpath, const std::string& devnode, std::map<std::string, std::string> properties = {})
{
    return UdevEvent { action, subsystem, devtype, devpath, devnode, std::move(properties) };
}

// A UVC camera with a microphone: interfaces 0 video control, 1 video streaming,
// 2 audio control, 3 audio streaming.
inline std::vector<UdevEvent> CameraPlugged(const ReplayedUsbDevice& d)
{
    const std::string dev = UsbRoot() + d.port;
    const std::string product = (d.vendor[0] == '0' ? d.vendor.substr(1) : d.vendor) + "/"
        + (d.product[0] == '0' ? d.product.substr(1) : d.product) + "/100";
    char busdev[32];
    std::snprintf(busdev, sizeof busdev, "/dev/bus/usb/%03d/%03d", d.busnum, d.devnum);
    const std::map<std::string, std::string> usbIds { { "PRODUCT", product }, { "ID_VENDOR_ID", d.vendor },
        { "ID_MODEL_ID", d.product }, { "ID_SERIAL_SHORT", d.serial } };
    auto iface = [&](int n, const char* cls) {
        return Event("add", "usb", "usb_interface", dev + "/" + d.port + ":1." + std::to_string(n), "",
            { { "PRODUCT", product }, { "INTERFACE", cls } });
    };
    auto video = [&](int n, const char* caps) {
        auto props = usbIds;
        props.erase("PRODUCT");
        props["ID_V4L_CAPABILITIES"] = caps;
        props["ID_V4L_VERSION"] = "2";
        return Event("add", "video4linux", "", dev + "/" + d.port + ":1.0/video4linux/video" + std::to_string(n),
            "/dev/video" + std::to_string(n), props);
    };
    const std::string card = dev + "/" + d.port + ":1.2/sound/card" + std::to_string(d.soundCard);
    const std::string c = std::to_string(d.soundCard);
    std::vector<UdevEvent> events {
        Event("add", "usb", "usb_device", dev, busdev, usbIds),
        iface(0, "14/1/0"),
        iface(1, "14/2/0"),
        iface(2, "1/1/0"),
        iface(3, "1/2/0"),
        Event("add", "media", "", dev + "/" + d.port + ":1.0/media0", "/dev/media0"),
        video(d.firstVideo, ":capture:"),
        video(d.firstVideo + 1, ":"),
        Event("bind", "usb", "usb_interface", dev + "/" + d.port + ":1.0", "", { { "DRIVER", "uvcvideo" } }),
        Event("bind", "usb", "usb_interface", dev + "/" + d.port + ":1.1", "", { { "DRIVER", "uvcvideo" } }),
        Event("add", "sound", "", card, "", { { "ID_VENDOR_ID", d.vendor }, { "ID_MODEL_ID", d.product } }),
        Event("add", "sound", "", card + "/controlC" + c, "/dev/snd/controlC" + c),
        Event("add", "sound", "", card + "/pcmC" + c + "D0c", "/dev/snd/pcmC" + c + "D0c"),
        Event("bind", "usb", "usb_interface", dev + "/" + d.port + ":1.2", "", { { "DRIVER", "snd-usb-audio" } }),
        Event("bind", "usb", "usb_interface", dev + "/" + d.port + ":1.3", "", { { "DRIVER", "snd-usb-audio" } }),
        Event("bind", "usb", "usb_device", dev, busdev, usbIds),
    };
    return events;
}

// A device pulled: its plug's events in reverse order as "remove" (binds as "unbind"),
// each carrying the properties udev kept for the device.
inline std::vector<UdevEvent> Pulled(const std::vector<UdevEvent>& plugged)
{
    std::vector<UdevEvent> out;
    for (auto it = plugged.rbegin(); it != plugged.rend(); ++it) {
        UdevEvent e = *it;
        e.action = e.action == "bind" ? "unbind" : "remove";
        out.push_back(std::move(e));
    }
    return out;
}

inline std::vector<UdevEvent> CameraPulled(const ReplayedUsbDevice& d)
{
    return Pulled(CameraPlugged(d));
}

// A USB memory stick: a mass-storage interface and a disk, no picture node.
inline std::vector<UdevEvent> StickPlugged(const std::string& port)
{
    const std::string dev = UsbRoot() + port;
    const std::map<std::string, std::string> ids { { "PRODUCT", "781/5567/100" }, { "ID_VENDOR_ID", "0781" },
        { "ID_MODEL_ID", "5567" }, { "ID_SERIAL_SHORT", "4C530001" } };
    return {
        Event("add", "usb", "usb_device", dev, "/dev/bus/usb/001/009", ids),
        Event("add", "usb", "usb_interface", dev + "/" + port + ":1.0", "", { { "INTERFACE", "8/6/80" } }),
        Event("add", "scsi", "scsi_host", dev + "/" + port + ":1.0/host2", ""),
        Event("bind", "usb", "usb_interface", dev + "/" + port + ":1.0", "", { { "DRIVER", "usb-storage" } }),
        Event("bind", "usb", "usb_device", dev, "/dev/bus/usb/001/009", ids),
        Event("add", "block", "disk", dev + "/" + port + ":1.0/host2/target2:0:0/2:0:0:0/block/sda", "/dev/sda"),
        Event("add", "block", "partition", dev + "/" + port + ":1.0/host2/target2:0:0/2:0:0:0/block/sda/sda1",
            "/dev/sda1"),
    };
}

inline std::vector<UdevEvent> StickPulled(const std::string& port)
{
    return Pulled(StickPlugged(port));
}

} // namespace kestovar::test
