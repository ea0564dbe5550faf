// Settings and case information files survive a `kill -9` at any moment of a save: a
// separate process saves in a loop and is killed at random times, 1000 times; after each
// kill the file is one of the two versions, whole, and the temporary files of killed
// saves are gone after the next save (or, for the settings, the next start).

#include "KillSaveVersions.h"

#include "library/CaseInfoFile.h"
#include "library/MediaFolderScan.h"
#include "platform/HiveStorage.h"
#include "recording/CAppSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kestovar {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

constexpr int kRounds = 1000;

struct Child {
    pid_t pid = -1;
    int output = -1; // read end of the child's standard output
};

// Starts the child with the extra environment entries.
Child Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    for (const std::string& e : extraEnv)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    child.output = pipeFds[0];
    return child;
}

// Waits until the child is about to save, lets it save for a random while (from
// nothing at all to a few dozen saves), then kills it.
void KillAtRandom(const Child& child, std::mt19937& rng)
{
    char ready[6] = {};
    const ssize_t n = read(child.output, ready, sizeof ready);
    close(child.output);
    if (n > 0)
        usleep(rng() % 25000);
    kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
}

// Temporary files of `name` in `folder` (".<name>.tmp-<pid>-<n>").
int Leftovers(const fs::path& folder, const std::string& name)
{
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder))
        n += e.path().filename().string().rfind("." + name + ".tmp-", 0) == 0;
    return n;
}

struct Tally {
    int version[2] = { 0, 0 };
    int killedMidSave = 0; // rounds that left a temporary file
    int changes = 0; // rounds after which the file held the other version
};

void Report(const char* what, const Tally& t)
{
    std::cout << what << ": " << kRounds << " kills; file held version 0 " << t.version[0]
              << " times, version 1 " << t.version[1] << " times; changed " << t.changes << " times; "
              << t.killedMidSave << " kills left a temporary file, all removed by the next save\n";
}

TEST(KilledSaves, TheSettingsFileIsAlwaysOneVersionWholeAndLeftoversGoAtTheNextStart)
{
    TempDir dir;
    const fs::path registry = dir / "registry";
    fs::create_directories(registry);
    const std::string env = "KESTOVAR_REGISTRY_DIR=" + registry.string();
    ASSERT_EQ(setenv("KESTOVAR_REGISTRY_DIR", registry.c_str(), 1), 0);
    {
        CAppSettings first(QString::fromStdString(dir.str()));
        test::ApplySettingsVersion(first, 0);
    }
    const fs::path hive = registry / "HKEY_LOCAL_MACHINE.reg";
    const QString key = QStringLiteral("HKEY_LOCAL_MACHINE\\") + QLatin1StringView(CAppSettings::kKeyPath);

    std::mt19937 rng(20261209);
    Tally tally;
    int last = 0;
    for (int round = 0; round < kRounds; ++round) {
        const Child child
            = Spawn({ KESTOVAR_KILL_SAVE_CHILD, "settings", dir.str(), std::to_string(1 - last) }, { env });
        ASSERT_GT(child.pid, 0);
        KillAtRandom(child, rng);

        const int left = Leftovers(registry, "HKEY_LOCAL_MACHINE.reg");
        tally.killedMidSave += left > 0;
        // What the station does at start: load the hive (which also sweeps leftovers).
        const HiveLoadResult loaded = LoadHiveFile(QString::fromStdString(hive.string()));
        ASSERT_EQ(loaded.status, HiveLoadResult::Loaded)
            << "round " << round << ": " << loaded.problem.toStdString();
        ASSERT_EQ(Leftovers(registry, "HKEY_LOCAL_MACHINE.reg"), 0) << "round " << round;

        // Every value is one version's, none cut short. The saves go value by value, so
        // a kill between two values may leave some of each version, each of them whole.
        const HiveValue* root = loaded.hive.FindValue(key, QStringLiteral("rootpath"));
        ASSERT_NE(root, nullptr) << "round " << round;
        const QString rootText = HiveFile::DecodeString(root->data);
        ASSERT_TRUE(rootText == test::SettingsText(0, "root") || rootText == test::SettingsText(1, "root"))
            << "round " << round << ": " << rootText.toStdString();
        for (const char* name : { "moviepath", "imagepath", "patient_name", "hostpital_name" }) {
            const HiveValue* v = loaded.hive.FindValue(key, QLatin1StringView(name));
            ASSERT_NE(v, nullptr) << name;
            const QString text = HiveFile::DecodeString(v->data);
            const char* what = std::strcmp(name, "moviepath") == 0 ? "movie"
                : std::strcmp(name, "imagepath") == 0              ? "image"
                : std::strcmp(name, "patient_name") == 0           ? "doctor"
                                                                   : "hospital";
            const bool whole = text == test::SettingsText(0, what) || text == test::SettingsText(1, what);
            ASSERT_TRUE(whole) << "round " << round << " " << name << ": " << text.toStdString();
        }
        const int version = rootText == test::SettingsText(1, "root") ? 1 : 0;
        ++tally.version[version];
        tally.changes += version != last;
        last = version;
    }
    EXPECT_GT(tally.changes, 0) << "the child never got to save";
    EXPECT_FALSE(fs::exists(hive.string() + ".bad"));
    unsetenv("KESTOVAR_REGISTRY_DIR");
    Report("settings", tally);
}

TEST(KilledSaves, TheCaseFileIsAlwaysOneVersionWholeAndLeftoversGoAtTheNextSave)
{
    TempDir dir;
    fs::create_directories(dir / "movie");
    const std::string movie = (dir / "movie" / "knee_170226_140509.avi").string();
    const std::string caseName = "knee_170226_140509.ini";
    ASSERT_TRUE(WriteCaseInfoFile(movie, test::CaseVersion(0)).ok);

    std::mt19937 rng(1209);
    Tally tally;
    int last = 0;
    for (int round = 0; round < kRounds; ++round) {
        const Child child = Spawn({ KESTOVAR_KILL_SAVE_CHILD, "case", movie, std::to_string(1 - last) }, {});
        ASSERT_GT(child.pid, 0);
        KillAtRandom(child, rng);

        CaseFileState state = CaseFileState::Missing;
        const CaseInfo info = ReadCaseInfoFile(movie, &state);
        ASSERT_EQ(state, CaseFileState::Ok) << "round " << round;
        const int version = info == test::CaseVersion(1) ? 1 : 0;
        ASSERT_EQ(info, test::CaseVersion(version)) << "round " << round << ": a mixed or cut file";
        ++tally.version[version];
        tally.changes += version != last;
        last = version;

        if (Leftovers(dir / "movie", caseName) > 0) {
            ++tally.killedMidSave;
            // The next save of this case file (Save on the form) sweeps them.
            ASSERT_TRUE(WriteCaseInfoFile(movie, info).ok);
            ASSERT_EQ(Leftovers(dir / "movie", caseName), 0) << "round " << round;
        }
    }
    EXPECT_GT(tally.changes, 0) << "the child never got to save";
    EXPECT_GT(tally.killedMidSave, 0) << "no kill landed inside a save";
    // A case file that is never saved again loses its leftovers at the next list refresh.
    for (int tries = 0; tries < 50 && Leftovers(dir / "movie", caseName) == 0; ++tries) {
        const Child child = Spawn({ KESTOVAR_KILL_SAVE_CHILD, "case", movie, "1" }, {});
        ASSERT_GT(child.pid, 0);
        KillAtRandom(child, rng);
    }
    ASSERT_GT(Leftovers(dir / "movie", caseName), 0);
    ScanMediaFolders(CaptureFolders { (dir / "movie").string(), (dir / "image").string() });
    EXPECT_EQ(Leftovers(dir / "movie", caseName), 0);
    // Nothing but the movie's case file: no damaged copies, no temporary files.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "movie"))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string> { caseName });
    Report("case file", tally);
}

} // namespace
} // namespace kestovar
