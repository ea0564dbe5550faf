// What Help opens: the CHM when the desktop has a viewer for it, else the same pages in
// the browser. The desktop's applications are faked in private XDG folders, laid out as
// a system and a user installation are.

#include "app/HelpLocator.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>

using namespace kestovar;

namespace {

class HelpLocatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = Path("program");
        QDir().mkpath(program_);
        env_.configHome = Path("home/.config");
        env_.configDirs = { Path("etc/xdg") };
        env_.dataHome = Path("home/.local/share");
        env_.dataDirs = { Path("usr/local/share"), Path("usr/share") };
    }

    QString Path(const QString& relative) const
    {
        return QString::fromStdString(dir_.str()) + QLatin1Char('/') + relative;
    }

    static void Write(const QString& path, const QString& text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        f.write(text.toUtf8());
    }

    void InstallHelp(bool chm, bool pages)
    {
        if (chm)
            Write(program_ + QStringLiteral("/Kestovar_Full_HD_Help.chm"), QStringLiteral("ITSF"));
        if (pages)
            Write(program_ + QStringLiteral("/help/index.html"), QStringLiteral("<html></html>"));
    }

    // A desktop entry under <dataDir>/applications/<relative>.
    void Desktop(const QString& dataDir, const QString& relative, const QString& mimeTypes,
        const QString& extra = QString())
    {
        QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\n");
        if (!mimeTypes.isNull())
            text += QStringLiteral("MimeType=") + mimeTypes + QLatin1Char('\n');
        Write(dataDir + QStringLiteral("/applications/") + relative, text + extra);
    }

    HelpLocator Locator() const { return HelpLocator(program_, env_); }

    // The program folder as the locator names it: links resolved.
    QUrl Url(const QString& relative) const
    {
        return QUrl::fromLocalFile(QFileInfo(program_).canonicalFilePath() + QLatin1Char('/') + relative);
    }

    test::TempDir dir_;
    QString program_;
    XdgEnvironment env_;
};

const QString kChmType = QStringLiteral("application/vnd.ms-htmlhelp;");

} // namespace

TEST_F(HelpLocatorTest, TheChmWithAViewerThePagesWithoutOne)
{
    InstallHelp(true, true);
    HelpLocator::Result r = Locator().Locate();
    EXPECT_EQ(r.choice, HelpLocator::Choice::Pages);
    EXPECT_EQ(r.url, Url(QStringLiteral("help/index.html")));

    // Other applications do not count.
    Desktop(env_.dataDirs[1], QStringLiteral("firefox.desktop"), QStringLiteral("text/html;application/pdf;"));
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Pages);

    Desktop(env_.dataDirs[1], QStringLiteral("xchm.desktop"), kChmType);
    r = Locator().Locate();
    EXPECT_EQ(r.choice, HelpLocator::Choice::Chm);
    EXPECT_EQ(r.url, Url(QStringLiteral("Kestovar_Full_HD_Help.chm")));
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("xchm.desktop"));
}

TEST_F(HelpLocatorTest, TheAliasTypeAndTheUsersOwnApplicationsCount)
{
    InstallHelp(true, true);
    Desktop(env_.dataHome, QStringLiteral("kchmviewer.desktop"), QStringLiteral("text/plain;application/x-chm"));
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Chm);
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("kchmviewer.desktop"));
}

TEST_F(HelpLocatorTest, WhatTheFoldersHoldDecides)
{
    Desktop(env_.dataDirs[0], QStringLiteral("xchm.desktop"), kChmType);
    // Nothing installed: nothing to open.
    HelpLocator::Result r = Locator().Locate();
    EXPECT_EQ(r.choice, HelpLocator::Choice::Nothing);
    EXPECT_TRUE(r.url.isEmpty());

    // A viewer but no CHM: the pages.
    InstallHelp(false, true);
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Pages);

    // Only the CHM, and no viewer: the CHM is still handed over, the desktop may know more.
    std::filesystem::remove_all((program_ + QStringLiteral("/help")).toStdString());
    std::filesystem::remove_all(env_.dataDirs[0].toStdString());
    InstallHelp(true, false);
    r = Locator().Locate();
    EXPECT_EQ(r.choice, HelpLocator::Choice::ChmWithoutViewer);
    EXPECT_EQ(r.url, Url(QStringLiteral("Kestovar_Full_HD_Help.chm")));

    // A folder of that name is not a help file.
    std::filesystem::remove((program_ + QStringLiteral("/Kestovar_Full_HD_Help.chm")).toStdString());
    QDir().mkpath(program_ + QStringLiteral("/Kestovar_Full_HD_Help.chm"));
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Nothing);
}

TEST_F(HelpLocatorTest, TheInstalledLinksLeadToTheSharedFiles)
{
    // The installation: the program in lib/kestovar, the help in share/kestovar/help,
    // joined by relative links in the program's folder.
    const QString share = Path("usr/share/kestovar/help");
    Write(share + QStringLiteral("/Kestovar_Full_HD_Help.chm"), QStringLiteral("ITSF"));
    Write(share + QStringLiteral("/index.html"), QStringLiteral("<html></html>"));
    program_ = Path("usr/lib/kestovar");
    QDir().mkpath(program_);
    ASSERT_TRUE(QFile::link(QStringLiteral("../../share/kestovar/help/Kestovar_Full_HD_Help.chm"),
        program_ + QStringLiteral("/Kestovar_Full_HD_Help.chm")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../../share/kestovar/help"), program_ + QStringLiteral("/help")));

    const QString canonicalShare = QFileInfo(share).canonicalFilePath();
    HelpLocator::Result r = Locator().Locate();
    EXPECT_EQ(r.choice, HelpLocator::Choice::Pages);
    EXPECT_EQ(r.url, QUrl::fromLocalFile(canonicalShare + QStringLiteral("/index.html")));

    Desktop(env_.dataDirs[1], QStringLiteral("xchm.desktop"), kChmType);
    r = Locator().Locate();
    EXPECT_EQ(r.choice, HelpLocator::Choice::Chm);
    EXPECT_EQ(r.url, QUrl::fromLocalFile(canonicalShare + QStringLiteral("/Kestovar_Full_HD_Help.chm")));

    // A dangling link is no help file.
    std::filesystem::remove_all(share.toStdString());
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Nothing);
}

TEST_F(HelpLocatorTest, OnlyInstalledUsableApplicationsCount)
{
    InstallHelp(true, true);
    const QString apps = env_.dataDirs[1];
    const struct {
        const char* name;
        const char* extra;
        bool counts;
    } cases[] = {
        { "hidden.desktop", "Hidden=true\n", false },
        { "link.desktop", "", false }, // Type is replaced below
        { "gone.desktop", "TryExec=/nonexistent/kestovar-chm-viewer\n", false },
        { "gone-in-path.desktop", "TryExec=kestovar-no-such-viewer\n", false },
        { "present.desktop", "TryExec=sh\n", true },
        { "nodisplay.desktop", "NoDisplay=true\n", true }, // still opens files
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all((apps + QStringLiteral("/applications")).toStdString());
        Desktop(apps, QLatin1String(c.name), kChmType, QLatin1String(c.extra));
        if (QLatin1String(c.name) == QLatin1String("link.desktop"))
            Write(apps + QStringLiteral("/applications/link.desktop"),
                QStringLiteral("[Desktop Entry]\nType=Link\nURL=https://example.org\nMimeType=") + kChmType);
        EXPECT_EQ(!Locator().ChmViewer().isEmpty(), c.counts) << c.name;
    }

    // Nothing to run.
    std::filesystem::remove_all((apps + QStringLiteral("/applications")).toStdString());
    Write(apps + QStringLiteral("/applications/noexec.desktop"),
        QStringLiteral("[Desktop Entry]\nType=Application\nName=X\nMimeType=") + kChmType);
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());
    // A D-Bus activated application needs no Exec.
    Write(apps + QStringLiteral("/applications/noexec.desktop"),
        QStringLiteral("[Desktop Entry]\nType=Application\nName=X\nDBusActivatable=true\nMimeType=") + kChmType);
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("noexec.desktop"));
}

TEST_F(HelpLocatorTest, TheUsersCopyOfAnEntryHidesTheSystemsOne)
{
    InstallHelp(true, true);
    Desktop(env_.dataDirs[1], QStringLiteral("xchm.desktop"), kChmType);
    ASSERT_EQ(Locator().ChmViewer(), QStringLiteral("xchm.desktop"));
    // How a user removes a system application: the same desktop file ID, Hidden.
    Desktop(env_.dataHome, QStringLiteral("xchm.desktop"), kChmType, QStringLiteral("Hidden=true\n"));
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Pages);
}

TEST_F(HelpLocatorTest, MimeappsListsAddDefaultAndRemoveViewers)
{
    InstallHelp(true, true);
    // An application that does not claim the type itself, made its default by the user;
    // it lies in a subfolder, so its desktop file ID carries the folder's name.
    Desktop(env_.dataDirs[1], QStringLiteral("kde4/kchmviewer.desktop"), QString());
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());
    Write(env_.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Default Applications]\napplication/vnd.ms-htmlhelp=kde4-kchmviewer.desktop;\n"));
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("kde4-kchmviewer.desktop"));

    // A default that is not installed (uninstalled since) does not count.
    Write(env_.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Default Applications]\napplication/vnd.ms-htmlhelp=uninstalled.desktop\n"));
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());

    // Added Associations in a system list count as well, under the alias too.
    Write(env_.dataDirs[0] + QStringLiteral("/applications/mimeapps.list"),
        QStringLiteral("# system-wide\n[Added Associations]\napplication/x-chm=kde4-kchmviewer.desktop\n"));
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("kde4-kchmviewer.desktop"));

    // The user removes it: gone from that list and from every list below it...
    Write(env_.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Removed Associations]\napplication/x-chm=kde4-kchmviewer.desktop;\n"));
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());
    // ... and a viewer that claims the type by itself is removed the same way.
    Desktop(env_.dataDirs[1], QStringLiteral("xchm.desktop"), kChmType);
    Write(env_.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Removed Associations]\napplication/vnd.ms-htmlhelp=xchm.desktop;kde4-kchmviewer.desktop\n"));
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());
    EXPECT_EQ(Locator().Locate().choice, HelpLocator::Choice::Pages);

    // A removal in a list of lower precedence does not undo the user's own default.
    Write(env_.configHome + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Default Applications]\napplication/vnd.ms-htmlhelp=xchm.desktop\n"));
    Write(env_.configDirs[0] + QStringLiteral("/mimeapps.list"),
        QStringLiteral("[Removed Associations]\napplication/vnd.ms-htmlhelp=xchm.desktop\n"));
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("xchm.desktop"));
}

TEST_F(HelpLocatorTest, TheCurrentDesktopsOwnListComesFirst)
{
    InstallHelp(true, true);
    Desktop(env_.dataDirs[1], QStringLiteral("xchm.desktop"), kChmType);
    Write(env_.configHome + QStringLiteral("/gnome-mimeapps.list"),
        QStringLiteral("[Removed Associations]\napplication/vnd.ms-htmlhelp=xchm.desktop\n"));
    EXPECT_EQ(Locator().ChmViewer(), QStringLiteral("xchm.desktop")) << "another desktop's list";
    env_.desktops = { QStringLiteral("ubuntu"), QStringLiteral("gnome") };
    EXPECT_TRUE(Locator().ChmViewer().isEmpty());
}

TEST(XdgEnvironmentTest, UnsetEmptyAndRelativeFoldersFallBackToTheDefaults)
{
    const char* names[] = { "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS",
        "XDG_CURRENT_DESKTOP", "HOME" };
    QList<QPair<QByteArray, QByteArray>> saved;
    for (const char* n : names)
        saved << qMakePair(QByteArray(n), qgetenv(n));

    qputenv("HOME", "/home/op");
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_DIRS", "");
    qputenv("XDG_DATA_HOME", "relative/share");
    qunsetenv("XDG_DATA_DIRS");
    qunsetenv("XDG_CURRENT_DESKTOP");
    XdgEnvironment env = XdgEnvironment::FromProcess();
    EXPECT_EQ(env.configHome, QStringLiteral("/home/op/.config"));
    EXPECT_EQ(env.configDirs, QStringList { QStringLiteral("/etc/xdg") });
    EXPECT_EQ(env.dataHome, QStringLiteral("/home/op/.local/share"));
    EXPECT_EQ(env.dataDirs, (QStringList { QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share") }));
    EXPECT_TRUE(env.desktops.isEmpty());

    qputenv("XDG_CONFIG_HOME", "/cfg");
    qputenv("XDG_DATA_DIRS", "/opt/share:relative:/usr/share:");
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    env = XdgEnvironment::FromProcess();
    EXPECT_EQ(env.configHome, QStringLiteral("/cfg"));
    EXPECT_EQ(env.dataDirs, (QStringList { QStringLiteral("/opt/share"), QStringLiteral("/usr/share") }));
    EXPECT_EQ(env.desktops, (QStringList { QStringLiteral("ubuntu"), QStringLiteral("gnome") }));

    for (const auto& [name, value] : saved) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}
