// Device paths come from udev (sysfs attributes a USB device reports about itself) and
// from device-change events; a device can report any bytes as its serial number. The
// classification must not crash, must agree with the camera table, and the strings the
// station forms must keep the ids where the table's substring rules find them.

#include "capture/CameraTable.h"
#include "platform/UsbDeviceIds.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace kestovar;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "fuzz_device_ids: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// A sysfs-like folder for ListUsbInstanceIds, made once per process.
const std::filesystem::path& FakeSysfs()
{
    static const std::filesystem::path root = [] {
        auto p = std::filesystem::temp_directory_path() / ("kestovar-fuzz-usb-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p / "1-1");
        return p;
    }();
    return root;
}

void WriteAttr(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string vendor = in.ConsumeRandomLengthString(16);
    const std::string product = in.ConsumeRandomLengthString(16);
    const std::string serial = in.ConsumeRandomLengthString(64);
    const bool useSysfs = in.ConsumeBool();
    const std::string path = in.ConsumeRemainingBytesAsString();

    // Whatever a path holds, classification answers one of the three kinds, and a path
    // the enumeration rule accepts is never refused by the device-change rule.
    const CameraModelKind matched = MatchCameraTable(path);
    const CameraModelKind classified = ClassifyDevicePath(path);
    if (matched != CameraModelKind::NotSupported && classified == CameraModelKind::NotSupported)
        Fail("a table camera is not recognised on plug events", path);
    (void)CameraModelName(classified);
    (void)IsSupportedMicrophoneName(path);

    // The formed device path keeps the ids the table looks for, whatever the serial.
    const std::string formed = FormCameraDevicePath(vendor, product, serial, "/dev/video0");
    if (formed.rfind("usb#VID_", 0) != 0)
        Fail("a formed path lost its prefix", formed);
    for (const auto& row : kCameraTable) {
        const std::string withIds = FormCameraDevicePath(
            std::string(row.vendorId + 4), std::string(row.productId + 4), serial, path.substr(0, 32));
        if (MatchCameraTable(withIds) == CameraModelKind::NotSupported)
            Fail("a supported camera is not recognised", withIds);
    }
    const std::string id = FormUsbInstanceId(vendor, product, serial);
    if (id.rfind("USB\\VID_", 0) != 0)
        Fail("a formed instance id lost its prefix", id);

    // The USB presence list read from sysfs attributes holding anything.
    if (useSysfs) {
        const auto dev = FakeSysfs() / "1-1";
        WriteAttr(dev / "idVendor", vendor);
        WriteAttr(dev / "idProduct", product);
        WriteAttr(dev / "serial", serial);
        const auto ids = ListUsbInstanceIds(FakeSysfs().string());
        if (ids.size() > 1)
            Fail("one device listed more than once");
    }
    return 0;
}
