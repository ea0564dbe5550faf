#include "recording/CRegStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace kestovar;
using kestovar::test::ReadFileText;
using kestovar::test::TempDir;
using kestovar::test::WriteFileText;

namespace {

const QString kKey = QStringLiteral("Software\\Kestovar\\Settings");

class CRegStoreTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("KESTOVAR_REGISTRY_DIR", dir_.str().c_str()); }
    void TearDown() override { qunsetenv("KESTOVAR_REGISTRY_DIR"); }

    std::filesystem::path Hive() const { return dir_.path() / "HKEY_LOCAL_MACHINE.reg"; }
    // A hive file as another tool would leave it.
    void WriteHive(const std::string& values)
    {
        ASSERT_TRUE(WriteFileText(
            Hive(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\r\n" + values));
    }
    CRegStore Opened()
    {
        CRegStore store;
        store.setRootKey(RegRoot::LocalMachine);
        EXPECT_TRUE(store.OpenKey(kKey, true));
        return store;
    }

    TempDir dir_;
};

} // namespace

TEST_F(CRegStoreTest, OpensOnlyExistingKeysUnlessAskedToCreate)
{
    CRegStore store;
    EXPECT_EQ(store.rootKey(), RegRoot::CurrentUser);
    store.setRootKey(RegRoot::LocalMachine);
    EXPECT_FALSE(store.OpenKey(kKey, false));
    EXPECT_EQ(store.lastError(), ENOENT);
    EXPECT_TRUE(store.keyPath().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(Hive()));

    EXPECT_TRUE(store.OpenKey(kKey, true));
    EXPECT_EQ(store.keyPath(), kKey);
    EXPECT_EQ(store.lastError(), 0);
    EXPECT_EQ(ReadFileText(Hive()), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n\n");

    CRegStore other;
    other.setRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(other.OpenKey("software\\KESTOVAR", false)); // a parent, any letter case
    EXPECT_TRUE(other.OpenKey("", false));
    EXPECT_TRUE(other.keyPath().isEmpty());
}

TEST_F(CRegStoreTest, IntegersAreStoredAsFourBinaryBytes)
{
    CRegStore store = Opened();
    EXPECT_TRUE(store.WriteInt("bitrate", 2));
    EXPECT_TRUE(store.WriteInt("brightness", -5));
    EXPECT_EQ(store.GetValueType("bitrate"), RegBinary);
    EXPECT_EQ(store.ReadInt("bitrate", 9), 2);
    EXPECT_EQ(store.ReadInt("brightness", 9), -5);
    EXPECT_EQ(store.ReadInt("missing", 9), 9);
    EXPECT_EQ(store.GetValueType("missing"), 0u);
    const std::string text = ReadFileText(Hive());
    EXPECT_NE(text.find("\"bitrate\"=hex:02,00,00,00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"brightness\"=hex:fb,ff,ff,ff\n"), std::string::npos) << text;
}

TEST_F(CRegStoreTest, ADwordFromAnotherToolIsReadAndSavedBackAsBinary)
{
    WriteHive("\"bitrate\"=dword:00000002\r\n");
    CRegStore store = Opened();
    EXPECT_EQ(store.GetValueType("bitrate"), RegDword);
    EXPECT_EQ(store.ReadInt("bitrate", 1), 2);
    EXPECT_TRUE(store.WriteInt("bitrate", store.ReadInt("bitrate", 1)));
    EXPECT_EQ(store.GetValueType("bitrate"), RegBinary);
    EXPECT_NE(ReadFileText(Hive()).find("\"bitrate\"=hex:02,00,00,00"), std::string::npos);
}

TEST_F(CRegStoreTest, DataOfTheWrongSizeOrTypeReadsAsTheDefault)
{
    WriteHive("\"short\"=hex:01,00\r\n"
              "\"long\"=hex(b):01,00,00,00,00,00,00,00\r\n"
              "\"text\"=\"abc\"\r\n" // six bytes with its null, but a text anyway
              "\"a\"=\"a\"\r\n" // four bytes with its null
              "\"bin\"=hex:41,00,00,00\r\n"
              "\"expand\"=hex(2):25,48,4f,4d,45,25,00\r\n");
    CRegStore store = Opened();
    EXPECT_EQ(store.ReadInt("short", 7), 7);
    EXPECT_EQ(store.ReadInt("long", 7), 7);
    EXPECT_EQ(store.ReadInt("text", 7), 7);
    EXPECT_EQ(store.ReadInt("a", 7), 7);
    EXPECT_EQ(store.ReadString("bin", "dflt"), "dflt");
    EXPECT_EQ(store.ReadString("expand", "dflt"), "%HOME%"); // returned unexpanded
    EXPECT_EQ(store.ReadString("missing", "dflt"), "dflt");
}

TEST_F(CRegStoreTest, TextsOf254CharactersFitAndLongerOnesAreNeitherWrittenNorRead)
{
    CRegStore store = Opened();
    const QString fits(254, u'x');
    const QString tooLong(255, u'y');
    EXPECT_TRUE(store.WriteString("rootpath", "before"));
    EXPECT_TRUE(store.WriteString("rootpath", fits));
    EXPECT_EQ(store.ReadString("rootpath", ""), fits);
    EXPECT_FALSE(store.WriteString("rootpath", tooLong));
    EXPECT_EQ(store.ReadString("rootpath", ""), fits);

    // A 255-character text written by another tool does not fit the read buffer.
    WriteHive("\"moviepath\"=\"" + std::string(255, 'z') + "\"\r\n");
    EXPECT_EQ(store.ReadString("moviepath", "dflt"), "dflt");
}

TEST_F(CRegStoreTest, TextsWithLineBreaksAndQuotesComeBackUnchanged)
{
    CRegStore store = Opened();
    const QString name = QString::fromUtf8("Dr. \"J\" M\xc3\xbcller\\\nSecond line");
    EXPECT_TRUE(store.WriteString("patient_name", name));
    EXPECT_TRUE(store.WriteInt("bitrate", 2));
    EXPECT_EQ(store.ReadString("patient_name", ""), name);
    EXPECT_EQ(store.ReadInt("bitrate", 0), 2);
    EXPECT_EQ(store.GetValueType("patient_name"), RegSz);
}

TEST_F(CRegStoreTest, EachCallSeesWhatAnotherProgramChanged)
{
    CRegStore store = Opened();
    EXPECT_TRUE(store.WriteInt("framerate", 1));
    WriteHive("\"framerate\"=hex:02,00,00,00\r\n\"other\"=\"kept\"\r\n");
    EXPECT_EQ(store.ReadInt("framerate", 0), 2);
    EXPECT_TRUE(store.WriteInt("bitrate", 0));
    EXPECT_EQ(store.ReadString("other", ""), "kept");
}

TEST_F(CRegStoreTest, WritesToAKeyThatWasRemovedFailAndChangeNothing)
{
    CRegStore store = Opened();
    ASSERT_TRUE(WriteFileText(Hive(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\n"));
    EXPECT_FALSE(store.WriteInt("bitrate", 1));
    EXPECT_FALSE(store.WriteString("rootpath", "/x"));
    EXPECT_EQ(ReadFileText(Hive()), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\n");
}

TEST_F(CRegStoreTest, EachRootKeyHasItsOwnFile)
{
    CRegStore user;
    ASSERT_TRUE(user.OpenKey(kKey, true));
    EXPECT_TRUE(user.WriteInt("bitrate", 2));
    CRegStore machine = Opened();
    EXPECT_EQ(machine.ReadInt("bitrate", 1), 1);
    EXPECT_NE(ReadFileText(dir_.path() / "HKEY_CURRENT_USER.reg")
                  .find("[HKEY_CURRENT_USER\\Software\\Kestovar\\Settings]"),
        std::string::npos);
}

TEST_F(CRegStoreTest, AFlushedStoreWritesTheSame)
{
    CRegStore store;
    store.setLazyWrite(false);
    store.setRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(store.OpenKey(kKey, true));
    EXPECT_TRUE(store.WriteInt("bitrate", 0));
    EXPECT_EQ(store.ReadInt("bitrate", 1), 0);
}

TEST_F(CRegStoreTest, ADamagedHiveIsSetAsideAndTheKeyMadeAfresh)
{
    ASSERT_TRUE(WriteFileText(Hive(), "bitrate=2\n"));
    CRegStore store;
    store.setRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(store.OpenKey(kKey, true));
    EXPECT_EQ(store.setAsideFile(), QString::fromStdString(Hive().string()) + ".bad");
    EXPECT_EQ(ReadFileText(dir_.path() / "HKEY_LOCAL_MACHINE.reg.bad"), "bitrate=2\n");
    EXPECT_EQ(store.ReadInt("bitrate", 1), 1);
}

TEST_F(CRegStoreTest, AHiveThatCannotBeReadIsNeverWrittenOver)
{
    std::filesystem::create_directory(Hive());
    CRegStore store;
    store.setRootKey(RegRoot::LocalMachine);
    EXPECT_FALSE(store.OpenKey(kKey, true));
    EXPECT_NE(store.lastError(), 0);
    EXPECT_EQ(store.ReadInt("bitrate", 4), 4);
    EXPECT_FALSE(store.WriteInt("bitrate", 1));
    EXPECT_TRUE(std::filesystem::is_directory(Hive()));
}
