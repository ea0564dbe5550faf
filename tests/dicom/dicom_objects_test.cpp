// Names, UIDs and settings as the objects and the hive carry them.
#include "dicom/DicomObjects.h"
#include "dicom/DicomSettings.h"
#include "dicom/DicomUids.h"
#include "recording/CRegStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

} // namespace
} // namespace kestovar
