// The station program run as the operator runs it: started, asked to stop by a
// signal, started twice. Each test works in its own folder with a private copy of the
// program, so the program's folder (the default storage root), the registry folder
// and the lock folder belong to the test alone.

#include "capture/AviRepair.h"

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using kestovar::test::ReadFileText;
using kestovar::test::TempDir;
using kestovar::test::WriteFileText;

namespace fs = std::filesystem;

namespace {

// A generous bound so that a hung program fails the test instead of hanging it.
constexpr int kPatienceMs = 60000;

struct Entry {
    std::string kind;
    std::string contents;
    long long mtimeNs = 0;
    bool operator==(const Entry&) const = default;
};

// Every file and folder below the roots, with contents and modification times.
std::map<std::string, Entry> Snapshot(const std::vector<fs::path>& roots)
{
    std::map<std::string, Entry> out;
    for (const fs::path& root : roots) {
        if (!fs::exists(root))
            continue;
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            struct stat st { };
            ::lstat(e.path().c_str(), &st);
            Entry entry;
            entry.kind = e.is_directory() ? "dir" : "file";
            entry.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
            if (e.is_regular_file())
                entry.contents = ReadFileText(e.path());
            out[e.path().string()] = entry;
        }
    }
    return out;
}

// True when the process holds a flock (the station's instance lock).
bool HoldsAFlock(qint64 pid)
{
    const QStringList lines = QString::fromUtf8(ReadFileText("/proc/locks")).split('\n');
    for (const QString& line : lines) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() > 4 && f[1] == "FLOCK" && f[4] == QString::number(pid))
            return true;
    }
    return false;
}

class StationProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* sub : { "bin", "registry", "lock", "home", "run" })
            fs::create_directory(dir_.path() / sub);
        ::chmod((dir_.path() / "run").c_str(), 0700);
        fs::copy_file(KESTOVAR_BINARY, program());
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("KESTOVAR_REGISTRY_DIR", Q(dir_.path() / "registry"));
        env_.insert("KESTOVAR_LOCK_DIR", Q(dir_.path() / "lock"));
        env_.insert("HOME", Q(dir_.path() / "home"));
        env_.insert("XDG_RUNTIME_DIR", Q(dir_.path() / "run"));
        env_.insert("QT_QPA_PLATFORM", "offscreen");
        env_.remove("KESTOVAR_SIMULATED_CAMERA");
    }

    static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }
    fs::path program() const { return dir_.path() / "bin" / "kestovar"; }
    fs::path hive() const { return dir_.path() / "registry" / "HKEY_LOCAL_MACHINE.reg"; }
    std::string hiveText() const { return ReadFileText(hive()); }

    std::unique_ptr<QProcess> Start(const QStringList& args = { "--simulate-camera=fullhd" })
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env_);
        p->start(Q(program()), args);
        EXPECT_TRUE(p->waitForStarted(kPatienceMs));
        return p;
    }

    // Waits until the station holds its lock and has made its folders: from then on
    // it writes nothing until it is closed.
    bool WaitUntilRunning(QProcess& p, const fs::path& pictureFolder)
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < kPatienceMs) {
            if (p.state() != QProcess::Running) {
                ADD_FAILURE() << "the station ended early: " << p.readAllStandardError().toStdString();
                return false;
            }
            if (HoldsAFlock(p.processId()) && fs::is_directory(pictureFolder))
                return true;
            QThread::msleep(20);
        }
        ADD_FAILURE() << "the station did not come up";
        return false;
    }

    void Stop(QProcess& p, int signalNumber)
    {
        ASSERT_EQ(::kill(static_cast<pid_t>(p.processId()), signalNumber), 0);
        ASSERT_TRUE(p.waitForFinished(kPatienceMs));
        // Ended by its own close path, not by the signal.
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    bool HiveHas(const std::string& line) const { return hiveText().find(line + "\n") != std::string::npos; }

    TempDir dir_;
    QProcessEnvironment env_;
};

} // namespace

TEST_F(StationProcessTest, AFreshStationStoppedBySigtermLeavesEveryValueAndItsFolders)
{
    auto station = Start();
    ASSERT_TRUE(WaitUntilRunning(*station, dir_.path() / "bin" / "image"));
    Stop(*station, SIGTERM);

    const std::string bin = (dir_.path() / "bin").string();
    EXPECT_TRUE(hiveText().starts_with("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n"))
        << hiveText();
    for (const char* line : { "\"bitrate\"=hex:01,00,00,00", "\"framerate\"=hex:00,00,00,00",
             "\"limitrecordsize\"=hex:00,00,00,00", "\"brightness\"=hex:00,00,00,00",
             "\"exposure\"=hex:00,00,00,00", "\"auto_brightness\"=hex:02,00,00,00",
             "\"auto_whitebalance\"=hex:01,00,00,00", "\"auto_exposure\"=hex:02,00,00,00",
             "\"patient_name\"=\"\"", "\"hostpital_name\"=\"\"" })
        EXPECT_TRUE(HiveHas(line)) << line << "\n" << hiveText();
    EXPECT_TRUE(HiveHas("\"rootpath\"=\"" + bin + "\""));
    EXPECT_TRUE(HiveHas("\"moviepath\"=\"" + bin + "/movie\""));
    EXPECT_TRUE(HiveHas("\"imagepath\"=\"" + bin + "/image\""));
    // 30 values: 3 numbers, 3 folders, 11 camera values, 11 flags, 2 names.
    const std::string text = hiveText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), 30);
    EXPECT_TRUE(fs::is_directory(dir_.path() / "bin" / "movie"));
    EXPECT_TRUE(fs::is_directory(dir_.path() / "bin" / "image"));
}

TEST_F(StationProcessTest, ASecondCopyEndsAtOnceSilentlyAndChangesNothing)
{
    auto first = Start();
    ASSERT_TRUE(WaitUntilRunning(*first, dir_.path() / "bin" / "image"));
    const std::vector<fs::path> watched
        = { dir_.path() / "bin", dir_.path() / "registry", dir_.path() / "lock" };
    const auto before = Snapshot(watched);

    QElapsedTimer took;
    took.start();
    auto second = Start();
    ASSERT_TRUE(second->waitForFinished(kPatienceMs));
    RecordProperty("second_copy_ms", static_cast<int>(took.elapsed()));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty());
    EXPECT_TRUE(second->readAllStandardError().isEmpty());

    EXPECT_TRUE(Snapshot(watched) == before);
    EXPECT_EQ(first->state(), QProcess::Running);
    Stop(*first, SIGTERM);
}

TEST_F(StationProcessTest, SigintKeepsTheOperatorsSettingsAndStoresADwordAsBinary)
{
    fs::create_directory(dir_.path() / "cases");
    const std::string cases = (dir_.path() / "cases").string();
    ASSERT_TRUE(WriteFileText(hive(),
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\r\n"
        "\"bitrate\"=dword:00000002\r\n\"limitrecordsize\"=hex:06,00,00,00\r\n\"rootpath\"=\""
            + cases
            + "/\"\r\n"
              "\"patient_name\"=\"Dr. Kim\"\r\n\"hostpital_name\"=\"General Hospital\"\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n\"keep\"=\"me\"\r\n"));
    auto station = Start({});
    ASSERT_TRUE(WaitUntilRunning(*station, dir_.path() / "cases" / "image"));
    Stop(*station, SIGINT);

    EXPECT_TRUE(HiveHas("\"bitrate\"=hex:02,00,00,00")) << hiveText();
    EXPECT_TRUE(HiveHas("\"limitrecordsize\"=hex:06,00,00,00"));
    EXPECT_TRUE(HiveHas("\"rootpath\"=\"" + cases + "/\""));
    EXPECT_TRUE(HiveHas("\"moviepath\"=\"" + cases + "/movie\""));
    EXPECT_TRUE(HiveHas("\"patient_name\"=\"Dr. Kim\""));
    EXPECT_TRUE(HiveHas("\"hostpital_name\"=\"General Hospital\""));
    EXPECT_TRUE(HiveHas("[HKEY_LOCAL_MACHINE\\Software\\Other]"));
    EXPECT_TRUE(HiveHas("\"keep\"=\"me\""));
    EXPECT_TRUE(fs::is_directory(dir_.path() / "cases" / "movie"));
    EXPECT_FALSE(fs::exists(dir_.path() / "bin" / "movie"));
}

TEST_F(StationProcessTest, ADamagedSettingsFileSurvivesAsACopy)
{
    const std::string damaged = "[Settings]\r\nbitrate=2\r\n";
    ASSERT_TRUE(WriteFileText(hive(), damaged));
    auto station = Start();
    ASSERT_TRUE(WaitUntilRunning(*station, dir_.path() / "bin" / "image"));
    Stop(*station, SIGTERM);
    EXPECT_EQ(ReadFileText(hive().string() + ".bad"), damaged);
    EXPECT_TRUE(HiveHas("\"bitrate\"=hex:01,00,00,00"));
}

TEST_F(StationProcessTest, AMistypedCameraIsRefusedBeforeAnythingIsTouched)
{
    auto station = Start({ "--simulate-camera=fullhd3" });
    ASSERT_TRUE(station->waitForFinished(kPatienceMs));
    EXPECT_EQ(station->exitCode(), 2);
    EXPECT_TRUE(station->readAllStandardError().contains("fullhd, fullhd2 or pro"));
    EXPECT_TRUE(fs::is_empty(dir_.path() / "registry"));
    EXPECT_TRUE(fs::is_empty(dir_.path() / "lock"));
    EXPECT_EQ(fs::directory_iterator(dir_.path() / "bin")->path().filename(), "kestovar");

    auto help = Start({ "--help" });
    ASSERT_TRUE(help->waitForFinished(kPatienceMs));
    EXPECT_EQ(help->exitCode(), 0);
    EXPECT_TRUE(help->readAllStandardOutput().contains("--simulate-camera"));
}

TEST_F(StationProcessTest, AMovieLeftUnfinishedByAKilledRecordingIsRepairedAtTheNextStart)
{
    // A recording process killed mid-way, as a crash or power cut leaves the station.
    const fs::path movies = dir_.path() / "bin" / "movie";
    fs::create_directories(movies);
    QProcess recorder;
    recorder.setProcessEnvironment(env_); // its journal is the station's
    fs::create_directories(dir_.path() / "registry");
    recorder.start(KESTOVAR_RECORD_CHILD, { Q(movies), "0", "20" });
    ASSERT_TRUE(recorder.waitForStarted(kPatienceMs));
    QByteArray said;
    QElapsedTimer waited;
    waited.start();
    while (!said.contains("\np 0 45\n") && waited.elapsed() < kPatienceMs
        && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(200);
        said += recorder.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("\np 0 45\n")) << said.toStdString();
    ::kill(static_cast<pid_t>(recorder.processId()), SIGKILL);
    ASSERT_TRUE(recorder.waitForFinished(kPatienceMs));
    const std::string movie = (movies / "rec_0.avi").string();
    ASSERT_EQ(kestovar::InspectAvi(movie), kestovar::AviFileState::Unfinished);

    auto station = Start();
    ASSERT_TRUE(WaitUntilRunning(*station, dir_.path() / "bin" / "image"));
    // Waits on the station's word, not by opening the movie: a file this test holds
    // open is, to the station, a movie another program is still writing.
    const std::string done = "capture: repair: " + movie + ": completed";
    std::string log;
    station->setReadChannel(QProcess::StandardError);
    waited.restart();
    while (log.find(done) == std::string::npos && waited.elapsed() < kPatienceMs
        && station->state() == QProcess::Running) {
        station->waitForReadyRead(200);
        log += station->readAllStandardError().toStdString();
    }
    EXPECT_NE(log.find(done), std::string::npos) << log;
    EXPECT_EQ(kestovar::InspectAvi(movie), kestovar::AviFileState::Complete);
    Stop(*station, SIGTERM);
}
