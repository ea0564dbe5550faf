#pragma once
// The state and rules of the camera image settings dialog, apart from its widgets:
// eleven rows (brightness ... sharpness, exposure; colour enable is row 8, hidden
// in the dialog but kept like the others), the power-line frequency, and what
// opening, the sliders, the Auto buttons, Default, Apply and Cancel do to the rows,
// the camera and the settings.
//
// Every camera call goes through the CameraImageControls given to it, which the
// dialog asks its host for anew each time; without a camera the calls do nothing.
//
// Threads: GUI thread only.

#include "capture/CameraImageControls.h"

#include <array>
#include <cstdint>

namespace kestovar {

class CAppSettings;

struct VideoSettingRow {
    int32_t minimum = 0; // the camera's range: the slider's range
    int32_t maximum = 0;
    int32_t cameraDefault = 0;
    // 1 automatic, 2 manual; white balance keeps 3 for manual, and a reading may give
    // 3 (both modes possible) for the others. See ShowsAutomatic.
    int32_t flag = kControlFlagManual;
    int32_t value = 0; // the slider's value
    int32_t restore = 0; // the camera's value at the last query; Cancel goes back to it
    bool known = false; // the camera answered for this row at the last query
    bool sent = false; // the camera has been given this row since the dialog opened
};

class VideoSettingModel {
public:
    static constexpr int kRows = kCameraRowCount;
    static constexpr int kColorEnableRow = ImageColorEnable;
    static constexpr int kWhiteBalanceRow = ImageWhiteBalance;

    // How a row shows its flag: colour enable and exposure are manual only for 2,
    // every other row is automatic only for 1.
    static bool ShowsAutomatic(int row, int32_t flag);
    bool IsAutomatic(int row) const { return ShowsAutomatic(row, rows_[size_t(row)].flag); }

    const VideoSettingRow& Row(int row) const { return rows_[size_t(row)]; }
    int32_t PowerLineValue() const { return powerLineValue_; }
    int32_t PowerLineFlags() const { return powerLineFlags_; }
    bool Accepted() const { return accepted_; }

    // Reads every row's range, default, current value (also its restore value) and
    // flag, and the power-line frequency. A manual white balance (2) reads as 1.
    // A row the camera does not answer for keeps its values.
    void QueryCamera(const CameraImageControls& camera);

    // Opening: query the camera, then show the stored values and flags (a stored 0
    // means the camera's current value). Nothing is sent to the camera. A value
    // outside the camera's range shows as the nearest end; a row the camera did not
    // answer for gets a range of just its value, so Apply keeps what was stored.
    void Open(const CameraImageControls& camera, CAppSettings& settings);

    // A slider moved: the row takes the value and the camera gets it with the row's flag.
    void MoveSlider(int row, int32_t value, const CameraImageControls& camera);
    // An Auto button: a row shown automatic becomes manual (2; 3 for white balance),
    // a row shown manual becomes automatic (1); the camera gets the row's value and
    // new flag.
    void ToggleAuto(int row, const CameraImageControls& camera);
    // "Default": query the camera again (restore values move to its values of this
    // moment, flags become what the reading hands out), every row takes the camera's
    // default, and everything is sent to the camera.
    void Default(const CameraImageControls& camera);
    // Sends the rows to the camera in order 0 to 10 (all, or only those sent before).
    void ApplyToCamera(const CameraImageControls& camera, bool onlySentRows = false);
    // "Apply": the values and flags go into the settings and are saved.
    void Accept(CAppSettings& settings);
    // Cancel: unless accepted, rows go back to their restore values, a manual white
    // balance (3) back to automatic, and the rows the camera was given since opening
    // are sent again. Rows never touched are not sent: the camera keeps exactly what
    // it had. The settings are not touched.
    void Cancel(const CameraImageControls& camera);

private:
    void Send(int row, const CameraImageControls& camera);

    std::array<VideoSettingRow, kRows> rows_ {};
    int32_t powerLineValue_ = kPowerLineOff;
    int32_t powerLineFlags_ = 0;
    bool accepted_ = false;
};

} // namespace kestovar
