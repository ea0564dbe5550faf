// Private-profile files: the rules other INI tools and the old station's files expect,
// damaged files, and saves that survive being killed.

#include "platform/ProfileFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestovar {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

constexpr std::size_t kLong = 1299;

TEST(ProfileFileWrite, NewFileHasSectionAndKeysInCallOrderWithCrlfAndWithoutBlanksOrBom)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Date", "2017-02-26").ok);
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "File Name", "Smith").ok);
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Comment", "").ok);
    EXPECT_EQ(ReadFileText(path), "[Kestovar]\r\nDate=2017-02-26\r\nFile Name=Smith\r\nComment=\r\n");
}

TEST(ProfileFileWrite, ExistingKeyIsReplacedInPlaceAndEveryOtherLineKept)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    ASSERT_TRUE(WriteFileText(path,
        "; written by hand\n"
        "[Other]\n"
        "Date=keep me\n"
        "\n"
        "[KESTOVAR]\n"
        "Comment = old comment\n"
        "unknown=stays\n"
        "  date  =  1999-01-01  \n"
        "\n"
        "[Tail]\n"
        "x=1\n"));
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Date", "2017-02-26").ok);
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Comment", "new").ok);
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Doctor Name", "Dr. Who").ok);
    EXPECT_EQ(ReadFileText(path),
        "; written by hand\n"
        "[Other]\n"
        "Date=keep me\n"
        "\n"
        "[KESTOVAR]\n"
        "Comment=new\n"
        "unknown=stays\n"
        "Date=2017-02-26\n"
        "Doctor Name=Dr. Who\n"
        "\n"
        "[Tail]\n"
        "x=1\n");
}

TEST(ProfileFileWrite, MissingSectionIsAppendedAfterABlankLineAndCrlfIsKept)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    ASSERT_TRUE(WriteFileText(path, "[A]\r\nx=1"));
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Date", "d").ok);
    EXPECT_EQ(ReadFileText(path), "[A]\r\nx=1\r\n\r\n[Kestovar]\r\nDate=d\r\n");
}

TEST(ProfileFileWrite, TextThatWouldBreakTheLineStructureIsRefusedAndTheFileUntouched)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Comment", "first").ok);
    const std::string before = ReadFileText(path);

    const std::string nul("a\0b", 3);
    const std::vector<std::tuple<std::string, std::string, std::string>> refused = {
        { "Kestovar", "Comment", "line one\nDate=forged" },
        { "Kestovar", "Comment", "carriage\rreturn" },
        { "Kestovar", "Comment", nul },
        { "Kestovar", "Comment", "\xC3\x28 invalid utf-8" },
        { "Kestovar", "Key=with equals", "v" },
        { "Kestovar", "[Section", "v" },
        { "Kestovar", "; comment", "v" },
        { "Kestovar", "", "v" },
        { "Kes]tovar", "Comment", "v" },
        { "Kestovar\n[Evil", "Comment", "v" },
    };
    for (const auto& [section, key, value] : refused) {
        const ProfileWriteResult r = WriteProfileString(path, section, key, value);
        EXPECT_FALSE(r.ok) << key << " / " << value;
        EXPECT_EQ(r.error, EINVAL);
    }
    EXPECT_EQ(ReadFileText(path), before);
    EXPECT_EQ(GetProfileString(path, "Kestovar", "Comment", "", kLong), "first");
}

TEST(ProfileFileWrite, KeepsTheFileModeOfTheFileItReplaces)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    ASSERT_TRUE(WriteFileText(path, "[Kestovar]\n"));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Date", "x").ok);
    struct stat st { };
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ProfileFileWrite, LeavesNoTemporaryFilesBehind)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Date", std::to_string(i)).ok);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(ProfileFileWrite, FailsWithErrnoWhenTheFolderDoesNotExist)
{
    TempDir dir;
    const ProfileWriteResult r = WriteProfileString((dir / "missing/case.ini").string(), "K", "k", "v");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_FALSE(r.what.empty());
}

TEST(ProfileFileRead, MissingFileSectionOrKeyGivesTheDefault)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    EXPECT_EQ(GetProfileString(path, "Kestovar", "Date", "none", 259), "none");
    ASSERT_TRUE(WriteFileText(path, "[Other]\nDate=x\n[Kestovar]\nComment=c\n"));
    EXPECT_EQ(GetProfileString(path, "Kestovar", "Date", "", 259), "");
    EXPECT_EQ(GetProfileString(path, "Nope", "Comment", "dflt", 259), "dflt");
    EXPECT_EQ(GetProfileString(path, "kestovar", "COMMENT", "", 259), "c");
}

TEST(ProfileFileRead, ValuesAreCutToTheLimitInWholeCharacters)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    std::string umlauts;
    for (int i = 0; i < 300; ++i)
        umlauts += "\xC3\xBC"; // ü
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Doctor Name", umlauts).ok);
    const std::string read = GetProfileString(path, "Kestovar", "Doctor Name", "", 259);
    EXPECT_EQ(read.size(), 259u * 2);
    EXPECT_TRUE(IsValidUtf8(read));
    EXPECT_EQ(GetProfileString(path, "Kestovar", "Missing", "abcdef", 3), "abc");
    EXPECT_EQ(TruncateUtf8("a\xF0\x9F\x98\x80z", 2), "a\xF0\x9F\x98\x80");
}

TEST(ProfileFileRead, FilesOfOtherToolsAndEncodingsReadAlike)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const std::string utf16le = std::string("\xFF\xFE", 2)
        + std::string("[\0K\0]\0\r\0\n\0N\0=\0\xFC\0\x3D\xD8\x00\xDE\r\0\n\0", 24);
    const std::vector<Case> cases = {
        { "utf-8 with byte-order mark", "\xEF\xBB\xBF[K]\nN=M\xC3\xBCller\n", "M\xC3\xBCller" },
        { "windows-1252", "[K]\r\nN=M\xFCller \x80\r\n", "M\xC3\xBCller \xE2\x82\xAC" },
        { "utf-16le with byte-order mark", utf16le, "\xC3\xBC\xF0\x9F\x98\x80" },
        { "blanks and tabs around", "[ K ]\n\t N \t=\t value with  inner blanks \t\n",
            "value with  inner blanks" },
        { "no final line end", "[K]\nN=last", "last" },
        { "first of two sections wins", "[K]\nN=one\n[K]\nN=two\n", "one" },
        { "key before any section ignored", "N=loose\n[K]\nN=inside\n", "inside" },
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileText(path, c.bytes));
        EXPECT_EQ(GetProfileString(path, "K", "N", "", kLong), c.expected) << c.name;
    }
}

// What the station writes from a file it read must read back to the same text: stray
// carriage returns and repeated byte-order marks would otherwise turn into line ends and
// keys of their own after a save.
TEST(ProfileFileRead, WhatIsWrittenFromAnOddFileReadsBackTheSame)
{
    const std::vector<std::string> odd = {
        "[Kestovar]\r\r\nDate=2017-02-26\r\r\n",
        "[Kestovar]\nDate=x\r\r\r\nComment=y\n",
        "\xEF\xBB\xBF\xEF\xBB\xBF[Kestovar]\nDate=x\n",
        std::string("\xFF\xFE\xFF\xFE[\0K\0]\0\n\0", 14),
    };
    for (const std::string& bytes : odd) {
        const ProfileFile read = ProfileFile::FromBytes(bytes);
        const ProfileFile again = ProfileFile::FromBytes(read.Text());
        EXPECT_EQ(again.Text(), read.Text()) << bytes;
        EXPECT_EQ(again.Find("Kestovar", "Date"), read.Find("Kestovar", "Date")) << bytes;
    }
    EXPECT_EQ(ProfileFile::FromBytes(odd[0]).Find("Kestovar", "Date"), "2017-02-26");
    EXPECT_EQ(ProfileFile::FromBytes(odd[1]).Find("Kestovar", "Comment"), "y");
    EXPECT_EQ(ProfileFile::FromBytes(odd[2]).Find("Kestovar", "Date"), "x");
}

// Case files another program wrote keep their encoding, byte-order mark and line ends
// when the station updates one key.
TEST(ProfileFileWrite, AnUpdateKeepsTheEncodingByteOrderMarkAndLineEnds)
{
    auto utf16le = [](const std::u16string& text) {
        std::string out = "\xFF\xFE";
        for (char16_t u : text)
            out += std::string { static_cast<char>(u & 0xFF), static_cast<char>(u >> 8) };
        return out;
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        { utf16le(u"[Other]\r\nKey=caf\u00e9 \U0001F600\r\n[Kestovar]\r\nComment=old\r\n"),
            utf16le(u"[Other]\r\nKey=caf\u00e9 \U0001F600\r\n[Kestovar]\r\nComment=new\r\n") },
        { "\xEF\xBB\xBF[Kestovar]\nComment=old\nDoctor Name=J\xC3\xBCrgen\n",
            "\xEF\xBB\xBF[Kestovar]\nComment=new\nDoctor Name=J\xC3\xBCrgen\n" },
        { "\xEF\xBB\xBF[Kestovar]\r\nComment=old\r\n", "\xEF\xBB\xBF[Kestovar]\r\nComment=new\r\n" },
    };
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    for (const auto& [before, after] : cases) {
        ASSERT_TRUE(WriteFileText(path, before));
        ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Comment", "new").ok);
        EXPECT_EQ(ReadFileText(path), after);
        EXPECT_EQ(GetProfileString(path, "Kestovar", "Comment", "", kLong), "new");
    }
}

// A Windows-1252 file (the old station's "ANSI" files) is written back in Windows-1252
// while that holds its text and reads back the same; else as UTF-8 with a byte-order
// mark, so that no character is lost.
TEST(ProfileFileWrite, AWindows1252FileStaysWindows1252WhileItsTextFits)
{
    struct Case {
        const char* name;
        std::string before, value, after;
    };
    const std::vector<Case> cases = {
        { "fits", "[K]\r\nA=Jos\xE9 \x80\r\n", "M\xC3\xBCller", "[K]\r\nA=Jos\xE9 \x80\r\nB=M\xFCller\r\n" },
        { "does not fit", "[K]\r\nA=Jos\xE9 \x80\r\n", "\xC5\x81\xE4\xB8\xAD",
            "\xEF\xBB\xBF[K]\r\nA=Jos\xC3\xA9 \xE2\x82\xAC\r\nB=\xC5\x81\xE4\xB8\xAD\r\n" },
        { "would read as UTF-8", "[K]\nA=\xC3\xA9\nB=\xFC\n", "x",
            "\xEF\xBB\xBF[K]\nA=\xC3\x83\xC2\xA9\nB=x\n" },
    };
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileText(path, c.before));
        const std::string a = GetProfileString(path, "K", "A", "", kLong);
        ASSERT_TRUE(WriteProfileString(path, "K", "B", c.value).ok);
        EXPECT_EQ(ReadFileText(path), c.after) << c.name;
        EXPECT_EQ(GetProfileString(path, "K", "A", "", kLong), a) << c.name;
        EXPECT_EQ(GetProfileString(path, "K", "B", "", kLong), c.value) << c.name;
    }
}

TEST(ProfileFileDamaged, GarbageIsReadWithoutCrashingAndKeptAsideBeforeAWrite)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    std::mt19937 rng(7);
    std::string garbage;
    for (int i = 0; i < 200000; ++i)
        garbage += static_cast<char>(rng() & 0xFF);
    garbage += "\n[Kestovar]\nDate=survivor\n";
    ASSERT_TRUE(WriteFileText(path, garbage));

    const ProfileFile loaded = ProfileFile::Load(path);
    EXPECT_EQ(loaded.state(), ProfileFile::State::Damaged);
    const std::string date = loaded.GetString("Kestovar", "Date", "", 259);
    EXPECT_EQ(date, "survivor");

    const ProfileWriteResult r = WriteProfileString(path, "Kestovar", "Date", "fresh");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.keptAsidePath, path + ".bad");
    EXPECT_EQ(ReadFileText(r.keptAsidePath), garbage);
    EXPECT_EQ(ReadFileText(path), "[Kestovar]\r\nDate=fresh\r\n") << "a fresh file, as a new one";

    // A second damaged file does not replace the first one kept aside.
    ASSERT_TRUE(WriteFileText(path, std::string("\0\0\0", 3)));
    const ProfileWriteResult again = WriteProfileString(path, "Kestovar", "Date", "x");
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.keptAsidePath, path + ".1.bad");
    EXPECT_EQ(ReadFileText(path + ".bad"), garbage);
}

TEST(ProfileFileDamaged, AnOversizedFileIsReadOnlyAsFarAsTheLimit)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    std::string big = "[Kestovar]\nDate=early\n";
    big += std::string(kMaxProfileFileBytes, 'x');
    big += "\nComment=beyond the limit\n";
    ASSERT_TRUE(WriteFileText(path, big));
    const ProfileFile loaded = ProfileFile::Load(path);
    EXPECT_EQ(loaded.state(), ProfileFile::State::Damaged);
    EXPECT_EQ(loaded.GetString("Kestovar", "Date", "", 259), "early");
    EXPECT_EQ(loaded.GetString("Kestovar", "Comment", "", kLong), "");
}

TEST(ProfileFileDamaged, ThingsThatAreNotRegularFilesAreNeverReplacedAndDoNotHang)
{
    TempDir dir;
    const std::string fifo = (dir / "fifo.ini").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ProfileFile::Load(fifo).state(), ProfileFile::State::Unreadable);
    EXPECT_EQ(GetProfileString(fifo, "Kestovar", "Date", "d", 259), "d");
    EXPECT_FALSE(WriteProfileString(fifo, "Kestovar", "Date", "x").ok);

    const std::string folder = (dir / "folder.ini").string();
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    EXPECT_FALSE(WriteProfileString(folder, "Kestovar", "Date", "x").ok);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(std::filesystem::exists(folder + ".bad"));
}

// A save killed at any moment leaves the old or the new file, whole.
TEST(ProfileFileAtomicity, KillDuringSavingLeavesTheOldOrTheNewFileWhole)
{
    TempDir dir;
    const std::string path = (dir / "case.ini").string();
    const std::string a(3000, 'a');
    const std::string b(3000, 'b');
    ASSERT_TRUE(WriteProfileString(path, "Kestovar", "Comment", a).ok);

    std::mt19937 rng(12);
    for (int round = 0; round < 1000; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                WriteProfileString(path, "Kestovar", "Comment", (i % 2) ? a : b);
        }
        usleep(200 + rng() % 3000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const ProfileFile file = ProfileFile::Load(path);
        ASSERT_EQ(file.state(), ProfileFile::State::Ok) << "round " << round;
        const std::string value = file.GetString("Kestovar", "Comment", "", 5000);
        ASSERT_TRUE(value == a || value == b) << "round " << round << ": " << value.size() << " characters";
        ASSERT_EQ(file.Text(), ReadFileText(path));
    }
}

} // namespace
} // namespace kestovar
