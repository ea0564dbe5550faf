#include "app/HelpLocator.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QStandardPaths>

#include <utility>
#include <vector>

namespace kestovar {

namespace {

// One group of a key file ([Desktop Entry], [Default Applications], ...).
using KeyGroup = QMap<QString, QString>;
using KeyFile = QMap<QString, KeyGroup>;

// The desktop entry and mimeapps.list syntax: [group] lines, key=value lines, '#'
// comments. Values are kept raw; only lists and plain words are looked at here.
KeyFile ReadKeyFile(const QString& path)
{
    KeyFile groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return groups;
    QString group;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || group.isEmpty())
            continue;
        groups[group].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}

QStringList SplitList(const QString& value)
{
    QStringList items;
    for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = item.trimmed();
        if (!trimmed.isEmpty())
            items << trimmed;
    }
    return items;
}

QStringList AbsoluteDirs(const QString& value, const QStringList& fallback)
{
    QStringList dirs;
    for (const QString& dir : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            dirs << dir;
    return dirs.isEmpty() ? fallback : dirs;
}

QString AbsoluteDir(const QString& value, const QString& fallback)
{
    return QDir::isAbsolutePath(value) ? value : fallback;
}

bool IsTrue(const QString& value)
{
    return value == QLatin1String("true");
}

// The installed desktop entries by desktop file ID: a file's path below its
// "applications" folder with '/' turned into '-'. Where two folders hold the same ID
// the one of higher precedence is the installed one.
class DesktopEntries {
public:
    explicit DesktopEntries(const QStringList& applicationDirs)
    {
        for (const QString& dir : applicationDirs) {
            const QDir root(dir);
            QDirIterator it(dir, { QStringLiteral("*.desktop") }, QDir::Files | QDir::Readable,
                QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
            while (it.hasNext()) {
                const QString path = it.next();
                QString id = root.relativeFilePath(path);
                id.replace(QLatin1Char('/'), QLatin1Char('-'));
                if (paths_.contains(id))
                    continue;
                paths_.insert(id, path);
                order_.push_back(id);
            }
        }
    }

    // Installed and usable as a handler.
    bool Usable(const QString& id) const
    {
        const auto found = paths_.constFind(id);
        if (found == paths_.constEnd())
            return false;
        const KeyGroup entry = Entry(id);
        if (entry.isEmpty() || IsTrue(entry.value(QStringLiteral("Hidden"))))
            return false;
        const QString type = entry.value(QStringLiteral("Type"), QStringLiteral("Application"));
        if (type != QLatin1String("Application"))
            return false;
        if (entry.value(QStringLiteral("Exec")).isEmpty()
            && !IsTrue(entry.value(QStringLiteral("DBusActivatable"))))
            return false;
        const QString tryExec = entry.value(QStringLiteral("TryExec"));
        if (tryExec.isEmpty())
            return true;
        if (QDir::isAbsolutePath(tryExec))
            return QFileInfo(tryExec).isExecutable();
        return !QStandardPaths::findExecutable(tryExec).isEmpty();
    }

    QStringList MimeTypes(const QString& id) const
    {
        return SplitList(Entry(id).value(QStringLiteral("MimeType")));
    }

    // In precedence order.
    const std::vector<QString>& Ids() const { return order_; }

private:
    KeyGroup Entry(const QString& id) const
    {
        auto cached = entries_.constFind(id);
        if (cached == entries_.constEnd())
            cached = entries_.insert(id, ReadKeyFile(paths_.value(id)).value(QStringLiteral("Desktop Entry")));
        return *cached;
    }

    QHash<QString, QString> paths_;
    std::vector<QString> order_;
    mutable QHash<QString, KeyGroup> entries_;
};

// The mimeapps.list files in precedence order, highest first.
QStringList MimeAppsLists(const XdgEnvironment& env)
{
    QStringList lists;
    auto addFolder = [&](const QString& folder) {
        for (const QString& desktop : env.desktops)
            lists << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        lists << folder + QStringLiteral("/mimeapps.list");
    };
    addFolder(env.configHome);
    for (const QString& dir : env.configDirs)
        addFolder(dir);
    addFolder(env.dataHome + QStringLiteral("/applications"));
    for (const QString& dir : env.dataDirs)
        addFolder(dir + QStringLiteral("/applications"));
    // The older name, still written by some desktops; lowest precedence.
    lists << env.dataHome + QStringLiteral("/applications/defaults.list");
    for (const QString& dir : env.dataDirs)
        lists << dir + QStringLiteral("/applications/defaults.list");
    return lists;
}

QString ResolvedFileUrlPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

} // namespace

XdgEnvironment XdgEnvironment::FromProcess()
{
    const QString home = QDir::homePath();
    XdgEnvironment env;
    env.configHome = AbsoluteDir(qEnvironmentVariable("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.configDirs = AbsoluteDirs(qEnvironmentVariable("XDG_CONFIG_DIRS"), { QStringLiteral("/etc/xdg") });
    env.dataHome = AbsoluteDir(qEnvironmentVariable("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.dataDirs = AbsoluteDirs(qEnvironmentVariable("XDG_DATA_DIRS"),
        { QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share") });
    for (const QString& desktop : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        env.desktops << desktop.trimmed().toLower();
    return env;
}

const QStringList& HelpLocator::ChmMimeTypes()
{
    static const QStringList types { QStringLiteral("application/vnd.ms-htmlhelp"),
        QStringLiteral("application/x-chm") };
    return types;
}

HelpLocator::HelpLocator(QString programFolder, XdgEnvironment env)
    : programFolder_(std::move(programFolder))
    , env_(std::move(env))
{
}

QString HelpLocator::ChmPath() const
{
    return programFolder_ + QLatin1Char('/') + QLatin1String(kHelpFileName);
}

QString HelpLocator::IndexPath() const
{
    return programFolder_ + QLatin1Char('/') + QLatin1String(kPagesFolder) + QStringLiteral("/index.html");
}

QString HelpLocator::ChmViewer() const
{
    QStringList applicationDirs { env_.dataHome + QStringLiteral("/applications") };
    for (const QString& dir : env_.dataDirs)
        applicationDirs << dir + QStringLiteral("/applications");
    const DesktopEntries entries(applicationDirs);

    QSet<QString> removed;
    for (const QString& list : MimeAppsLists(env_)) {
        const KeyFile file = ReadKeyFile(list);
        if (file.isEmpty())
            continue;
        for (const QString& type : ChmMimeTypes())
            for (const QString& id : SplitList(file.value(QStringLiteral("Removed Associations")).value(type)))
                removed.insert(id);
        for (const char* group : { "Default Applications", "Added Associations" })
            for (const QString& type : ChmMimeTypes())
                for (const QString& id : SplitList(file.value(QLatin1String(group)).value(type)))
                    if (!removed.contains(id) && entries.Usable(id))
                        return id;
    }
    for (const QString& id : entries.Ids()) {
        if (removed.contains(id))
            continue;
        const QStringList types = entries.MimeTypes(id);
        for (const QString& type : ChmMimeTypes())
            if (types.contains(type) && entries.Usable(id))
                return id;
    }
    return {};
}

HelpLocator::Result HelpLocator::Locate() const
{
    const bool chm = QFileInfo(ChmPath()).isFile();
    if (chm && !ChmViewer().isEmpty())
        return { Choice::Chm, QUrl::fromLocalFile(ResolvedFileUrlPath(ChmPath())) };
    if (QFileInfo(IndexPath()).isFile())
        return { Choice::Pages, QUrl::fromLocalFile(ResolvedFileUrlPath(IndexPath())) };
    if (chm)
        return { Choice::ChmWithoutViewer, QUrl::fromLocalFile(ResolvedFileUrlPath(ChmPath())) };
    return {};
}

} // namespace kestovar
