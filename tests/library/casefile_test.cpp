// Case information files: where they lie, what they hold, that any typed text reads back
// exactly and never breaks the file, and that a plain INI reader takes every file.

#include "library/CaseInfoFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include <unistd.h>

namespace kestovar {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

std::string Hex(std::string_view s)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

// What Python's configparser (no interpolation: a comment may hold "%") reads from the
// section "Kestovar" of a file: key (lower-cased, as configparser keeps them) to value
// as hex, in file order. Fails the test when Python cannot parse the file.
std::vector<std::pair<std::string, std::string>> ReadWithConfigParser(const std::string& path)
{
    const std::string script
        = "import configparser,sys\n"
          "c=configparser.ConfigParser(interpolation=None)\n"
          "f=open(sys.argv[1],encoding='utf-8')\n"
          "c.read_file(f)\n"
          "for k,v in c['Kestovar'].items(): print(k+'\\t'+v.encode('utf-8','surrogateescape').hex())\n";
    // The system's Python (installed by scripts/setup) starts far faster than a wrapper
    // such as pyenv's that may come first in PATH.
    const std::string python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    const std::string command = python + " -c \"$KESTOVAR_PY\" '" + path + "' 2>&1";
    setenv("KESTOVAR_PY", script.c_str(), 1);
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    EXPECT_TRUE(pipe) << "python3 could not be started";
    std::vector<std::pair<std::string, std::string>> values;
    if (!pipe)
        return values;
    std::string output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe.get()))
        output += buffer;
    const int status = pclose(pipe.release());
    EXPECT_EQ(status, 0) << "configparser could not read " << path << ":\n" << output;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos)
            values.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return values;
}

// Every file a test writes goes through here: written, then read by configparser, which
// must see the section with the six keys, each value whole on its one line.
void WriteAndCheck(const std::string& moviePath, const CaseInfo& info)
{
    const CaseFileResult r = WriteCaseInfoFile(moviePath, info);
    ASSERT_TRUE(r.ok) << r.message;
    std::map<std::string, std::string> parsed;
    for (const auto& [key, value] : ReadWithConfigParser(CaseInfoFilePath(moviePath)))
        parsed.emplace(key, value); // configparser refuses duplicate keys, so each is there once
    const std::map<std::string, std::string> expected = {
        { "date", Hex(EncodeCaseValue(info.date)) },
        { "file name", Hex(EncodeCaseValue(info.fileName)) },
        { "doctor name", Hex(EncodeCaseValue(info.doctorName)) },
        { "patient name", Hex(EncodeCaseValue(info.patientName)) },
        { "hospital name", Hex(EncodeCaseValue(info.hospitalName)) },
        { "comment", Hex(EncodeCaseValue(info.comment)) },
    };
    for (const auto& [key, value] : expected) {
        const auto found = parsed.find(key);
        ASSERT_NE(found, parsed.end()) << key << " in " << CaseInfoFilePath(moviePath);
        EXPECT_EQ(found->second, value) << key << " in " << CaseInfoFilePath(moviePath);
    }
}

CaseInfo Smith()
{
    return CaseInfo { "2017-02-26", "Smith", "Dr. Adams", "John Smith", "General Hospital",
        "Knee arthroscopy" };
}

std::size_t LineCount(const std::string& text)
{
    std::size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

TEST(CaseInfoPath, ReplacesOnlyTheLastExtensionOfTheFileName)
{
    const std::vector<std::pair<std::string, std::string>> table = {
        { "/cases/movie/Smith_170226_101530.avi", "/cases/movie/Smith_170226_101530.ini" },
        { "/m/a.b.avi", "/m/a.b.ini" },
        { "/m/x..avi", "/m/x.ini" },
        { "/m/knee.ini", "/m/knee.ini" },
        { "/m/Knee.AVI", "/m/Knee.ini" },
        { "relative.avi", "relative.ini" },
        // A dot in a folder name is not the movie's extension.
        { "/home/op.x/movie/noext", "/home/op.x/movie/noext.ini" },
        { "noext", "noext.ini" },
        { "/m/", "" },
        { "", "" },
    };
    for (const auto& [movie, ini] : table)
        EXPECT_EQ(CaseInfoFilePath(movie), ini) << movie;
}

TEST(CaseInfoDate, TheDateFieldIsTheLocalDate)
{
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    setenv("TZ", "CET-1", 1);
    tzset();
    // 2017-02-26 23:30 UTC is already the 27th in Central Europe.
    EXPECT_EQ(CaseDateText(1488151800), "2017-02-27");
    if (saved)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(CaseInfoWrite, ANewFileHoldsTheSectionAndTheSixKeysInOrderWithCrlfLineEnds)
{
    TempDir dir;
    const std::string movie = (dir / "Smith_170226_101530.avi").string();
    WriteAndCheck(movie, Smith());
    EXPECT_EQ(ReadFileText(dir / "Smith_170226_101530.ini"),
        "[Kestovar]\r\n"
        "Date=2017-02-26\r\n"
        "File Name=Smith\r\n"
        "Doctor Name=Dr. Adams\r\n"
        "Patient Name=John Smith\r\n"
        "Hospital Name=General Hospital\r\n"
        "Comment=Knee arthroscopy\r\n");
    EXPECT_EQ(ReadCaseInfoFile(movie), Smith());

    CaseInfo empty;
    empty.date = "2017-02-26";
    WriteAndCheck(movie, empty);
    EXPECT_EQ(ReadFileText(dir / "Smith_170226_101530.ini"),
        "[Kestovar]\r\nDate=2017-02-26\r\nFile Name=\r\nDoctor Name=\r\nPatient Name=\r\nHospital "
        "Name=\r\nComment=\r\n");
}

TEST(CaseInfoWrite, WritingIntoAnExistingFileKeepsItsLineOrder)
{
    TempDir dir;
    const std::string movie = (dir / "k.avi").string();
    ASSERT_TRUE(WriteFileText(dir / "k.ini",
        "[Kestovar]\n"
        "Comment=old\n"
        "Reviewed=yes\n"
        "Date=2000-01-01\n"
        "\n"
        "[Notes]\n"
        "Date=not ours\n"));
    WriteAndCheck(movie, Smith());
    EXPECT_EQ(ReadFileText(dir / "k.ini"),
        "[Kestovar]\n"
        "Comment=Knee arthroscopy\n"
        "Reviewed=yes\n"
        "Date=2017-02-26\n"
        "File Name=Smith\n"
        "Doctor Name=Dr. Adams\n"
        "Patient Name=John Smith\n"
        "Hospital Name=General Hospital\n"
        "\n"
        "[Notes]\n"
        "Date=not ours\n");
}

// Another program's case file in Windows-1252 keeps that encoding, its line ends and the
// bytes of every field the operator did not change. A typed character Windows-1252
// cannot hold makes it UTF-8 with a byte-order mark, and every field reads back as it was.
TEST(CaseInfoWrite, AWindows1252FileKeepsItsEncodingUntilATypedCharacterDoesNotFit)
{
    TempDir dir;
    const std::string movie = (dir / "ansi.avi").string();
    const std::string ansi = "[Kestovar]\r\nDate=2017-02-26\r\nFile Name=knee\r\nDoctor Name=Dr. B\xF6hm\r\n"
                             "Patient Name=M\xFCller\r\nHospital Name=\r\nComment=Caf\xE9 \x80 5\r\n";
    ASSERT_TRUE(WriteFileText(dir / "ansi.ini", ansi));
    const CaseInfo shown = ReadCaseInfoFile(movie);
    CaseInfo typed = shown;
    typed.hospitalName = "Klinikum K\xC3\xB6ln";
    ASSERT_TRUE(WriteCaseInfoFile(movie, typed, &shown).ok);
    std::string expected = ansi;
    expected.replace(expected.find("Hospital Name="), 14, "Hospital Name=Klinikum K\xF6ln");
    EXPECT_EQ(ReadFileText(dir / "ansi.ini"), expected);
    ASSERT_EQ(ReadCaseInfoFile(movie), typed);

    CaseInfo polish = typed;
    polish.doctorName = "Dr. \xC5\x81ukasz \xE4\xB8\xAD";
    ASSERT_TRUE(WriteCaseInfoFile(movie, polish, &typed).ok);
    EXPECT_EQ(ReadFileText(dir / "ansi.ini"),
        "\xEF\xBB\xBF[Kestovar]\r\nDate=2017-02-26\r\nFile Name=knee\r\nDoctor Name=Dr. \xC5\x81ukasz "
        "\xE4\xB8\xAD\r\n"
        "Patient Name=M\xC3\xBCller\r\nHospital Name=Klinikum K\xC3\xB6ln\r\nComment=Caf\xC3\xA9 "
        "\xE2\x82\xAC 5\r\n");
    EXPECT_EQ(ReadCaseInfoFile(movie), polish);
}

TEST(CaseInfoRead, MissingKeysAndFilesReadAsEmptyFields)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "p.ini", "[Kestovar]\nDate=2017-02-26\nComment=only two\n"));
    CaseFileState state = CaseFileState::Missing;
    const CaseInfo partial = ReadCaseInfoFile((dir / "p.avi").string(), &state);
    EXPECT_EQ(state, CaseFileState::Ok);
    EXPECT_EQ(partial, (CaseInfo { "2017-02-26", "", "", "", "", "only two" }));

    const CaseInfo none = ReadCaseInfoFile((dir / "nothing.avi").string(), &state);
    EXPECT_EQ(state, CaseFileState::Missing);
    EXPECT_EQ(none, CaseInfo {});
}

TEST(CaseInfoRead, LongValuesAreCutToTheirLimitsInCharacters)
{
    TempDir dir;
    const std::string movie = (dir / "long.avi").string();
    std::string comment;
    for (int i = 0; i < 2000; ++i)
        comment += (i % 2) ? "\xC3\xA9" : "x"; // é and x: characters, not bytes, are counted
    CaseInfo info = Smith();
    info.comment = comment;
    info.doctorName = std::string(300, 'd');
    info.patientName = std::string(259, 'p');
    WriteAndCheck(movie, info);

    const CaseInfo read = ReadCaseInfoFile(movie);
    std::string first1299;
    for (int i = 0; i < 1299; ++i)
        first1299 += (i % 2) ? "\xC3\xA9" : "x";
    EXPECT_EQ(read.comment, first1299);
    EXPECT_EQ(read.doctorName, std::string(259, 'd'));
    EXPECT_EQ(read.patientName, std::string(259, 'p'));
    // Written in full.
    EXPECT_NE(ReadFileText(dir / "long.ini").find(comment), std::string::npos);
}

TEST(CaseInfoText, AnyTypedOrPastedTextReadsBackExactlyAndKeepsTheFileToItsLines)
{
    TempDir dir;
    const std::vector<std::string> texts = {
        "line one\nline two\r\nline three",
        "\n",
        "ends with a break\n",
        "\n\nstarts with breaks",
        " leading and trailing blanks ",
        " ",
        "\t tabbed \t",
        "back\\slash, \\n and \\x41 typed literally, and a lone \\",
        "\\",
        "Date=forged\n[Kestovar]\nFile Name=evil\n[Other]",
        "; not a comment\n# nor this",
        "50% done, %(interpolation)s untouched",
        "\"quoted\"",
        "=leading equals",
        "bell\x07 escape\x1b[31m delete\x7f",
        std::string("nul\0inside", 10),
        "invalid \xC3\x28 utf-8 \xFF",
        "next\xC2\x85line, line\xE2\x80\xA8sep, para\xE2\x80\xA9sep",
        "\xE6\x89\x8B\xE8\xA1\x93 \xF0\x9F\xA9\xBA",
    };
    int n = 0;
    for (const std::string& text : texts) {
        const std::string movie = (dir / ("t" + std::to_string(n++) + ".avi")).string();
        const CaseInfo info { text, text, text, text, text, text };
        WriteAndCheck(movie, info);
        EXPECT_EQ(ReadCaseInfoFile(movie), info) << Hex(text);
        EXPECT_EQ(LineCount(ReadFileText(CaseInfoFilePath(movie))), 7u) << Hex(text);
    }
    // Plain text is stored as it stands.
    EXPECT_EQ(EncodeCaseValue("Dr. M\xC3\xBCller, 50% / [ok]"), "Dr. M\xC3\xBCller, 50% / [ok]");
    EXPECT_EQ(EncodeCaseValue("a\nb"), "a\\nb");
}

TEST(CaseInfoText, BackslashesThatAreNoEscapeOfOursReadAsTheyStand)
{
    EXPECT_EQ(DecodeCaseValue("C:\\Cases\\q"), "C:\\Cases\\q");
    EXPECT_EQ(DecodeCaseValue("\\xZZ and \\x4"), "\\xZZ and \\x4");
    EXPECT_EQ(DecodeCaseValue("end\\"), "end\\");
    EXPECT_EQ(DecodeCaseValue("\\x41\\\\n"), "A\\n");
}

TEST(CaseInfoDamaged, ADamagedFileIsReadWithoutCrashingAndKeptAsideOnTheNextSave)
{
    TempDir dir;
    const std::string movie = (dir / "d.avi").string();
    std::string garbage = "[Kestovar]\nPatient Name=Jane\n";
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    ASSERT_TRUE(WriteFileText(dir / "d.ini", garbage));

    CaseFileState state = CaseFileState::Ok;
    const CaseInfo read = ReadCaseInfoFile(movie, &state);
    EXPECT_EQ(state, CaseFileState::Damaged);
    EXPECT_EQ(read.patientName, "Jane");

    const CaseFileResult r = WriteCaseInfoFile(movie, Smith());
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.keptAsidePath, (dir / "d.ini.bad").string());
    EXPECT_EQ(ReadFileText(dir / "d.ini.bad"), garbage);
    EXPECT_EQ(ReadCaseInfoFile(movie, &state), Smith());
    EXPECT_EQ(state, CaseFileState::Ok);
    ReadWithConfigParser((dir / "d.ini").string());
}

TEST(CaseInfoWrite, AFailedWriteIsReportedWithTheReason)
{
    TempDir dir;
    const CaseFileResult r = WriteCaseInfoFile((dir / "no/such/folder/k.avi").string(), Smith());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_NE(r.message.find("could not be saved"), std::string::npos);
}

TEST(CaseInfoRename, TheFileFollowsTheMovieAndNamesItsNewBase)
{
    TempDir dir;
    const std::string old = (dir / "Smith_170226_101530.avi").string();
    WriteAndCheck(old, Smith());
    const CaseFileResult r = RenameCaseInfoFile(old, dir.str(), "Knee");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.moved);
    EXPECT_FALSE(std::filesystem::exists(dir / "Smith_170226_101530.ini"));
    CaseInfo expected = Smith();
    expected.fileName = "Knee";
    EXPECT_EQ(ReadCaseInfoFile((dir / "Knee.avi").string()), expected);
    const auto parsed = ReadWithConfigParser((dir / "Knee.ini").string());
    ASSERT_EQ(parsed.size(), 6u);
    EXPECT_EQ(parsed[1], std::make_pair(std::string("file name"), Hex("Knee")));
}

TEST(CaseInfoRename, AMovieWithoutCaseFileGetsNoneAndAnExistingFileIsNeverReplaced)
{
    TempDir dir;
    const CaseFileResult none = RenameCaseInfoFile((dir / "bare.avi").string(), dir.str(), "Knee");
    EXPECT_TRUE(none.ok);
    EXPECT_FALSE(none.moved);
    EXPECT_FALSE(std::filesystem::exists(dir / "Knee.ini"));

    WriteAndCheck((dir / "a.avi").string(), Smith());
    ASSERT_TRUE(WriteFileText(dir / "Taken.ini", "[Kestovar]\nFile Name=Taken\n"));
    const CaseFileResult clash = RenameCaseInfoFile((dir / "a.avi").string(), dir.str(), "Taken");
    EXPECT_FALSE(clash.ok);
    EXPECT_EQ(clash.error, EEXIST);
    EXPECT_EQ(ReadFileText(dir / "Taken.ini"), "[Kestovar]\nFile Name=Taken\n");
    EXPECT_EQ(ReadCaseInfoFile((dir / "a.avi").string()), Smith());
}

TEST(CaseInfoRename, AMovieEndingInTwoDotsKeepsItsCaseFileByTheSameRule)
{
    TempDir dir;
    WriteAndCheck((dir / "x..avi").string(), Smith());
    ASSERT_TRUE(std::filesystem::exists(dir / "x.ini"));
    const CaseFileResult r = RenameCaseInfoFile((dir / "x..avi").string(), (dir.str() + "/"), "y");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.moved);
    EXPECT_EQ(ReadCaseInfoFile((dir / "y.avi").string()).fileName, "y");
}

} // namespace
} // namespace kestovar
