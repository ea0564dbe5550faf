#pragma once
// The station's persistent settings: recording quality, size limit, the storage
// folders, the camera image group and the last doctor and hospital names, kept under
// HKEY_LOCAL_MACHINE\Software\Kestovar\Settings (see CRegStore), plus the resolution
// and rotation choices, which live only as long as the process.
//
// Value names, registry types and defaults:
//   bitrate          int32  1   QualityLevel 0..2; another stored number loads as 0
//   framerate        int32  0   FrameRateChoice 0..2; another stored number loads as 0
//   limitrecordsize  int32  0   index of the "File Size" menu item 0..6, loaded as stored
//   rootpath, moviepath, imagepath   string ""   storage folders
//   brightness ... exposure          int32  0   camera values (CameraProperty order)
//   auto_brightness ... auto_exposure int32 2   1 automatic, 2 manual;
//                                               auto_whitebalance defaults to 1
//   patient_name     string ""  the last Doctor Name (the value name says patient)
//   hostpital_name   string ""  the last Hospital Name (spelled so in the registry)
// "int32" is REG_BINARY with 4 little-endian bytes; "string" is REG_SZ.
//
// Building the object loads everything (the two names included) and derives the
// storage folders, creating the movie and picture folders; destroying it writes every
// stored value back, so a fresh station ends its first run with the complete key. The plain
// fields are read and assigned directly by the windows; whoever assigns a stored field
// calls the matching save (SaveSettings, SaveCameraSettings, SaveCaseNames).
//
// Threads: GUI thread only.

#include "recording/CRegStore.h"

#include <QString>

#include <array>
#include <cstdint>

namespace kestovar {

// The camera image values, in the order of the registry values and of the rows of the
// camera image dialog.
enum CameraProperty : int32_t {
    CameraBrightness = 0,
    CameraContrast,
    CameraHue,
    CameraSaturation,
    CameraWhiteBalance,
    CameraGamma,
    CameraBacklightComp,
    CameraGain,
    CameraColorEnable,
    CameraSharpness,
    CameraExposure,
    CameraPropertyCount,
};

// Automatic/manual flags as the camera controls report them. The camera image dialog
// stores 3 for a manual white balance; every value but 1 reads as manual there.
inline constexpr int32_t kCameraFlagAuto = 1;
inline constexpr int32_t kCameraFlagManual = 2;

class CAppSettings {
public:
    // The default storage root is the program's folder when it is writable, else
    // ~/Kestovar (see DefaultStorageRoot).
    CAppSettings();
    // The same with the default storage root given (tests, other front ends).
    explicit CAppSettings(const QString& defaultRoot);
    // Writes every stored value (SaveSettings, SaveCameraSettings, SaveCaseNames).
    ~CAppSettings();
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    void LoadSettings();
    // Writes bitrate, framerate, limitrecordsize, rootpath, moviepath, imagepath.
    void SaveSettings();
    void LoadCameraSettings();
    void SaveCameraSettings();

    // Makes `path` the storage root (stored as given); the movie and picture folders
    // become its "movie" and "image" subfolders, created when missing; then saves.
    void SetRootPath(const QString& path);
    QString GetRootPath() const { return rootpath; }
    QString GetMoviePath() const { return moviepath; }
    QString GetImagePath() const { return imagepath; }

    // Writes patient_name then hostpital_name from doctorName and hospitalName.
    void SaveCaseNames();
    // Re-read both names from the registry into the fields, then return one.
    QString GetDoctorName();
    QString GetHospitalName();

    // False when the settings key could neither be opened nor created; the settings
    // are then the documented defaults and nothing is written.
    bool keyOpened() const { return keyOpened_; }
    // Where a damaged settings file was kept when it was found at start, or empty.
    // The station tells the operator about it.
    const QString& damagedFileCopy() const { return damagedFileCopy_; }

    // The program's folder when it is writable and not an installed one (under /usr),
    // else ~/Kestovar.
    static QString DefaultStorageRoot();
    static QString ChooseStorageRoot(const QString& programFolder, const QString& home);

    static constexpr const char* kKeyPath = "Software\\Kestovar\\Settings";

    // Stored, in the registry's order.
    int32_t bitrate = 0;
    int32_t framerate = 0;
    // Not stored: ResolutionChoice and RotationMode of this run.
    int32_t resolution = 0;
    int32_t rotation = 0;
    // Stored.
    int32_t limitrecordsize = 0;
    QString rootpath;
    QString moviepath;
    QString imagepath;
    std::array<int32_t, CameraPropertyCount> cameraValue {};
    std::array<int32_t, CameraPropertyCount> cameraFlag {};
    QString doctorName; // patient_name
    QString hospitalName; // hostpital_name

    // Registry value names of the camera group, in CameraProperty order.
    static const std::array<const char*, CameraPropertyCount> kCameraValueNames;
    static const std::array<const char*, CameraPropertyCount> kCameraFlagNames;

private:
    int32_t ReadInt(const char* name, int32_t def);
    QString ReadString(const char* name);
    void WriteInt(const char* name, int32_t value);
    void WriteString(const char* name, const QString& text);
    void ReadCaseNames();

    CRegStore store_;
    QString defaultRoot_;
    bool keyOpened_ = false;
    QString damagedFileCopy_;
};

} // namespace kestovar
