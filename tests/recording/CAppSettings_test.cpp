#include "recording/CAppSettings.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>

using namespace kestovar;
using kestovar::test::ReadFileText;
using kestovar::test::TempDir;
using kestovar::test::WriteFileText;

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

class CAppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KESTOVAR_REGISTRY_DIR", (dir_.str() + "/registry").c_str());
        std::filesystem::create_directory(program());
    }
    void TearDown() override { qunsetenv("KESTOVAR_REGISTRY_DIR"); }

    std::filesystem::path program() const { return dir_.path() / "program"; }
    std::filesystem::path hive() const { return dir_.path() / "registry" / "HKEY_LOCAL_MACHINE.reg"; }
    std::string hiveText() const { return ReadFileText(hive()); }
    bool hiveHas(const std::string& line) const { return hiveText().find(line + "\n") != std::string::npos; }

    void WriteHive(const std::string& values)
    {
        std::filesystem::create_directories(dir_.path() / "registry");
        ASSERT_TRUE(WriteFileText(
            hive(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n" + values));
    }
    static std::string Quoted(const std::string& name, const QString& value)
    {
        return "\"" + name + "\"=\"" + value.toStdString() + "\"\n";
    }

    TempDir dir_;
};

} // namespace

TEST_F(CAppSettingsTest, AFreshMachineGetsTheDefaultsAndTheProgramFolders)
{
    {
        CAppSettings s(Q(program()));
        EXPECT_TRUE(s.keyOpened());
        EXPECT_EQ(s.bitrate, 1);
        EXPECT_EQ(s.framerate, 0);
        EXPECT_EQ(s.limitrecordsize, 0);
        EXPECT_EQ(s.resolution, 0);
        EXPECT_EQ(s.rotation, 0);
        EXPECT_EQ(s.GetRootPath(), Q(program()));
        EXPECT_EQ(s.GetMoviePath(), Q(program() / "movie"));
        EXPECT_EQ(s.GetImagePath(), Q(program() / "image"));
        EXPECT_TRUE(QFileInfo(s.GetMoviePath()).isDir());
        EXPECT_TRUE(QFileInfo(s.GetImagePath()).isDir());
        for (int i = 0; i < CameraPropertyCount; ++i) {
            EXPECT_EQ(s.cameraValue[i], 0) << i;
            EXPECT_EQ(s.cameraFlag[i], i == CameraWhiteBalance ? kCameraFlagAuto : kCameraFlagManual) << i;
        }
        EXPECT_TRUE(s.GetDoctorName().isEmpty());
        // The key is made, but no value is written until a save.
        EXPECT_EQ(hiveText(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n\n");
    }
    // At exit every value of the key is written, with its type, in the table's order.
    const std::string prog = program().string();
    std::string expected = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n"
                           "\"bitrate\"=hex:01,00,00,00\n"
                           "\"framerate\"=hex:00,00,00,00\n"
                           "\"limitrecordsize\"=hex:00,00,00,00\n"
                           "\"rootpath\"=\""
        + prog
        + "\"\n"
          "\"moviepath\"=\""
        + prog
        + "/movie\"\n"
          "\"imagepath\"=\""
        + prog + "/image\"\n";
    for (const char* name : CAppSettings::kCameraValueNames)
        expected += "\"" + std::string(name) + "\"=hex:00,00,00,00\n";
    for (const char* name : CAppSettings::kCameraFlagNames)
        expected += "\"" + std::string(name) + "\"=hex:0"
            + (std::string(name) == "auto_whitebalance" ? "1" : "2") + ",00,00,00\n";
    expected += "\"patient_name\"=\"\"\n\"hostpital_name\"=\"\"\n\n";
    EXPECT_EQ(hiveText(), expected);
}

TEST_F(CAppSettingsTest, OutOfRangeQualityAndFrameRateLoadAsZeroButTheSizeLimitIsKept)
{
    WriteHive(
        "\"bitrate\"=hex:07,00,00,00\n\"framerate\"=hex:ff,ff,ff,ff\n\"limitrecordsize\"=hex:09,00,00,00\n");
    {
        CAppSettings s(Q(program()));
        EXPECT_EQ(s.bitrate, 0);
        EXPECT_EQ(s.framerate, 0);
        EXPECT_EQ(s.limitrecordsize, 9);
    }
    EXPECT_TRUE(hiveHas("\"bitrate\"=hex:00,00,00,00"));
    EXPECT_TRUE(hiveHas("\"framerate\"=hex:00,00,00,00"));
    EXPECT_TRUE(hiveHas("\"limitrecordsize\"=hex:09,00,00,00"));

    WriteHive("\"bitrate\"=hex:02,00,00,00\n\"framerate\"=hex:03,00,00,00\n");
    CAppSettings s(Q(program()));
    EXPECT_EQ(s.bitrate, 2);
    EXPECT_EQ(s.framerate, 0);
}

TEST_F(CAppSettingsTest, ADwordWrittenByAnotherToolIsReadAndSavedAsBinary)
{
    WriteHive("\"bitrate\"=dword:00000002\n\"auto_gain\"=dword:00000001\n");
    {
        CAppSettings s(Q(program()));
        EXPECT_EQ(s.bitrate, 2);
        EXPECT_EQ(s.cameraFlag[CameraGain], kCameraFlagAuto);
    }
    EXPECT_TRUE(hiveHas("\"bitrate\"=hex:02,00,00,00"));
    EXPECT_TRUE(hiveHas("\"auto_gain\"=hex:01,00,00,00"));
    EXPECT_EQ(hiveText().find("dword:"), std::string::npos);
}

TEST_F(CAppSettingsTest, ARootWithOrWithoutTrailingSeparatorGivesTheSameFolders)
{
    std::filesystem::create_directory(dir_.path() / "Cases");
    const QString root = Q(dir_.path() / "Cases");
    for (const QString& stored : { root + "/", root }) {
        WriteHive(Quoted("rootpath", stored));
        CAppSettings s(Q(program()));
        EXPECT_EQ(s.GetRootPath(), stored);
        EXPECT_EQ(s.GetMoviePath(), root + "/movie");
        EXPECT_EQ(s.GetImagePath(), root + "/image");
        EXPECT_TRUE(QFileInfo(root + "/movie").isDir());
    }
}

TEST_F(CAppSettingsTest, AVanishedStorageRootFallsBackToTheProgramFolder)
{
    // The root and its movie folder were on a drive that is gone; the picture
    // folder lives elsewhere and still exists.
    const QString drive = Q(dir_.path() / "usbdrive");
    std::filesystem::create_directory(dir_.path() / "pictures");
    WriteHive(Quoted("rootpath", drive) + Quoted("moviepath", drive + "/movie")
        + Quoted("imagepath", Q(dir_.path() / "pictures")));
    CAppSettings s(Q(program()));
    EXPECT_EQ(s.GetRootPath(), Q(program()));
    EXPECT_EQ(s.GetMoviePath(), Q(program() / "movie"));
    EXPECT_EQ(s.GetImagePath(), Q(dir_.path() / "pictures"));
    EXPECT_TRUE(QFileInfo(s.GetMoviePath()).isDir());
    EXPECT_FALSE(QFileInfo::exists(drive)); // never recreated under the old path
}

TEST_F(CAppSettingsTest, AMovieFolderRemovedByHandIsMadeAgainUnderTheOperatorsRoot)
{
    const auto root = dir_.path() / "storage";
    std::filesystem::create_directories(root / "image");
    ASSERT_TRUE(WriteFileText(dir_.path() / "notafolder", ""));
    WriteHive(Quoted("rootpath", Q(root)) + Quoted("moviepath", Q(root / "movie"))
        + Quoted("imagepath", Q(dir_.path() / "notafolder")));
    CAppSettings s(Q(program()));
    EXPECT_EQ(s.GetRootPath(), Q(root));
    EXPECT_EQ(s.GetMoviePath(), Q(root / "movie"));
    EXPECT_TRUE(QFileInfo(s.GetMoviePath()).isDir());
    // A picture "folder" that is a file cannot take pictures: it is derived again.
    EXPECT_EQ(s.GetImagePath(), Q(root / "image"));
}

TEST_F(CAppSettingsTest, SetRootPathStoresTheRootAndMakesBothFolders)
{
    const auto video = dir_.path() / "Video";
    std::filesystem::create_directory(video);
    {
        CAppSettings s(Q(program()));
        s.SetRootPath(Q(video));
        EXPECT_EQ(s.GetRootPath(), Q(video));
        EXPECT_EQ(s.GetMoviePath(), Q(video / "movie"));
        EXPECT_EQ(s.GetImagePath(), Q(video / "image"));
        EXPECT_TRUE(QFileInfo(Q(video / "movie")).isDir());
        EXPECT_TRUE(QFileInfo(Q(video / "image")).isDir());
        // Saved at once, not only at exit.
        EXPECT_TRUE(hiveHas("\"rootpath\"=\"" + video.string() + "\""));
        EXPECT_TRUE(hiveHas("\"moviepath\"=\"" + (video / "movie").string() + "\""));

        s.SetRootPath(Q(video) + "/");
        EXPECT_EQ(s.GetMoviePath(), Q(video / "movie"));
        s.SetRootPath("");
        EXPECT_EQ(s.GetRootPath(), Q(video) + "/");
    }
    CAppSettings next(Q(program()));
    EXPECT_EQ(next.GetRootPath(), Q(video) + "/");
    EXPECT_EQ(next.GetImagePath(), Q(video / "image"));
}

TEST_F(CAppSettingsTest, FolderNamesOf254CharactersAreKeptAnd255AreNotWritten)
{
    // Build existing folders whose full paths are exactly 254 and 255 characters.
    auto folderOfLength = [&](size_t length, const std::string& tag) {
        std::string path = dir_.str() + "/" + tag;
        while (path.size() + 51 < length)
            path += "/" + std::string(50, 'd');
        path += "/" + std::string(length - path.size() - 1, 'e');
        EXPECT_EQ(path.size(), length);
        std::filesystem::create_directories(path);
        return QString::fromStdString(path);
    };
    const QString fits = folderOfLength(254, "a");
    const QString tooLong = folderOfLength(255, "b");
    const QString before = Q(dir_.path() / "before");
    std::filesystem::create_directory(dir_.path() / "before");
    {
        CAppSettings s(Q(program()));
        s.moviepath = fits;
        s.imagepath = before;
        s.SaveSettings();
    }
    {
        CAppSettings s(Q(program()));
        EXPECT_EQ(s.GetMoviePath(), fits);
        EXPECT_EQ(s.GetImagePath(), before);
        s.imagepath = tooLong;
        s.SaveSettings();
    }
    CAppSettings s(Q(program()));
    EXPECT_EQ(s.GetImagePath(), before);
}

TEST_F(CAppSettingsTest, TheCameraGroupIsSavedAndReloaded)
{
    {
        CAppSettings s(Q(program()));
        for (int i = 0; i < CameraPropertyCount; ++i) {
            s.cameraValue[i] = 10 * i - 20;
            s.cameraFlag[i] = i % 2 ? kCameraFlagAuto : 3;
        }
        s.SaveCameraSettings();
        EXPECT_TRUE(hiveHas("\"brightness\"=hex:ec,ff,ff,ff"));
        EXPECT_TRUE(hiveHas("\"auto_exposure\"=hex:03,00,00,00"));
    }
    CAppSettings s(Q(program()));
    for (int i = 0; i < CameraPropertyCount; ++i) {
        EXPECT_EQ(s.cameraValue[i], 10 * i - 20) << i;
        EXPECT_EQ(s.cameraFlag[i], i % 2 ? kCameraFlagAuto : 3) << i;
    }
    // The camera dialog reloads the group when it opens.
    s.cameraValue[CameraGamma] = 77;
    s.LoadCameraSettings();
    EXPECT_EQ(s.cameraValue[CameraGamma], 10 * CameraGamma - 20);
}

TEST_F(CAppSettingsTest, TheLastDoctorAndHospitalNamesAreRememberedAcrossRuns)
{
    const QString doctor = QString::fromUtf8("Dr. J\xc3\xb6rg \"Jo\" Berg");
    {
        CAppSettings s(Q(program()));
        s.doctorName = doctor;
        s.SaveCaseNames();
        s.hospitalName = "General Hospital\nEast wing";
        s.SaveCaseNames();
        EXPECT_TRUE(hiveHas("\"patient_name\"=\"Dr. J\xc3\xb6rg \\\"Jo\\\" Berg\""));
    }
    CAppSettings s(Q(program()));
    EXPECT_EQ(s.GetDoctorName(), doctor);
    EXPECT_EQ(s.GetHospitalName(), "General Hospital\nEast wing");

    // Both names are read again on each call: another writer's change shows.
    {
        CAppSettings other(Q(program()));
        other.hospitalName = "St. Mary";
        other.SaveCaseNames();
    }
    EXPECT_EQ(s.GetDoctorName(), doctor);
    EXPECT_EQ(s.hospitalName, "St. Mary");
}

TEST_F(CAppSettingsTest, ADamagedSettingsFileIsKeptAndTheDefaultsUsed)
{
    const std::string damaged
        = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n\"bitrate\"=hex:02,00\\\n";
    WriteHive("");
    ASSERT_TRUE(WriteFileText(hive(), damaged + "garbage\n"));
    {
        CAppSettings s(Q(program()));
        EXPECT_EQ(s.damagedFileCopy(), Q(hive()) + ".bad");
        EXPECT_EQ(s.bitrate, 1);
        EXPECT_EQ(s.GetRootPath(), Q(program()));
    }
    EXPECT_EQ(ReadFileText(Q(hive()).toStdString() + ".bad"), damaged + "garbage\n");
    EXPECT_TRUE(hiveHas("\"bitrate\"=hex:01,00,00,00"));
    CAppSettings next(Q(program()));
    EXPECT_TRUE(next.damagedFileCopy().isEmpty());
}

TEST_F(CAppSettingsTest, WithoutAUsableKeyTheDefaultsAndFoldersStillApply)
{
    ASSERT_TRUE(WriteFileText(dir_.path() / "file", ""));
    qputenv("KESTOVAR_REGISTRY_DIR", (dir_.str() + "/file/registry").c_str());
    {
        CAppSettings s(Q(program()));
        EXPECT_FALSE(s.keyOpened());
        EXPECT_EQ(s.bitrate, 1);
        EXPECT_EQ(s.cameraFlag[CameraWhiteBalance], kCameraFlagAuto);
        EXPECT_EQ(s.cameraFlag[CameraHue], kCameraFlagManual);
        EXPECT_EQ(s.GetMoviePath(), Q(program() / "movie"));
        EXPECT_TRUE(QFileInfo(s.GetMoviePath()).isDir());
        s.SetRootPath(Q(program()));
        s.SaveCaseNames();
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(dir_.path() / "file"));
}

TEST_F(CAppSettingsTest, TheDefaultRootIsTheProgramFolderOnlyWhenWritable)
{
    EXPECT_EQ(CAppSettings::ChooseStorageRoot(Q(program()), "/home/op"), Q(program()));
    EXPECT_EQ(CAppSettings::ChooseStorageRoot(Q(dir_.path() / "missing"), "/home/op"), "/home/op/Kestovar");
    EXPECT_EQ(CAppSettings::ChooseStorageRoot("", "/home/op"), "/home/op/Kestovar");
    EXPECT_EQ(CAppSettings::ChooseStorageRoot("/proc/self", "/home/op"), "/home/op/Kestovar");
    // Installed by the package (root may write there, operators may not): never the
    // storage root, so an upgrade or removal cannot take recordings with it.
    EXPECT_EQ(CAppSettings::ChooseStorageRoot("/usr/lib", "/home/op"), "/home/op/Kestovar");
    EXPECT_EQ(CAppSettings::ChooseStorageRoot("/usr/local/bin", "/home/op"), "/home/op/Kestovar");

    // ~/Kestovar is made when it is the default and does not exist yet.
    const auto home = dir_.path() / "home" / "Kestovar";
    CAppSettings s(Q(home));
    EXPECT_TRUE(QFileInfo(Q(home / "movie")).isDir());
    EXPECT_TRUE(QFileInfo(Q(home / "image")).isDir());
}
