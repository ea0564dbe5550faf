#pragma once
// What the media list shows: the pictures of the picture folder, then the movies of
// the movie folder, each in the directory's own order (nothing is sorted).
//
// A file belongs to a folder's list when the last three characters of its name equal
// the folder's extension in any letter case ("jpg" for pictures, "avi" for movies):
// X.JPG and clip.xavi are listed, photo.jpeg is not. Folders, hidden files (a leading
// "."), and anything that is not a regular file (sockets, devices, dangling links) are
// skipped. A folder that is missing or cannot be read lists nothing.
//
// Plain functions; any thread.

#include "library/MediaFileOperations.h"
#include "recording/CaptureNaming.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestovar {

struct MediaEntry {
    std::string name; // the bare file name, the list item's label
    std::string path; // folder joined with name
    MediaKind kind = MediaKind::Movie;
    int64_t size = 0; // bytes
    int64_t modified = 0; // modification time in nanoseconds since the epoch

    bool operator==(const MediaEntry&) const = default;
};

// The files of one folder whose names end in `ext` (three characters, any case).
std::vector<MediaEntry> ListMediaFolder(const std::string& folder, std::string_view ext, MediaKind kind);

// Pictures ("jpg" in the picture folder), then movies ("avi" in the movie folder). Also
// removes what case-file saves that were cut off left in the movie folder.
std::vector<MediaEntry> ScanMediaFolders(const CaptureFolders& folders);

} // namespace kestovar
