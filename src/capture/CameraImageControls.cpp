#include "capture/CameraImageControls.h"

#include "capture/PreviewGraph.h"
#include "capture/RecordGraph.h"

#include <linux/videodev2.h>

namespace kestovar {

namespace {

// Row order: brightness, contrast, hue, saturation, white balance, gamma, backlight
// compensation, gain, colour enable (none), sharpness, exposure.
constexpr std::array<CameraRowControls, kCameraRowCount> kRows { {
    { V4L2_CID_BRIGHTNESS, V4L2_CID_AUTOBRIGHTNESS },
    { V4L2_CID_CONTRAST, 0 },
    { V4L2_CID_HUE, V4L2_CID_HUE_AUTO },
    { V4L2_CID_SATURATION, 0 },
    { V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE },
    { V4L2_CID_GAMMA, 0 },
    { V4L2_CID_BACKLIGHT_COMPENSATION, 0 },
    { V4L2_CID_GAIN, V4L2_CID_AUTOGAIN },
    { 0, 0 },
    { V4L2_CID_SHARPNESS, 0 },
    { V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO },
} };

} // namespace

std::optional<CameraRowControls> CameraRowV4l2Controls(int row)
{
    if (row < 0 || row >= kCameraRowCount || kRows[size_t(row)].value == 0)
        return std::nullopt;
    return kRows[size_t(row)];
}

bool CameraImageControls::AutoIsOn(uint32_t autoId, bool& on) const
{
    int32_t value = 0;
    if (!camera_->GetControl(autoId, value))
        return false;
    // The exposure switch is a menu (manual, automatic, shutter or aperture
    // priority); the other switches are booleans.
    on = autoId == V4L2_CID_EXPOSURE_AUTO ? value != V4L2_EXPOSURE_MANUAL : value != 0;
    return true;
}

bool CameraImageControls::SwitchAuto(uint32_t autoId, bool on) const
{
    if (autoId != V4L2_CID_EXPOSURE_AUTO)
        return camera_->SetControl(autoId, on ? 1 : 0);
    if (!on)
        return camera_->SetControl(autoId, V4L2_EXPOSURE_MANUAL);
    // Most UVC cameras offer only aperture priority as their automatic exposure;
    // a few offer the fully automatic mode alone.
    return camera_->SetControl(autoId, V4L2_EXPOSURE_APERTURE_PRIORITY)
        || camera_->SetControl(autoId, V4L2_EXPOSURE_AUTO);
}

bool CameraImageControls::Read(const CameraRowControls& ids, bool currentMode, ImageControlReading& out) const
{
    CameraControlInfo info;
    int32_t value = 0;
    if (!camera_->QueryControl(ids.value, info) || !camera_->GetControl(ids.value, value))
        return false;
    int32_t flags = kControlFlagManual;
    if (ids.automatic) {
        if (currentMode) {
            bool on = false;
            if (AutoIsOn(ids.automatic, on) && on)
                flags = kControlFlagAuto;
        } else {
            CameraControlInfo autoInfo;
            if (camera_->QueryControl(ids.automatic, autoInfo))
                flags = kControlFlagsBoth;
        }
    }
    out.minimum = info.minimum;
    out.maximum = info.maximum;
    out.defaultValue = info.defaultValue;
    out.flags = flags;
    out.value = value;
    return true;
}

bool CameraImageControls::Write(const CameraRowControls& ids, int32_t value, bool automatic) const
{
    if (automatic)
        return ids.automatic != 0 && SwitchAuto(ids.automatic, true);
    if (ids.automatic) {
        // A manual control is inactive while its automatic switch is on, and some
        // drivers refuse writes to it then; a drag sends many values, so the switch
        // is only written when it is actually on.
        bool on = true;
        if (!AutoIsOn(ids.automatic, on) || on)
            SwitchAuto(ids.automatic, false);
    }
    return camera_->SetControl(ids.value, value);
}

bool CameraImageControls::GetImageControl(int index, ImageControlReading& out) const
{
    if (!camera_ || index < 0 || index >= ImageControlCount)
        return false;
    const auto ids = CameraRowV4l2Controls(index);
    return ids && Read(*ids, index == ImageWhiteBalance, out);
}

bool CameraImageControls::SetImageControl(int index, int32_t value, int32_t flags) const
{
    if (!camera_ || index < 0 || index >= ImageControlCount)
        return false;
    const auto ids = CameraRowV4l2Controls(index);
    return ids && Write(*ids, value, flags == kControlFlagAuto);
}

bool CameraImageControls::GetExposure(ImageControlReading& out) const
{
    return camera_ && Read(kRows[kExposureRow], false, out);
}

bool CameraImageControls::SetExposure(int32_t value, int32_t flags) const
{
    return camera_ && Write(kRows[kExposureRow], value, flags != kControlFlagManual);
}

bool CameraImageControls::GetRow(int row, ImageControlReading& out) const
{
    return row == kExposureRow ? GetExposure(out) : GetImageControl(row, out);
}

bool CameraImageControls::SetRow(int row, int32_t value, int32_t flags) const
{
    return row == kExposureRow ? SetExposure(value, flags) : SetImageControl(row, value, flags);
}

int CameraImageControls::ApplyRows(const CameraRowValues& values, const CameraRowValues& flags) const
{
    int taken = 0;
    for (int row = 0; row < kCameraRowCount; ++row)
        taken += SetRow(row, values[size_t(row)], flags[size_t(row)]) ? 1 : 0;
    return taken;
}

bool CameraImageControls::GetPowerLineFrequency(int32_t& value, int32_t& flags) const
{
    int32_t current = 0;
    if (!camera_ || !camera_->GetControl(V4L2_CID_POWER_LINE_FREQUENCY, current))
        return false;
    value = current;
    flags = kControlFlagManual;
    return true;
}

bool CameraImageControls::SetPowerLineFrequency(int32_t value) const
{
    return camera_ && camera_->SetControl(V4L2_CID_POWER_LINE_FREQUENCY, value);
}

CameraBackend* OpenGraphCamera(const PreviewGraph* preview, const RecordGraph* record)
{
    if (preview)
        return preview->Camera();
    return record ? record->Camera() : nullptr;
}

std::optional<SourceKind> OpenGraphKind(const PreviewGraph* preview, const RecordGraph* record)
{
    if (preview)
        return preview->Camera() ? std::optional(preview->Kind()) : std::nullopt;
    if (record && record->Camera())
        return record->Kind();
    return std::nullopt;
}

} // namespace kestovar
