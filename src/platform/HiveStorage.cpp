#include "platform/HiveStorage.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestovar {

HiveLoadResult LoadHiveFile(const QString& path)
{
    HiveLoadResult result;
    // Saves killed half-way (power cut, kill -9) leave their temporary files behind.
    RemoveStaleTemporaries(QFile::encodeName(path).toStdString());
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
    int moveError = 0;
    result.setAsidePath = QFile::decodeName(
        QByteArray::fromStdString(KeepDamagedFileAside(QFile::encodeName(path).toStdString(), moveError)));
    if (result.setAsidePath.isEmpty()) {
        result.status = HiveLoadResult::Unusable;
        result.error = moveError ? moveError : EIO;
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
