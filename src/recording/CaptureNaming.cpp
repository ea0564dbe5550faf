#include "recording/CaptureNaming.h"

#include "recording/FileNameRules.h"

#include <cerrno>

#include <sys/stat.h>

namespace kestovar {

namespace {

// Enough for any number of captures an operator can take in one second.
constexpr int kMaxSuffix = 999;

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string WithSuffix(std::string_view stem, int n)
{
    return n == 1 ? std::string(stem) : std::string(stem) + "_" + std::to_string(n);
}

} // namespace

std::string FormatCaptureTimeStamp(std::time_t now)
{
    std::tm local {};
    if (!localtime_r(&now, &local))
        return "000000_000000";
    char text[32] = {};
    std::strftime(text, sizeof text, "%y%m%d_%H%M%S", &local);
    return text;
}

std::string BuildCaptureName(std::string_view prefix, std::string_view ext, std::time_t now)
{
    std::string name(prefix);
    name += '_';
    name += FormatCaptureTimeStamp(now);
    name += '.';
    name += ext;
    return name;
}

std::string BuildCaptureName(std::string_view prefix, std::string_view ext)
{
    return BuildCaptureName(prefix, ext, std::time(nullptr));
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

bool IsPictureExtension(std::string_view ext)
{
    return ext.size() == 3 && AsciiLower(ext[0]) == 'j' && AsciiLower(ext[1]) == 'p'
        && AsciiLower(ext[2]) == 'g';
}

std::string BuildCapturePath(const CaptureFolders& folders, std::string_view name, std::string_view ext)
{
    return JoinPath(IsPictureExtension(ext) ? folders.imagePath : folders.moviePath, name);
}

bool PathExists(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

CapturePathResult NewMoviePath(
    const std::string& movieFolder, std::string_view fileName, std::time_t now, const PathInUse& inUse)
{
    CapturePathResult result;
    const NameCheck check = CheckCapturePrefix(fileName, NameMaxBytes(movieFolder));
    if (!check.ok()) {
        result.message = check.message;
        return result;
    }
    const std::string stem = std::string(fileName) + "_" + FormatCaptureTimeStamp(now);
    for (int n = 1; n <= kMaxSuffix; ++n) {
        const std::string base = JoinPath(movieFolder, WithSuffix(stem, n));
        if (!inUse(base + ".avi") && !inUse(base + ".ini")) {
            result.ok = true;
            result.path = base + ".avi";
            return result;
        }
    }
    result.message = "No free file name is left for this second. Please try again.";
    return result;
}

CapturePathResult NewStillPicturePath(const std::string& imageFolder, std::time_t now, const PathInUse& inUse)
{
    CapturePathResult result;
    const std::string stem = FormatCaptureTimeStamp(now);
    for (int n = 1; n <= kMaxSuffix; ++n) {
        const std::string path = JoinPath(imageFolder, WithSuffix(stem, n) + ".jpg");
        if (!inUse(path)) {
            result.ok = true;
            result.path = path;
            return result;
        }
    }
    result.message = "No free file name is left for this second. Please try again.";
    return result;
}

} // namespace kestovar
