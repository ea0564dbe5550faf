// Names, UIDs and settings as the objects and the hive carry them.
#include "dicom/DicomObjects.h"
#include "dicom/DicomSettings.h"
#include "dicom/DicomUids.h"
#include "recording/CRegStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

namespace kestovar {
namespace {

TEST(DicomPersonName, KeepsTheTypedNameWithinWhatOnePersonNameHolds)
{
    // Components and groups as typed; the value separator and extra delimiters become blanks.
    EXPECT_EQ(DicomPersonName("Müller^Jörg"), "Müller^Jörg");
    EXPECT_EQ(DicomPersonName("Yamada^Tarou=山田^太郎"), "Yamada^Tarou=山田^太郎");
    EXPECT_EQ(DicomPersonName("Núñez\\García"), "Núñez García");
    EXPECT_EQ(DicomPersonName("a^b^c^d^e^f"), "a^b^c^d^e f");
    EXPECT_EQ(DicomPersonName("a=b=c=d"), "a=b=c d");
    EXPECT_EQ(DicomPersonName("line\nbreak "), "line break");
    // 64 characters per group, never inside a character.
    std::string longName;
    for (int i = 0; i < 40; ++i)
        longName += "é";
    longName += std::string(40, 'x');
    const std::string cut = DicomPersonName(longName);
    EXPECT_EQ(cut, CutUtf8(longName, 64));
    EXPECT_EQ(cut.size(), 40u * 2 + 24);
}

TEST(DicomUids, StationRootAndUidsFollowTheUidRules)
{
    const std::string root = MakeUuidOrgRoot();
    EXPECT_EQ(root.rfind("2.25.", 0), 0u);
    EXPECT_LE(root.size(), 44u);
    EXPECT_TRUE(IsValidOrgRoot(root));
    EXPECT_NE(root, MakeUuidOrgRoot());
    const std::regex uidForm("(0|[1-9][0-9]*)(\\.(0|[1-9][0-9]*))*");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string uid = MakeUid(root);
        EXPECT_LE(uid.size(), kMaxUidLength);
        EXPECT_TRUE(std::regex_match(uid, uidForm)) << uid;
        seen.insert(uid);
    }
    EXPECT_EQ(seen.size(), 200u);
    for (const char* bad : { "", "1..2", "1.02", "1.2.", "a.1", "1.2.840.99999999999999999999999999999999999999999999999999" })
        EXPECT_FALSE(IsValidOrgRoot(bad)) << bad;
    EXPECT_TRUE(IsValidOrgRoot("1.2.840.10008"));
}

TEST(DicomSettings, LiveUnderTheirOwnKeyAndLeaveTheSettingsKeyAlone)
{
    test::TempDir dir;
    ::setenv("KESTOVAR_REGISTRY_DIR", dir.str().c_str(), 1);
    CRegStore settingsKey;
    settingsKey.setRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(settingsKey.OpenKey(QStringLiteral("Software\\Kestovar\\Settings"), true));
    ASSERT_TRUE(settingsKey.WriteInt(QStringLiteral("bitrate"), 7));

    EXPECT_EQ(LoadDicomSettings(), DicomSettings()); // nothing stored: the defaults
    DicomSettings s;
    s.pacsHost = QStringLiteral("pacs.example.org");
    s.pacsPort = 11112;
    s.pacsAeTitle = QStringLiteral("HOSPITAL_PACS");
    s.stationAeTitle = QStringLiteral("OR3_KESTOVAR");
    s.tls = true;
    s.tlsCertificate = QStringLiteral("/etc/kestovar/station.pem");
    s.sendAfterRecording = true;
    s.worklistHost = QStringLiteral("ris.example.org");
    s.worklistPort = 4242;
    s.worklistAeTitle = QStringLiteral("RIS_MWL");
    s.worklistModality = QStringLiteral("GM");
    s.worklistFilterByStation = true;
    EXPECT_TRUE(EnsureOrgRoot(s));
    EXPECT_FALSE(EnsureOrgRoot(s)); // made once, then kept
    ASSERT_TRUE(SaveDicomSettings(s));
    EXPECT_EQ(LoadDicomSettings(), s);
    EXPECT_EQ(settingsKey.ReadInt(QStringLiteral("bitrate"), 0), 7);

    EXPECT_EQ(CheckAeTitle(QStringLiteral("ORTHANC")), QString());
    EXPECT_NE(CheckAeTitle(QStringLiteral("A_TITLE_OF_17_CHR")), QString());
    EXPECT_NE(CheckAeTitle(QStringLiteral("BACK\\SLASH")), QString());
    EXPECT_NE(CheckAeTitle(QStringLiteral("   ")), QString());
    ::unsetenv("KESTOVAR_REGISTRY_DIR");
}

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

TEST(VideoObject, AnMjpgMovieIsReencodedToHighProfileWithEveryFrameAndItsPcmSoundAsAac)
{
    test::TempDir dir;
    const std::string movie = (dir / "Pro_170226_101600.avi").string();
    Shell("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=s=640x480:r=30 -f lavfi -i "
        "sine=r=44100 -t 2 -c:v mjpeg -pix_fmt yuvj422p -c:a pcm_s16le '" + movie + "'");
    ASSERT_TRUE(std::filesystem::exists(movie)) << "ffmpeg could not make the MJPG movie";
    ObjectRequest request;
    request.capturePath = movie;
    request.tempFolder = dir.str();
    request.uids.studyUid = "1.2.3.1";
    request.uids.seriesUid = "1.2.3.2";
    request.uids.instanceUid = "1.2.3.3";
    const std::string object = (dir / "object.dcm").string();
    const ObjectResult r = WriteCaptureObject(request, object);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.reencoded);
    EXPECT_TRUE(r.withSound);
    EXPECT_EQ(r.frames, 60);
    EXPECT_FALSE(std::filesystem::exists(dir / "1.2.3.3.ts")); // the temporary stream is gone
    const std::string dump = Shell("dcmdump '" + object + "'");
    EXPECT_NE(dump.find("=MPEG4HighProfile/Level4.1"), std::string::npos) << dump.substr(0, 600);
    EXPECT_EQ(dump.find("W:"), std::string::npos) << dump.substr(0, 400);
    EXPECT_EQ(dump.find("E:"), std::string::npos) << dump.substr(0, 400);
    // The stream as a PACS viewer takes it out: H.264 High, 640x480, every frame.
    const std::string ts = (dir / "out.ts").string();
    Shell("dcmdump +W '" + dir.str() + "' '" + object + "'");
    std::string stream;
    // One file per fragment; the first is the empty offset table, the stream the largest.
    std::uintmax_t largest = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().extension() == ".raw" && e.file_size() > largest) {
            largest = e.file_size();
            stream = e.path().string();
        }
    ASSERT_FALSE(stream.empty()) << "dcmdump +W wrote no pixel data";
    const std::string probe = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                  "stream=codec_name,profile,width,nb_read_frames -of csv=p=0 '" + stream + "'");
    EXPECT_NE(probe.find("h264,High,640"), std::string::npos) << probe;
    EXPECT_NE(probe.find(",60"), std::string::npos) << probe;
    const std::string sound = Shell("ffprobe -v error -select_streams a:0 -show_entries "
                                  "stream=codec_name,sample_rate -of csv=p=0 '" + stream + "'");
    EXPECT_NE(sound.find("aac,48000"), std::string::npos) << sound;
}

} // namespace
} // namespace kestovar
