#include "platform/HiveStorage.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>

namespace kestovar {

namespace {

// Moves a damaged file to the first free "<name>.bad", "<name>.1.bad", ... without
// ever replacing an earlier copy. Returns the new name, or empty with errno set.
QString MoveAside(const QString& path)
{
    const QByteArray from = QFile::encodeName(path);
    for (int i = 0; i < 1000; ++i) {
        QString candidate = i == 0 ? path + QStringLiteral(".bad") : path + QStringLiteral(".%1.bad").arg(i);
        const QByteArray to = QFile::encodeName(candidate);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return candidate;
        if (errno == EINVAL || errno == ENOSYS) {
            // Filesystems without RENAME_NOREPLACE: check first (one station, one writer).
            if (QFileInfo::exists(candidate))
                continue;
            if (::rename(from.constData(), to.constData()) == 0)
                return candidate;
        }
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

} // namespace

HiveLoadResult LoadHiveFile(const QString& path)
{
    HiveLoadResult result;
    QFile file(path);
    if (!file.exists()) {
        result.status = HiveLoadResult::Missing;
        return result;
    }
    errno = 0;
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        result.status = HiveLoadResult::Unusable;
        result.error = errno ? errno : EISDIR;
        std::fprintf(stderr, "kestovar: registry: cannot read %s: %s\n", qPrintable(path),
            std::strerror(result.error));
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.status = HiveLoadResult::Unusable;
        result.error = EIO;
        std::fprintf(stderr, "kestovar: registry: cannot read %s: %s\n", qPrintable(path),
            qPrintable(file.errorString()));
        return result;
    }
    file.close();

    QString problem;
    if (HiveFile::Parse(bytes, &result.hive, &problem)) {
        result.status = HiveLoadResult::Loaded;
        return result;
    }
    result.problem = problem;
    result.setAsidePath = MoveAside(path);
    if (result.setAsidePath.isEmpty()) {
        result.status = HiveLoadResult::Unusable;
        result.error = errno ? errno : EIO;
        std::fprintf(stderr,
            "kestovar: registry: %s is damaged (%s) and cannot be moved aside (%s); it is left as it is\n",
            qPrintable(path), qPrintable(problem), std::strerror(result.error));
        return result;
    }
    result.status = HiveLoadResult::SetAside;
    std::fprintf(stderr, "kestovar: registry: %s is damaged (%s); kept as %s, starting from defaults\n",
        qPrintable(path), qPrintable(problem), qPrintable(result.setAsidePath));
    return result;
}

int SaveHiveFile(const QString& path, const HiveFile& hive, bool durable)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return errno ? errno : EACCES;
    return WriteFileAtomically(path, hive.Serialize(), durable);
}

} // namespace kestovar
