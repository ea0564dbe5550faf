#include "dialogs/VideoSettingModel.h"

#include "recording/CAppSettings.h"

#include <algorithm>

namespace kestovar {

static_assert(VideoSettingModel::kRows == CameraPropertyCount, "one dialog row per stored camera value");

bool VideoSettingModel::ShowsAutomatic(int row, int32_t flag)
{
    if (row == kColorEnableRow || row == kExposureRow)
        return flag != kControlFlagManual;
    return flag == kControlFlagAuto;
}

void VideoSettingModel::QueryCamera(const CameraImageControls& camera)
{
    for (int i = 0; i < kRows; ++i) {
        VideoSettingRow& row = rows_[size_t(i)];
        ImageControlReading reading;
        row.known = camera.GetRow(i, reading);
        if (!row.known)
            continue;
        row.minimum = reading.minimum;
        row.maximum = reading.maximum;
        row.cameraDefault = reading.defaultValue;
        row.flag = reading.flags;
        row.value = reading.value;
        row.restore = reading.value;
    }
    VideoSettingRow& wb = rows_[kWhiteBalanceRow];
    if (wb.flag == kControlFlagManual)
        wb.flag = kControlFlagAuto;
    int32_t value = 0, flags = 0;
    if (camera.GetPowerLineFrequency(value, flags)) {
        powerLineValue_ = value;
        powerLineFlags_ = flags;
    } else {
        powerLineValue_ = kPowerLineOff;
        powerLineFlags_ = 0;
    }
}

void VideoSettingModel::Open(const CameraImageControls& camera, CAppSettings& settings)
{
    QueryCamera(camera);
    settings.LoadCameraSettings();
    for (int i = 0; i < kRows; ++i) {
        VideoSettingRow& row = rows_[size_t(i)];
        row.value = settings.cameraValue[size_t(i)];
        row.flag = settings.cameraFlag[size_t(i)];
        if (row.value == 0)
            row.value = row.restore;
        if (!row.known) {
            row.minimum = row.maximum = row.value;
        } else if (row.minimum <= row.maximum) {
            row.value = std::clamp(row.value, row.minimum, row.maximum);
        }
    }
    settings.SaveCameraSettings();
}

void VideoSettingModel::Send(int row, const CameraImageControls& camera)
{
    VideoSettingRow& r = rows_[size_t(row)];
    // A camera without the property refuses; the row keeps its values either way.
    camera.SetRow(row, r.value, r.flag);
    r.sent = true;
}

void VideoSettingModel::MoveSlider(int row, int32_t value, const CameraImageControls& camera)
{
    if (row < 0 || row >= kRows)
        return;
    rows_[size_t(row)].value = value;
    Send(row, camera);
}

void VideoSettingModel::ToggleAuto(int row, const CameraImageControls& camera)
{
    if (row < 0 || row >= kRows)
        return;
    VideoSettingRow& r = rows_[size_t(row)];
    // White Balance: automatic goes manual (3), anything else automatic. Every other
    // row: manual goes automatic, anything else (automatic, or the camera's both-modes
    // flag 3 that "Default" reads) manual.
    if (row == kWhiteBalanceRow)
        r.flag = r.flag == kControlFlagAuto ? kControlFlagsBoth : kControlFlagAuto;
    else
        r.flag = r.flag == kControlFlagManual ? kControlFlagAuto : kControlFlagManual;
    Send(row, camera);
}

void VideoSettingModel::Default(const CameraImageControls& camera)
{
    QueryCamera(camera);
    for (VideoSettingRow& row : rows_)
        if (row.known)
            row.value = row.cameraDefault;
    ApplyToCamera(camera);
}

void VideoSettingModel::ApplyToCamera(const CameraImageControls& camera, bool onlySentRows)
{
    for (int i = 0; i < kRows; ++i)
        if (!onlySentRows || rows_[size_t(i)].sent)
            Send(i, camera);
}

void VideoSettingModel::Accept(CAppSettings& settings)
{
    for (int i = 0; i < kRows; ++i) {
        settings.cameraValue[size_t(i)] = rows_[size_t(i)].value;
        settings.cameraFlag[size_t(i)] = rows_[size_t(i)].flag;
    }
    settings.SaveCameraSettings();
    accepted_ = true;
}

void VideoSettingModel::Cancel(const CameraImageControls& camera)
{
    if (!accepted_)
        for (VideoSettingRow& row : rows_)
            row.value = row.restore;
    VideoSettingRow& wb = rows_[kWhiteBalanceRow];
    if (wb.flag == kControlFlagsBoth)
        wb.flag = kControlFlagAuto;
    ApplyToCamera(camera, true);
}

} // namespace kestovar
