#pragma once
// USB descriptors of UVC cameras as the kernel keeps them in sysfs (`descriptors`:
// the device descriptor, then the configuration with every interface), built byte by
// byte after the USB Video Class 1.1 layouts: interface association, the video control
// interface with its header, camera terminal, processing unit, extension units and
// output terminal, the video streaming interface with an MJPG format (whose subtype 6
// is no extension unit), and an audio control interface (whose subtype 6 is a feature
// unit). A sysfs folder can be laid out around them for a video node.

#include "platform/UvcDescriptors.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kestovar::test {

// A GUID another vendor's extension unit carries (a focus or LED unit, say).
inline constexpr UvcGuid kOtherXuGuid
    = { 0x82, 0x06, 0x61, 0x63, 0x70, 0x50, 0xAB, 0x49, 0xB8, 0xCC, 0xB3, 0x85, 0x5E, 0x8D, 0x22, 0x1D };
// The encoder of a firmware that names it differently.
inline constexpr UvcGuid kRenamedEncoderGuid
    = { 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10 };

struct FixtureXu {
    uint8_t id;
    UvcGuid guid;
};

inline std::vector<uint8_t> CameraDescriptors(const std::vector<FixtureXu>& units)
{
    std::vector<uint8_t> d = { 18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0xA3, 0x05, 0x22, 0x94, 0x00, 0x01,
        0x01, 0x02, 0x03, 0x01 };
    const size_t config = d.size();
    d.insert(d.end(), { 9, 0x02, 0, 0, 4, 1, 0, 0x80, 0xFA }); // total length patched below
    d.insert(d.end(), { 8, 0x0B, 0, 2, 0x0E, 0x03, 0x00, 0x02 }); // IAD: video, interfaces 0-1
    d.insert(d.end(), { 9, 0x04, 0, 0, 1, 0x0E, 0x01, 0x00, 0x02 }); // VC interface
    d.insert(d.end(), { 13, 0x24, 0x01, 0x10, 0x01, 0, 0, 0x80, 0x8D, 0x5B, 0x00, 1, 1 }); // VC header
    d.insert(d.end(), { 18, 0x24, 0x02, 1, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0x0E, 0x00, 0x00 }); // camera
    d.insert(d.end(), { 11, 0x24, 0x05, 3, 1, 0, 0, 2, 0x7F, 0x15, 0 }); // processing unit
    uint8_t source = 3;
    for (const FixtureXu& xu : units) {
        // bLength 27: header, GUID, 8 controls, one input pin, 2 bytes of controls, string.
        std::vector<uint8_t> e = { 27, 0x24, 0x06, xu.id };
        e.insert(e.end(), xu.guid.begin(), xu.guid.end());
        e.insert(e.end(), { 8, 1, source, 2, 0xFF, 0x00, 0 });
        d.insert(d.end(), e.begin(), e.end());
        source = xu.id;
    }
    d.insert(d.end(), { 9, 0x24, 0x03, 4, 0x01, 0x01, 0, source, 0 }); // output terminal
    d.insert(d.end(), { 7, 0x05, 0x83, 0x03, 0x10, 0x00, 0x06 }); // interrupt endpoint
    d.insert(d.end(), { 9, 0x04, 1, 0, 0, 0x0E, 0x02, 0x00, 0 }); // VS interface
    d.insert(d.end(), { 14, 0x24, 0x01, 1, 0, 0, 0x81, 0, 4, 0, 0, 0, 1, 0 }); // VS input header
    d.insert(d.end(), { 11, 0x24, 0x06, 1, 1, 0, 1, 0, 0, 0, 0 }); // VS_FORMAT_MJPEG (subtype 6)
    d.insert(d.end(), { 9, 0x04, 2, 0, 0, 0x01, 0x01, 0x00, 0 }); // audio control interface
    d.insert(d.end(), { 9, 0x24, 0x01, 0x00, 0x01, 0x26, 0x00, 1, 3 }); // AC header
    d.insert(d.end(), { 9, 0x24, 0x06, 5, 1, 1, 0x03, 0x00, 0 }); // AC feature unit (subtype 6)
    d.insert(d.end(), { 9, 0x04, 3, 0, 0, 0x01, 0x02, 0x00, 0 }); // audio streaming interface
    const size_t total = d.size() - config;
    d[config + 2] = uint8_t(total & 0xFF);
    d[config + 3] = uint8_t(total >> 8);
    return d;
}

// <root>/class/video4linux/<video>/device -> the camera's interface 0 under its USB
// device, which holds `descriptors`, busnum and devnum.
inline void LayOutSysfs(const std::filesystem::path& root, const std::string& video,
    const std::vector<uint8_t>& descriptors, int devnum = 7)
{
    namespace fs = std::filesystem;
    const fs::path usb = root / "devices/pci0000:00/0000:00:14.0/usb1/1-4";
    fs::create_directories(usb / "1-4:1.0");
    fs::create_directories(root / "class/video4linux" / video);
    std::ofstream(usb / "descriptors", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptors.data()), std::streamsize(descriptors.size()));
    std::ofstream(usb / "busnum") << "1\n";
    std::ofstream(usb / "devnum") << devnum << "\n";
    const fs::path link = root / "class/video4linux" / video / "device";
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_directory_symlink(usb / "1-4:1.0", link);
}

} // namespace kestovar::test
