#include "platform/AtomicFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestovar {

namespace {

int WriteAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
    }
    return 0;
}

int SyncFolderOf(const QByteArray& path)
{
    int slash = path.lastIndexOf('/');
    QByteArray folder = slash > 0 ? path.left(slash) : (slash == 0 ? QByteArray("/") : QByteArray("."));
    UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return errno;
    return ::fsync(dir.get()) == 0 ? 0 : errno;
}

} // namespace

int WriteFileAtomically(const QString& path, const QByteArray& contents, bool syncFolder)
{
    const QByteArray target = path.toLocal8Bit();
    if (target.isEmpty())
        return ENOENT;
    QByteArray temp = target + ".tmp-XXXXXX";

    mode_t mode = 0644;
    struct stat old { };
    if (::stat(target.constData(), &old) == 0)
        mode = old.st_mode & 07777;

    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd)
        return errno;

    int err = WriteAll(fd.get(), contents.constData(), contents.size());
    if (!err && ::fchmod(fd.get(), mode) != 0)
        err = errno;
    if (!err && ::fsync(fd.get()) != 0)
        err = errno;
    if (!err && ::close(fd.release()) != 0)
        err = errno;
    if (!err && ::rename(temp.constData(), target.constData()) != 0)
        err = errno;
    if (err) {
        ::unlink(temp.constData());
        return err;
    }
    // The new contents are safely in place; a failed folder flush only weakens the
    // guarantee against power loss, so it is not reported as a failed write.
    if (syncFolder)
        SyncFolderOf(target);
    return 0;
}

} // namespace kestovar
