#include "library/MediaLibraryHost.h"

#include <QDesktopServices>
#include <QUrl>

namespace kestovar {

void MediaLibraryHost::MediaRenamed(const QString&, const QString&)
{
}

void MediaLibraryHost::MediaDeleted(const QString&)
{
}

void MediaLibraryHost::SendToPacs(const QStringList&, const CaseInfo&)
{
}

void MediaLibraryHost::StorageRootChanged()
{
}

bool MediaLibraryHost::OpenFolder(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace kestovar
