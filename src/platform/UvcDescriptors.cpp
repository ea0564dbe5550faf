#include "platform/UvcDescriptors.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kestovar {
namespace {

// USB and USB Video Class descriptor codes.
constexpr uint8_t kInterfaceType = 0x04; // INTERFACE
constexpr uint8_t kCsInterfaceType = 0x24; // CS_INTERFACE
constexpr uint8_t kVideoClass = 0x0E; // CC_VIDEO
constexpr uint8_t kVideoControlSubclass = 0x01; // SC_VIDEOCONTROL
constexpr uint8_t kExtensionUnitSubtype = 0x06; // VC_EXTENSION_UNIT
// bLength, bDescriptorType, bDescriptorSubtype, bUnitID, guidExtensionCode,
// bNumControls, bNrInPins: the part of an extension unit this reads, and less.
constexpr size_t kExtensionUnitMinLength = 22;
constexpr int kEncoderControlLength = 11;

} // namespace

std::vector<UvcExtensionUnit> ParseExtensionUnits(const std::vector<uint8_t>& d)
{
    std::vector<UvcExtensionUnit> units;
    bool inVideoControl = false;
    for (size_t at = 0; at + 2 <= d.size();) {
        const size_t length = d[at];
        if (length < 2 || at + length > d.size())
            break;
        const uint8_t type = d[at + 1];
        if (type == kInterfaceType && length >= 9) {
            inVideoControl = d[at + 5] == kVideoClass && d[at + 6] == kVideoControlSubclass;
        } else if (inVideoControl && type == kCsInterfaceType && length >= 3
            && d[at + 2] == kExtensionUnitSubtype) {
            if (length < kExtensionUnitMinLength)
                break;
            UvcExtensionUnit unit;
            unit.id = d[at + 3];
            std::copy_n(d.begin() + long(at) + 4, unit.guid.size(), unit.guid.begin());
            units.push_back(unit);
        }
        at += length;
    }
    return units;
}

int ChooseEncoderUnit(const std::vector<UvcExtensionUnit>& units, const XuLengthProbe& probe)
{
    for (const auto& unit : units)
        if (unit.guid == kEncoderXuGuid)
            return unit.id;
    // A camera whose firmware names its encoder differently still answers with the
    // encoder's command length.
    if (probe) {
        for (const auto& unit : units)
            if (probe(unit.id) == kEncoderControlLength)
                return unit.id;
    }
    return -1;
}

bool ReadNodeUsbDescriptors(
    const std::string& node, const std::string& sysRoot, std::vector<uint8_t>& out, std::string* usbDevice)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path name = fs::path(node).filename();
    if (name.empty())
        return false;
    // The node's `device` is the USB interface; its parent folder is the USB device.
    const fs::path interface = fs::canonical(fs::path(sysRoot) / "class" / "video4linux" / name / "device", ec);
    if (ec)
        return false;
    const fs::path device = interface.parent_path();
    std::ifstream in(device / "descriptors", std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (out.empty())
        return false;
    if (usbDevice)
        *usbDevice = device.string();
    return true;
}

} // namespace kestovar
