#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

#include <cinttypes>
#include <filesystem>

namespace kestovar {

std::optional<DiskSpaceInfo> StatvfsFreeSpace(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    std::error_code ec;
    std::filesystem::path at = std::filesystem::absolute(path, ec);
    if (ec)
        return std::nullopt;
    while (!std::filesystem::exists(at, ec)) {
        if (!at.has_parent_path() || at.parent_path() == at)
            return std::nullopt;
        at = at.parent_path();
    }
    struct statvfs vfs { };
    if (statvfs(at.c_str(), &vfs) != 0)
        return std::nullopt;
    DiskSpaceInfo info;
    info.freeBytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    info.totalBytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    return info;
}

bool HasFreeDiskSpace(const std::string& rootPath, const FreeSpaceSource& source, std::FILE* report)
{
    const std::optional<DiskSpaceInfo> space = source ? source(rootPath) : std::nullopt;
    if (!space)
        return false;
    if (report) {
        std::fprintf(report, "GetDiskFreeSpace reports\n\n");
        std::fprintf(report, "Free space  = %" PRIu64 " MB\n", space->freeBytes >> 20);
        std::fprintf(report, "Total space = %" PRIu64 " MB\n", space->totalBytes >> 20);
        std::fflush(report);
    }
    // Whole gibibytes on both sides, as the operator's notice ("5% of disk space
    // remaining") counts them. A volume under 1 GiB has no whole gibibyte to share.
    const uint64_t freeGiB = space->freeBytes >> 30;
    const uint64_t totalGiB = space->totalBytes >> 30;
    if (totalGiB == 0)
        return false;
    const auto percent
        = static_cast<int64_t>(static_cast<double>(freeGiB) / static_cast<double>(totalGiB) * 100.0);
    return percent > 5;
}

} // namespace kestovar
