#pragma once
// The two versions kill_save_child alternates between, and the checks that a file on
// disk holds one of them whole.

#include "library/CaseInfoFile.h"
#include "recording/CAppSettings.h"

#include <string>

namespace kestovar::test {

inline QString SettingsText(int version, const char* what)
{
    return QStringLiteral("/srv/version-%1/%2/").arg(version).arg(QLatin1StringView(what)).repeated(8);
}

// Sets every stored value to the version's and saves them all, as the station does at
// exit (a few dozen whole-file replacements).
inline void ApplySettingsVersion(CAppSettings& s, int version)
{
    s.bitrate = version;
    s.framerate = version;
    s.limitrecordsize = version;
    s.rootpath = SettingsText(version, "root");
    s.moviepath = SettingsText(version, "movie");
    s.imagepath = SettingsText(version, "image");
    s.cameraValue.fill(100 + version);
    s.cameraFlag.fill(1 + version);
    s.doctorName = SettingsText(version, "doctor");
    s.hospitalName = SettingsText(version, "hospital");
    s.SaveSettings();
    s.SaveCameraSettings();
    s.SaveCaseNames();
}

inline CaseInfo CaseVersion(int version)
{
    const std::string v = std::to_string(version);
    return CaseInfo { "2017-02-2" + v, "knee" + v, "Dr. " + v, "Patient " + v, "Hospital " + v,
        std::string(1200, static_cast<char>('a' + version)) + "\nline " + v };
}

} // namespace kestovar::test
