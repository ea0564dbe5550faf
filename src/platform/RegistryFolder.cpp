#include "platform/RegistryFolder.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace kestovar {

namespace {

bool UsableFolder(const QString& folder)
{
    QFileInfo info(folder);
    if (info.exists())
        return info.isDir() && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
    return QDir().mkpath(folder);
}

} // namespace

QString RegRootName(RegRoot root)
{
    return root == RegRoot::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                         : QStringLiteral("HKEY_CURRENT_USER");
}

QString ChooseRegistryFolder(
    const QString& envFolder, const QString& systemFolder, const QString& xdgStateHome, const QString& home)
{
    if (!envFolder.isEmpty())
        return envFolder;
    if (!systemFolder.isEmpty() && UsableFolder(systemFolder))
        return systemFolder;
    // The XDG rules say a relative XDG_STATE_HOME is invalid and must be ignored.
    if (!xdgStateHome.isEmpty() && QDir::isAbsolutePath(xdgStateHome))
        return xdgStateHome + QStringLiteral("/kestovar");
    return (home.isEmpty() ? QDir::homePath() : home) + QStringLiteral("/.local/state/kestovar");
}

QString RegistryFolder()
{
    return ChooseRegistryFolder(qEnvironmentVariable("KESTOVAR_REGISTRY_DIR"),
        QStringLiteral("/var/lib/kestovar"), qEnvironmentVariable("XDG_STATE_HOME"),
        qEnvironmentVariable("HOME"));
}

QString HiveFilePath(RegRoot root)
{
    return RegistryFolder() + u'/' + RegRootName(root) + QStringLiteral(".reg");
}

} // namespace kestovar
