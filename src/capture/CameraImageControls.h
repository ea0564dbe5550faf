#pragma once
// The camera's image settings as the station addresses them: ten picture properties
// by ImageControl index, the exposure, and the power-line frequency against flicker,
// read and changed on the V4L2 controls of an open camera.
//
// Flags keep the station's numbers: 1 automatic, 2 manual. Reading a property hands
// out the modes the camera supports (2 manual only, 3 automatic and manual), except
// for white balance, whose reading says whether it is automatic now. Keeping values
// in the settings store is not done here; CAppSettings and the image dialog do that.
//
// A CameraImageControls only borrows the camera: make one for each use from the
// graph that owns the camera now (OpenGraphCamera), never keep one across events,
// since a graph (and its camera) may go away with any unplug or mode change.
//
// Threads: GUI thread, also while the graph's capture thread streams; the backends
// serialise control access with their own lock.

#include "capture/CaptureTypes.h"
#include "platform/CameraBackend.h"

#include <array>
#include <cstdint>
#include <optional>

namespace kestovar {

class PreviewGraph;
class RecordGraph;

// The picture properties, by the index the image dialog's rows use.
enum ImageControl : int32_t {
    ImageBrightness = 0,
    ImageContrast = 1,
    ImageHue = 2,
    ImageSaturation = 3,
    ImageWhiteBalance = 4,
    ImageGamma = 5,
    ImageBacklightComp = 6,
    ImageGain = 7,
    ImageColorEnable = 8,
    ImageSharpness = 9,
    ImageControlCount = 10,
};

// The eleven rows of the station's camera settings: the ten ImageControl indices
// and the exposure after them (the order of the stored camera values).
inline constexpr int kCameraRowCount = 11;
inline constexpr int kExposureRow = 10;
using CameraRowValues = std::array<int32_t, kCameraRowCount>;

inline constexpr int32_t kControlFlagAuto = 1;
inline constexpr int32_t kControlFlagManual = 2;
inline constexpr int32_t kControlFlagsBoth = 3;

// Power-line frequency values (V4L2 uses the same numbers).
inline constexpr int32_t kPowerLineOff = 0;
inline constexpr int32_t kPowerLine50Hz = 1;
inline constexpr int32_t kPowerLine60Hz = 2;

// The V4L2 controls behind a row: the value's control and its automatic switch
// (0 when the property has no automatic mode). Nothing for colour enable, which V4L2
// has no standard control for, and for an index outside 0..10.
struct CameraRowControls {
    uint32_t value = 0;
    uint32_t automatic = 0;
};
std::optional<CameraRowControls> CameraRowV4l2Controls(int row);

struct ImageControlReading {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t defaultValue = 0;
    int32_t flags = 0;
    int32_t value = 0;
};

class CameraImageControls {
public:
    // null: there is no camera, and every call answers false.
    explicit CameraImageControls(CameraBackend* camera = nullptr)
        : camera_(camera)
    {
    }

    bool HasCamera() const { return camera_ != nullptr; }

    // Range, default, flags and current value of a property. False (and `out`
    // untouched) without a camera, for an index outside 0..9, and when the camera
    // lacks the property or does not answer.
    bool GetImageControl(int index, ImageControlReading& out) const;
    // Sets the value and the mode. Flag 1 switches the property to automatic (the
    // camera then picks the value; false when it has no automatic mode); any other
    // flag switches it to manual and sets the value. 3, the both-modes capability a
    // reading hands out, thus means manual, as the image dialog shows such a row.
    bool SetImageControl(int index, int32_t value, int32_t flags) const;

    // The same for the exposure, except the mode rule: flag 2 is manual and any
    // other flag automatic, as the image dialog shows an exposure read back as 3.
    bool GetExposure(ImageControlReading& out) const;
    bool SetExposure(int32_t value, int32_t flags) const;

    // The rows of the station's settings: 0..9 as the image controls, 10 exposure.
    bool GetRow(int row, ImageControlReading& out) const;
    bool SetRow(int row, int32_t value, int32_t flags) const;
    // Sends every row's value and flag to the camera, in row order 0 to 10; a row the
    // camera lacks or refuses is skipped. Returns how many rows the camera took.
    int ApplyRows(const CameraRowValues& values, const CameraRowValues& flags) const;

    // 0 off, 1 = 50 Hz, 2 = 60 Hz (3 = automatic on some V4L2 cameras); the flags are
    // always 2, as the frequency is a plain setting.
    bool GetPowerLineFrequency(int32_t& value, int32_t& flags) const;
    bool SetPowerLineFrequency(int32_t value) const;

private:
    bool Read(const CameraRowControls& ids, bool currentMode, ImageControlReading& out) const;
    bool Write(const CameraRowControls& ids, int32_t value, bool automatic) const;
    bool AutoIsOn(uint32_t autoId, bool& on) const;
    bool SwitchAuto(uint32_t autoId, bool on) const;

    CameraBackend* camera_;
};

// The camera the station's image settings go to: that of the preview graph when
// one exists, otherwise that of the recording graph; null when neither exists (or
// the graph has no camera bound).
CameraBackend* OpenGraphCamera(const PreviewGraph* preview, const RecordGraph* record);
// How that camera delivers its picture; nothing when no graph has a camera.
std::optional<SourceKind> OpenGraphKind(const PreviewGraph* preview, const RecordGraph* record);

} // namespace kestovar
