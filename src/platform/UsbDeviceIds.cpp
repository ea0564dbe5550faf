#include "platform/UsbDeviceIds.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace kestovar {
namespace {

std::string Hex4(const std::string& text)
{
    std::string s;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    while (s.size() < 4)
        s.insert(s.begin(), '0');
    return s;
}

std::string ReadAttribute(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

} // namespace

std::string FormCameraDevicePath(const std::string& vendor, const std::string& product,
    const std::string& serialOrBusPath, const std::string& node)
{
    return "usb#VID_" + Hex4(vendor) + "&PID_" + Hex4(product) + "#" + serialOrBusPath + "#" + node;
}

std::string FormUsbInstanceId(
    const std::string& vendor, const std::string& product, const std::string& serialOrBusPath)
{
    return "USB\\VID_" + Hex4(vendor) + "&PID_" + Hex4(product) + "\\" + serialOrBusPath;
}

std::vector<std::string> ListUsbInstanceIds(const std::string& sysUsbDevices)
{
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sysUsbDevices, ec)) {
        const fs::path dir = entry.path();
        const std::string vendor = ReadAttribute(dir / "idVendor");
        const std::string product = ReadAttribute(dir / "idProduct");
        if (vendor.empty() || product.empty())
            continue; // an interface (1-1:1.0), not a device
        std::string serial = ReadAttribute(dir / "serial");
        if (serial.empty())
            serial = dir.filename().string();
        found.emplace_back(dir.filename().string(), FormUsbInstanceId(vendor, product, serial));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> ids;
    for (auto& f : found)
        ids.push_back(std::move(f.second));
    return ids;
}

} // namespace kestovar
