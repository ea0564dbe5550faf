#include "platform/SimulatedCameraDevice.h"

#include "platform/UsbDeviceIds.h"

#include <linux/usb/video.h>
#include <linux/videodev2.h>

#include <cerrno>

namespace kestovar {
namespace {

constexpr uint8_t kXuUnit = 2;
constexpr uint16_t kXuSize = 11;
constexpr uint8_t kHeaderMark = 0x9A;

bool KnownSelector(uint8_t selector)
{
    return selector == 2 || selector == 4 || selector == 7;
}

} // namespace

SimulatedCameraDevice::SimulatedCameraDevice(SimulatedModel model)
    : model_(model)
{
    auto add = [this](uint32_t id, uint32_t type, int32_t min, int32_t max, int32_t step, int32_t def,
                   uint32_t autoPartner = 0, int32_t manualWhen = 0) {
        Control c;
        c.info = { type, min, max, step, def, 0 };
        c.value = def;
        c.autoPartner = autoPartner;
        c.manualWhen = manualWhen;
        controls_[id] = c;
    };
    const uint32_t kInt = V4L2_CTRL_TYPE_INTEGER, kBool = V4L2_CTRL_TYPE_BOOLEAN, kMenu = V4L2_CTRL_TYPE_MENU;
    add(V4L2_CID_BRIGHTNESS, kInt, -64, 64, 1, 0, V4L2_CID_AUTOBRIGHTNESS, 0);
    add(V4L2_CID_AUTOBRIGHTNESS, kBool, 0, 1, 1, 0);
    add(V4L2_CID_CONTRAST, kInt, 0, 64, 1, 32);
    add(V4L2_CID_HUE, kInt, -40, 40, 1, 0, V4L2_CID_HUE_AUTO, 0);
    add(V4L2_CID_HUE_AUTO, kBool, 0, 1, 1, 0);
    add(V4L2_CID_SATURATION, kInt, 0, 128, 1, 64);
    add(V4L2_CID_WHITE_BALANCE_TEMPERATURE, kInt, 2800, 6500, 10, 4600, V4L2_CID_AUTO_WHITE_BALANCE, 0);
    add(V4L2_CID_AUTO_WHITE_BALANCE, kBool, 0, 1, 1, 1);
    add(V4L2_CID_GAMMA, kInt, 72, 500, 1, 100);
    add(V4L2_CID_BACKLIGHT_COMPENSATION, kInt, 0, 2, 1, 1);
    add(V4L2_CID_GAIN, kInt, 0, 100, 1, 0, V4L2_CID_AUTOGAIN, 0);
    add(V4L2_CID_AUTOGAIN, kBool, 0, 1, 1, 0);
    add(V4L2_CID_SHARPNESS, kInt, 0, 6, 1, 3);
    add(V4L2_CID_EXPOSURE_ABSOLUTE, kInt, 3, 2047, 1, 250, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL);
    add(V4L2_CID_EXPOSURE_AUTO, kMenu, 0, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY);
    add(V4L2_CID_POWER_LINE_FREQUENCY, kMenu, 0, 2, 1, V4L2_CID_POWER_LINE_FREQUENCY_50HZ);
}

std::optional<SimulatedModel> SimulatedCameraDevice::ModelFromName(std::string_view name)
{
    if (name == "fullhd")
        return SimulatedModel::FullHd;
    if (name == "fullhd2")
        return SimulatedModel::FullHd2;
    if (name == "pro")
        return SimulatedModel::Pro;
    return std::nullopt;
}

std::string SimulatedCameraDevice::FriendlyName() const
{
    switch (model_) {
    case SimulatedModel::FullHd:
        return "Kestovar Simulated Full HD";
    case SimulatedModel::FullHd2:
        return "Kestovar Simulated Full HD 2";
    case SimulatedModel::Pro:
        return "Kestovar Simulated Pro";
    }
    return {};
}

std::string SimulatedCameraDevice::VendorId() const
{
    switch (model_) {
    case SimulatedModel::FullHd:
        return "05A3";
    case SimulatedModel::FullHd2:
        return "0C45";
    case SimulatedModel::Pro:
        return "06F8";
    }
    return {};
}

std::string SimulatedCameraDevice::ProductId() const
{
    switch (model_) {
    case SimulatedModel::FullHd:
        return "9422";
    case SimulatedModel::FullHd2:
        return "6366";
    case SimulatedModel::Pro:
        return "4148";
    }
    return {};
}

std::string SimulatedCameraDevice::DevicePath() const
{
    return FormCameraDevicePath(VendorId(), ProductId(), Serial(), Node());
}

std::string SimulatedCameraDevice::InstanceId() const
{
    return FormUsbInstanceId(VendorId(), ProductId(), Serial());
}

std::vector<CameraFormatInfo> SimulatedCameraDevice::Formats() const
{
    const std::vector<FrameInterval> rates { { 1, 30 }, { 1, 25 }, { 1, 20 }, { 1, 15 } };
    if (IsEncoded()) {
        // Like the real Full HD cameras: H.264 from the encoder, MJPG beside it.
        std::vector<CameraFrameSize> sizes { { 1920, 1080, rates }, { 1280, 720, rates },
            { 640, 480, rates } };
        return { { V4L2_PIX_FMT_H264, "H.264", sizes }, { V4L2_PIX_FMT_MJPEG, "Motion-JPEG", sizes } };
    }
    return { { V4L2_PIX_FMT_MJPEG, "Motion-JPEG", { { 640, 480, rates }, { 320, 240, rates } } } };
}

CameraCurrentFormat SimulatedCameraDevice::DefaultFormat() const
{
    if (IsEncoded())
        return { V4L2_PIX_FMT_H264, 1920, 1080, { 1, 30 } };
    return { V4L2_PIX_FMT_MJPEG, 640, 480, { 1, 30 } };
}

int SimulatedCameraDevice::ExtensionUnitQuery(
    uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (!Plugged())
        return ENODEV;
    if (!IsEncoded() || unit != kXuUnit || !KnownSelector(selector))
        return ENOENT;
    std::lock_guard lock(mutex_);
    switch (query) {
    case UVC_GET_LEN:
        if (size != 2)
            return EINVAL;
        data[0] = kXuSize;
        data[1] = 0;
        return 0;
    case UVC_GET_INFO:
        if (size != 1)
            return EINVAL;
        data[0] = 0x03; // supports get and set
        return 0;
    case UVC_SET_CUR: {
        if (size != kXuSize)
            return EINVAL;
        auto pending = pendingHeader_.find(selector);
        if (pending == pendingHeader_.end()) {
            // The first write must be a command header {0x9A, code, 0...}; the
            // firmware stalls the endpoint on anything else.
            if (data[0] != kHeaderMark)
                return EPIPE;
            pendingHeader_[selector] = data[1];
            return 0;
        }
        ExtensionUnitCommand c;
        c.selector = selector;
        c.code = pending->second;
        std::copy(data, data + kXuSize, c.value.begin());
        pendingHeader_.erase(pending);
        log_.push_back(c);
        ApplyCommand(c);
        return 0;
    }
    case UVC_GET_CUR: {
        if (size != kXuSize)
            return EINVAL;
        ExtensionUnitCommand c;
        c.selector = selector;
        c.query = true;
        auto pending = pendingHeader_.find(selector);
        if (pending != pendingHeader_.end()) {
            c.code = pending->second;
            pendingHeader_.erase(pending);
            if (selector == 7 && c.code == 0x02)
                c.value = StatusReply();
        }
        std::copy(c.value.begin(), c.value.end(), data);
        log_.push_back(c);
        return 0;
    }
    case UVC_GET_MIN:
    case UVC_GET_MAX:
    case UVC_GET_DEF:
    case UVC_GET_RES:
        if (size != kXuSize)
            return EINVAL;
        std::fill(data, data + size, 0);
        return 0;
    default:
        return EINVAL;
    }
}

void SimulatedCameraDevice::ApplyCommand(const ExtensionUnitCommand& c)
{
    if (c.selector == 2 && c.code == 0x02) {
        const uint32_t bps = (uint32_t(c.value[0]) << 16) | (uint32_t(c.value[1]) << 8) | c.value[2];
        if (bps > 0)
            bitrateKbps_ = bps / 1000.0;
    } else if (c.selector == 4 && c.code == 0x01) {
        clock_ = c.value;
    } else if (c.selector == 7 && c.code == 0x03) {
        prepareFirst_ = true;
    } else if (c.selector == 2 && c.code == 0x04 && c.value[0] == 0x01) {
        prepared_ = prepareFirst_;
        prepareFirst_ = false;
    }
}

std::array<uint8_t, 11> SimulatedCameraDevice::StatusReply() const
{
    const uint32_t bps = static_cast<uint32_t>(bitrateKbps_ * 1000.0);
    return { uint8_t(prepared_ ? 1 : 0), uint8_t(bps >> 16), uint8_t(bps >> 8), uint8_t(bps), 0, 0, 0, 0, 0,
        0, 0 };
}

std::vector<ExtensionUnitCommand> SimulatedCameraDevice::CommandLog() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

void SimulatedCameraDevice::ClearCommandLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
}

double SimulatedCameraDevice::BitrateKbps() const
{
    std::lock_guard lock(mutex_);
    return bitrateKbps_;
}

bool SimulatedCameraDevice::StreamPrepared() const
{
    std::lock_guard lock(mutex_);
    return prepared_;
}

bool SimulatedCameraDevice::QueryControl(uint32_t id, CameraControlInfo& out) const
{
    std::lock_guard lock(mutex_);
    auto it = controls_.find(id);
    if (it == controls_.end()) {
        errno = EINVAL;
        return false;
    }
    out = it->second.info;
    out.flags = 0;
    if (it->second.autoPartner) {
        auto partner = controls_.find(it->second.autoPartner);
        if (partner != controls_.end() && partner->second.value != it->second.manualWhen)
            out.flags |= V4L2_CTRL_FLAG_INACTIVE;
    }
    return true;
}

bool SimulatedCameraDevice::GetControl(uint32_t id, int32_t& value) const
{
    std::lock_guard lock(mutex_);
    auto it = controls_.find(id);
    if (it == controls_.end()) {
        errno = EINVAL;
        return false;
    }
    value = it->second.value;
    return true;
}

bool SimulatedCameraDevice::SetControl(uint32_t id, int32_t value)
{
    std::lock_guard lock(mutex_);
    auto it = controls_.find(id);
    if (it == controls_.end()) {
        errno = EINVAL;
        return false;
    }
    const CameraControlInfo& info = it->second.info;
    if (value < info.minimum || value > info.maximum
        || (id == V4L2_CID_EXPOSURE_AUTO && value != V4L2_EXPOSURE_MANUAL
            && value != V4L2_EXPOSURE_APERTURE_PRIORITY)) {
        errno = ERANGE;
        return false;
    }
    it->second.value = value;
    return true;
}

PictureAdjust SimulatedCameraDevice::Adjust() const
{
    std::lock_guard lock(mutex_);
    return { controls_.at(V4L2_CID_BRIGHTNESS).value, controls_.at(V4L2_CID_CONTRAST).value,
        controls_.at(V4L2_CID_SATURATION).value };
}

} // namespace kestovar
