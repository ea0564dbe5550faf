#include "platform/RenameNoReplace.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestovar {

namespace {

bool NameTaken(const std::string& path)
{
    struct stat st { };
    return lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

} // namespace

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty())
        return EINVAL;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP)
        return err;

    // The file system has no RENAME_NOREPLACE; link() never replaces either.
    struct stat st { };
    if (lstat(from.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) != 0) {
                const int unlinkErr = errno;
                unlink(to.c_str()); // leave things as they were
                return unlinkErr;
            }
            return 0;
        }
        const int linkErr = errno;
        if (linkErr != EPERM && linkErr != ENOTSUP && linkErr != EOPNOTSUPP && linkErr != EXDEV)
            return linkErr;
        if (linkErr == EXDEV)
            return EXDEV;
    }
    // Last resort for file systems without links; the station is the only writer of its
    // folders, so the window between the check and the rename is not contended.
    if (NameTaken(to))
        return EEXIST;
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return errno;
    return 0;
}

} // namespace kestovar
