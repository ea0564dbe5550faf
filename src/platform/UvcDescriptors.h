#pragma once
// Where a UVC camera keeps its encoder's extension unit. The unit id is the camera's
// own choice, written in the class-specific descriptors of its video control
// interface (VC_EXTENSION_UNIT, each with its unit id and GUID); the kernel keeps a
// copy of every descriptor the device sent in the USB device's sysfs `descriptors`.
//
// Plain functions, no state; any thread.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestovar {

using UvcGuid = std::array<uint8_t, 16>;

struct UvcExtensionUnit {
    uint8_t id = 0;
    UvcGuid guid {};
};

// The encoder's unit: GUID {DDDF7394-973E-4727-BED9-04ED6426DC67} as it stands in a
// descriptor (its first three fields little-endian, as USB sends them).
inline constexpr UvcGuid kEncoderXuGuid = { 0x94, 0x73, 0xDF, 0xDD, 0x3E, 0x97, 0x27, 0x47, 0xBE, 0xD9,
    0x04, 0xED, 0x64, 0x26, 0xDC, 0x67 };

// The extension units of the video control interfaces in raw USB descriptors (the
// device descriptor, then each configuration with its interfaces, as in sysfs). A
// malformed descriptor ends the walk; what came before it is kept.
std::vector<UvcExtensionUnit> ParseExtensionUnits(const std::vector<uint8_t>& descriptors);

// Asks the camera how long control 2 of a unit is (UVC_GET_LEN); -1 when it does not answer.
using XuLengthProbe = std::function<int(uint8_t unit)>;

// The encoder's unit id among `units`: the unit with the encoder's GUID, else the
// first whose control 2 is 11 bytes long (the encoder's command length), else -1.
int ChooseEncoderUnit(const std::vector<UvcExtensionUnit>& units, const XuLengthProbe& probe);

// The raw descriptors of the USB device a video node belongs to:
// <sysRoot>/class/video4linux/<videoN>/device/../descriptors. `usbDevice` (may be
// null) receives that device's resolved sysfs folder. False when they cannot be read.
bool ReadNodeUsbDescriptors(
    const std::string& node, const std::string& sysRoot, std::vector<uint8_t>& out, std::string* usbDevice);

} // namespace kestovar
