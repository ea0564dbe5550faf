#pragma once
// Names and paths of new captures.
//
// A movie is "<File Name>_<YYMMDD>_<HHMMSS>.avi" in the movie folder, a still picture
// "<YYMMDD>_<HHMMSS>.jpg" in the picture folder, both stamped with the local time.
// A capture never replaces a file: when the name is taken (two captures within one
// second), the smallest suffix "_2", "_3", ... that makes it new is added before the
// extension (knee_170226_140509_2.avi). For a movie the name also counts as taken when
// its case information file (same stem, ".ini") exists, so an old case file is never
// overwritten by a new recording's.
//
// Time is passed in, so tests choose it; the overloads without it use the current time.
// Paths are UTF-8 strings joined with exactly one "/".

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace kestovar {

// "%y%m%d_%H%M%S" of now in local time, e.g. "170226_140509".
std::string FormatCaptureTimeStamp(std::time_t now);

// "%s_%s.%s": prefix, time stamp, extension.
std::string BuildCaptureName(std::string_view prefix, std::string_view ext, std::time_t now);
std::string BuildCaptureName(std::string_view prefix, std::string_view ext);

// folder + name with exactly one "/" between them ("%s/%s", or "%s%s" when the folder
// already ends with "/"). An empty folder gives the name alone.
std::string JoinPath(std::string_view folder, std::string_view name);

// True for "jpg" in any letter case.
bool IsPictureExtension(std::string_view ext);

struct CaptureFolders {
    std::string moviePath; // settings' moviepath
    std::string imagePath; // settings' imagepath
};

// The picture folder for "jpg", else the movie folder, joined with name.
std::string BuildCapturePath(const CaptureFolders& folders, std::string_view name, std::string_view ext);

// Whether a path is in use; the default looks at the file system (a dangling symbolic
// link or an unreadable entry counts as in use).
using PathInUse = std::function<bool(const std::string& path)>;
bool PathExists(const std::string& path);

struct CapturePathResult {
    bool ok = false;
    std::string path; // the new capture's full path
    std::string message; // why there is none, for the operator
};

// Movie path for a recording (also each follow-on file of a roll-over). Refuses a File
// Name that is empty or not a valid name (see FileNameRules.h) with its message.
CapturePathResult NewMoviePath(const std::string& movieFolder, std::string_view fileName, std::time_t now,
    const PathInUse& inUse = PathExists);

// Still-picture path in the picture folder.
CapturePathResult NewStillPicturePath(
    const std::string& imageFolder, std::time_t now, const PathInUse& inUse = PathExists);

} // namespace kestovar
