#pragma once
// The disk guard: is there room on the storage volume for more captures?

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace kestovar {

struct DiskSpaceInfo {
    uint64_t freeBytes = 0; // what the operator's account may still write
    uint64_t totalBytes = 0;
};

// Asks the volume that holds `path` for its space; nothing when it cannot be asked.
using FreeSpaceSource = std::function<std::optional<DiskSpaceInfo>(const std::string& path)>;

// statvfs on `path`, or on its nearest existing parent folder when it does not exist
// yet (a storage folder not made so far lives on its parent's volume).
std::optional<DiskSpaceInfo> StatvfsFreeSpace(const std::string& path);

// True when more than 5 % of the volume holding `rootPath` is free, counted in whole
// gibibytes; a volume under 1 GiB always counts as too full, and so does one that
// cannot be asked. Writes the three report lines ("GetDiskFreeSpace reports", free
// and total megabytes) to `report` (standard output by default).
bool HasFreeDiskSpace(const std::string& rootPath, const FreeSpaceSource& source = StatvfsFreeSpace,
    std::FILE* report = stdout);

} // namespace kestovar
