#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace kestovar {

QString InstanceLock::LockFilePath(const QString& name)
{
    QString folder = qEnvironmentVariable("KESTOVAR_LOCK_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QString file = name;
    file.replace(u'\\', u'_').replace(u'/', u'_');
    return folder + u'/' + file + QStringLiteral(".lock");
}

InstanceLock::InstanceLock(const QString& name)
    : path_(LockFilePath(name))
{
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const QByteArray file = QFile::encodeName(path_);
    // Only a file this process creates has its mode changed: a second copy must leave
    // everything as it found it. The umask narrows the mode at creation, but other
    // operator accounts must still be able to open the file.
    for (int attempt = 0; attempt < 3 && !fd_; ++attempt) {
        fd_.reset(::open(file.constData(), O_RDWR | O_CLOEXEC));
        if (fd_ || errno != ENOENT)
            break;
        fd_.reset(::open(file.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd_)
            ::fchmod(fd_.get(), 0666);
    }
    // Read-only is enough for flock; it lets this account lock a file that another
    // account created in the shared temporary folder.
    if (!fd_)
        fd_.reset(::open(file.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd_) {
        error_ = errno;
        state_ = Unavailable;
        return;
    }

    int rc;
    do {
        rc = ::flock(fd_.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        state_ = Held;
    } else if (errno == EWOULDBLOCK) {
        state_ = HeldByOther;
        fd_.reset();
    } else {
        error_ = errno;
        state_ = Unavailable;
        fd_.reset();
    }
}

} // namespace kestovar
