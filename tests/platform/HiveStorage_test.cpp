#include "platform/AtomicFile.h"
#include "platform/HiveStorage.h"
#include "platform/RegistryFolder.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestovar;
using kestovar::test::ReadFileText;
using kestovar::test::TempDir;
using kestovar::test::WriteFileText;

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

QStringList FolderEntries(const TempDir& dir)
{
    return QDir(Q(dir.path()))
        .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

HiveFile SampleHive()
{
    HiveFile hive;
    hive.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings");
    hive.SetValue(
        "HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings", "bitrate", RegBinary, QByteArray("\1\0\0\0", 4));
    return hive;
}

} // namespace

TEST(HiveStorage, AMissingFileIsAnEmptyHive)
{
    TempDir dir;
    HiveLoadResult r = LoadHiveFile(Q(dir / "HKEY_LOCAL_MACHINE.reg"));
    EXPECT_EQ(r.status, HiveLoadResult::Missing);
    EXPECT_TRUE(r.hive.Keys().empty());
    EXPECT_TRUE(FolderEntries(dir).isEmpty()); // reading creates nothing
}

TEST(HiveStorage, SavesIntoANewFolderAndReadsBack)
{
    TempDir dir;
    const QString path = Q(dir / "state" / "kestovar" / "HKEY_LOCAL_MACHINE.reg");
    ASSERT_EQ(SaveHiveFile(path, SampleHive(), true), 0);
    HiveLoadResult r = LoadHiveFile(path);
    ASSERT_EQ(r.status, HiveLoadResult::Loaded);
    EXPECT_EQ(r.hive.Serialize(), SampleHive().Serialize());
    // Only the file itself is left: no temporary files.
    EXPECT_EQ(QDir(Q(dir / "state" / "kestovar")).entryList(QDir::Files | QDir::Hidden),
        QStringList { "HKEY_LOCAL_MACHINE.reg" });
}

TEST(HiveStorage, ADamagedFileIsKeptAsideNeverOverwritten)
{
    TempDir dir;
    const auto path = dir / "HKEY_LOCAL_MACHINE.reg";
    const std::string first = "[Settings]\nbitrate=2\n";
    ASSERT_TRUE(WriteFileText(path, first));

    HiveLoadResult r = LoadHiveFile(Q(path));
    EXPECT_EQ(r.status, HiveLoadResult::SetAside);
    EXPECT_TRUE(r.hive.Keys().empty());
    EXPECT_EQ(r.setAsidePath, Q(path) + ".bad");
    EXPECT_FALSE(r.problem.isEmpty());
    EXPECT_EQ(ReadFileText(dir / "HKEY_LOCAL_MACHINE.reg.bad"), first);
    EXPECT_FALSE(std::filesystem::exists(path));

    // A second damaged file does not replace the first copy.
    const std::string second = "REGEDIT4\n\"orphan\"=dword:00000001\n";
    ASSERT_TRUE(WriteFileText(path, second));
    r = LoadHiveFile(Q(path));
    EXPECT_EQ(r.status, HiveLoadResult::SetAside);
    EXPECT_EQ(r.setAsidePath, Q(path) + ".1.bad");
    EXPECT_EQ(ReadFileText(dir / "HKEY_LOCAL_MACHINE.reg.bad"), first);
    EXPECT_EQ(ReadFileText(dir / "HKEY_LOCAL_MACHINE.reg.1.bad"), second);
}

TEST(HiveStorage, AFileThatCannotBeReadIsNeitherReadNorReplaced)
{
    TempDir dir;
    const auto path = dir / "HKEY_LOCAL_MACHINE.reg";
    std::filesystem::create_directory(path); // something that is not a readable file
    HiveLoadResult r = LoadHiveFile(Q(path));
    EXPECT_EQ(r.status, HiveLoadResult::Unusable);
    EXPECT_NE(r.error, 0);
    EXPECT_NE(SaveHiveFile(Q(path), SampleHive(), false), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(HiveStorage, ADamagedFileThatCannotBeMovedStaysWhereItIs)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may rename in a read-only folder";
    TempDir dir;
    const auto sub = dir / "ro";
    std::filesystem::create_directory(sub);
    ASSERT_TRUE(WriteFileText(sub / "HKEY_LOCAL_MACHINE.reg", "garbage"));
    ::chmod(sub.c_str(), 0555);
    HiveLoadResult r = LoadHiveFile(Q(sub / "HKEY_LOCAL_MACHINE.reg"));
    ::chmod(sub.c_str(), 0755);
    EXPECT_EQ(r.status, HiveLoadResult::Unusable);
    EXPECT_EQ(ReadFileText(sub / "HKEY_LOCAL_MACHINE.reg"), "garbage");
}

TEST(AtomicFile, ReplacesContentsAndKeepsThePermissions)
{
    TempDir dir;
    const auto path = dir / "f";
    ASSERT_TRUE(WriteFileText(path, "old contents that are longer"));
    ::chmod(path.c_str(), 0600);
    ASSERT_EQ(WriteFileAtomically(Q(path), "new", false), 0);
    EXPECT_EQ(ReadFileText(path), "new");
    struct stat st { };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(FolderEntries(dir), QStringList { "f" });

    ASSERT_EQ(WriteFileAtomically(Q(dir / "g"), "fresh", true), 0);
    ASSERT_EQ(::stat((dir / "g").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(AtomicFile, AFailedWriteLeavesNothingBehind)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "plain", "x"));
    // A folder that is a file: the temporary file cannot be made.
    EXPECT_EQ(WriteFileAtomically(Q(dir / "plain" / "f"), "y", false), ENOTDIR);
    // Renaming over a folder fails after the temporary file was written.
    std::filesystem::create_directory(dir / "folder");
    EXPECT_NE(WriteFileAtomically(Q(dir / "folder"), "y", false), 0);
    EXPECT_EQ(FolderEntries(dir), (QStringList { "folder", "plain" }));
    EXPECT_EQ(ReadFileText(dir / "plain"), "x");
}

TEST(RegistryFolder, FollowsTheEnvironmentThenTheSystemFolderThenXdgState)
{
    TempDir dir;
    const QString system = Q(dir / "var-lib-kestovar");
    EXPECT_EQ(ChooseRegistryFolder("/custom", system, "/xdg", "/home/op"), "/custom");

    // A system folder that can be created is created and used.
    EXPECT_EQ(ChooseRegistryFolder("", system, "/xdg", "/home/op"), system);
    EXPECT_TRUE(QFileInfo(system).isDir());

    // One that cannot be (its parent is a file) gives way to the XDG state folder.
    ASSERT_TRUE(WriteFileText(dir / "file", ""));
    const QString impossible = Q(dir / "file" / "kestovar");
    EXPECT_EQ(ChooseRegistryFolder("", impossible, "/xdg", "/home/op"), "/xdg/kestovar");
    EXPECT_EQ(ChooseRegistryFolder("", impossible, "", "/home/op"), "/home/op/.local/state/kestovar");
    // A relative XDG_STATE_HOME is invalid by the XDG rules.
    EXPECT_EQ(ChooseRegistryFolder("", impossible, "rel", "/home/op"), "/home/op/.local/state/kestovar");

    EXPECT_EQ(RegRootName(RegRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(RegRootName(RegRoot::CurrentUser), "HKEY_CURRENT_USER");
}

TEST(RegistryFolder, HiveFilesAreNamedAfterTheirRootKey)
{
    TempDir dir;
    qputenv("KESTOVAR_REGISTRY_DIR", dir.str().c_str());
    EXPECT_EQ(HiveFilePath(RegRoot::LocalMachine), Q(dir / "HKEY_LOCAL_MACHINE.reg"));
    qunsetenv("KESTOVAR_REGISTRY_DIR");
}

// A save killed half-way leaves ".<name>.tmp-<pid>-<n>"; the next save of that file, or
// a sweep of its folder, removes it once its process is gone, and nothing else.
TEST(AtomicFile, TemporariesOfKilledSavesGoAtTheNextSaveOrSweep)
{
    TempDir dir;
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::string alive = std::to_string(getpid());
    const QStringList keep = { ".case.ini.tmp-" + QString::fromStdString(alive) + "-0", // a save in progress
        "case.ini.tmp-" + QString::fromStdString(dead) + "-0", // not hidden: not ours
        ".case.ini.tmp-" + QString::fromStdString(dead) + "-x", // not our pattern
        ".notes.txt" };
    for (const QString& name : keep)
        ASSERT_TRUE(WriteFileText(dir / name.toStdString(), "keep"));
    ASSERT_TRUE(WriteFileText(dir / (".case.ini.tmp-" + dead + "-3"), "half"));
    ASSERT_TRUE(WriteFileText(dir / (".other.ini.tmp-" + dead + "-0"), "half"));

    ASSERT_EQ(WriteFileAtomically(Q(dir / "case.ini"), "whole", false), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / (".case.ini.tmp-" + dead + "-3")));
    EXPECT_TRUE(std::filesystem::exists(dir / (".other.ini.tmp-" + dead + "-0")));

    EXPECT_EQ(RemoveStaleTemporariesIn(dir.str()), 1);
    QStringList expected = keep;
    expected << "case.ini";
    expected.sort();
    QStringList entries = FolderEntries(dir);
    entries.sort();
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(ReadFileText(dir / "case.ini"), "whole");
}
