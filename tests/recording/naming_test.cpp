// Capture names: the time-stamped format, joining with one separator, hostile File
// Names refused, and no capture ever taking the name of an existing file.

#include "recording/CaptureNaming.h"
#include "recording/FileNameRules.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace kestovar {
namespace {

using test::TempDir;
using test::WriteFileText;

// Central European time (UTC+1 in February), so a test fails if UTC is used instead of
// local time.
class LocalTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "CET-1", 1);
        tzset();
    }
    void TearDown() override
    {
        if (savedTz_)
            setenv("TZ", savedTz_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static std::time_t Utc(int year, int month, int day, int hour, int minute, int second)
    {
        std::tm tm {};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        return timegm(&tm);
    }

private:
    std::optional<std::string> savedTz_;
};

std::size_t CountEntries(const std::filesystem::path& dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::recursive_directory_iterator(dir))
        ++n;
    return n;
}

TEST_F(LocalTime, CaptureNameUsesLocalTimeWithTwoDigitYearAnd24Hours)
{
    EXPECT_EQ(BuildCaptureName("knee", "avi", Utc(2017, 2, 26, 13, 5, 9)), "knee_170226_140509.avi");
    EXPECT_EQ(BuildCaptureName("a.b", "avi", Utc(2009, 12, 31, 22, 59, 59)), "a.b_091231_235959.avi");
    EXPECT_EQ(BuildCaptureName("x", "jpg", Utc(2024, 1, 1, 23, 0, 0)), "x_240102_000000.jpg");
}

TEST(CapturePath, JoinsWithExactlyOneSeparatorAndPicksTheFolderByExtension)
{
    EXPECT_EQ(JoinPath("/cases/movie", "a.avi"), "/cases/movie/a.avi");
    EXPECT_EQ(JoinPath("/cases/movie/", "a.avi"), "/cases/movie/a.avi");
    EXPECT_EQ(JoinPath("", "a.avi"), "a.avi");

    const CaptureFolders folders { "/r/movie", "/r/image/" };
    EXPECT_EQ(BuildCapturePath(folders, "s.jpg", "jpg"), "/r/image/s.jpg");
    EXPECT_EQ(BuildCapturePath(folders, "s.JPG", "JPG"), "/r/image/s.JPG");
    EXPECT_EQ(BuildCapturePath(folders, "k.avi", "avi"), "/r/movie/k.avi");
    EXPECT_EQ(BuildCapturePath(folders, "k.jpeg", "jpeg"), "/r/movie/k.jpeg");
}

TEST_F(LocalTime, SameSecondMoviesGetTheSmallestFreeSuffixAndNeverAnExistingCaseFile)
{
    TempDir dir;
    const std::time_t t = Utc(2017, 2, 26, 13, 5, 9);
    const std::string base = (dir / "knee_170226_140509").string();

    CapturePathResult first = NewMoviePath(dir.str(), "knee", t);
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.path, base + ".avi");

    ASSERT_TRUE(WriteFileText(first.path, "movie"));
    CapturePathResult second = NewMoviePath(dir.str() + "/", "knee", t);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.path, base + "_2.avi");

    // A case file left by a recording that failed to start also holds the name.
    ASSERT_TRUE(WriteFileText(base + "_2.ini", "[Kestovar]\n"));
    std::filesystem::create_symlink(dir / "nowhere", base + "_3.avi"); // dangling
    CapturePathResult fourth = NewMoviePath(dir.str(), "knee", t);
    ASSERT_TRUE(fourth.ok);
    EXPECT_EQ(fourth.path, base + "_4.avi");

    // A different second needs no suffix.
    EXPECT_EQ(NewMoviePath(dir.str(), "knee", t + 1).path, (dir / "knee_170226_140510.avi").string());
}

TEST_F(LocalTime, StillPicturesNeverReplaceAnEarlierPictureOfTheSameSecond)
{
    TempDir dir;
    const std::time_t t = Utc(2017, 2, 26, 13, 5, 9);
    CapturePathResult first = NewStillPicturePath(dir.str(), t);
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.path, (dir / "170226_140509.jpg").string());
    ASSERT_TRUE(WriteFileText(first.path, "jpeg"));
    EXPECT_EQ(NewStillPicturePath(dir.str(), t).path, (dir / "170226_140509_2.jpg").string());

    // A picture requested but not yet written by the streaming thread can be reported
    // as in use by the caller.
    std::set<std::string> pending { (dir / "170226_140509_2.jpg").string() };
    auto inUse = [&](const std::string& p) { return PathExists(p) || pending.count(p) > 0; };
    EXPECT_EQ(NewStillPicturePath(dir.str(), t, inUse).path, (dir / "170226_140509_3.jpg").string());

    auto allTaken = [](const std::string&) { return true; };
    CapturePathResult none = NewStillPicturePath(dir.str(), t, allTaken);
    EXPECT_FALSE(none.ok);
    EXPECT_FALSE(none.message.empty());
}

TEST_F(LocalTime, HostileFileNamesAreRefusedWithAMessageAndNothingIsCreated)
{
    TempDir root;
    const std::filesystem::path movies = root / "movie";
    std::filesystem::create_directory(movies);
    const std::time_t t = Utc(2017, 2, 26, 13, 5, 9);

    struct Case {
        std::string name;
        NameProblem problem;
    };
    const std::vector<Case> hostile = {
        { "", NameProblem::Empty },
        { "../escape", NameProblem::Separator },
        { "a/b", NameProblem::Separator },
        { "/etc/passwd", NameProblem::Separator },
        { "a\\b", NameProblem::Separator },
        { "..", NameProblem::DotDot },
        { "knee..", NameProblem::DotDot },
        { "line\nbreak", NameProblem::Control },
        { "carriage\rreturn", NameProblem::Control },
        { "tab\there", NameProblem::Control },
        { std::string("nul\0byte", 8), NameProblem::Control },
        { "\x1b[31mred", NameProblem::Control },
        { "c1\xC2\x85next-line", NameProblem::Control },
        { "para\xE2\x80\xA8sep", NameProblem::Control },
        { "bad\xC3\x28utf8", NameProblem::InvalidText },
        { std::string(300, 'k'), NameProblem::TooLong },
        // Hidden files would vanish from the media list.
        { ".hidden", NameProblem::LeadingDot },
        { ".", NameProblem::LeadingDot },
        { "   ", NameProblem::Blank },
    };
    for (const Case& c : hostile) {
        const NameCheck check = CheckCapturePrefix(c.name);
        EXPECT_EQ(check.problem, c.problem) << c.name;
        EXPECT_FALSE(check.message.empty()) << c.name;
        const CapturePathResult r = NewMoviePath(movies.string(), c.name, t);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.message, check.message);
    }
    EXPECT_EQ(CheckCapturePrefix("").message, std::string(kEmptyFileNameMessage));
    EXPECT_EQ(CountEntries(root.path()), 1u);

    // Odd but harmless names stay inside the folder.
    for (const std::string name :
        { "Smith.Jones", "-rf", "knee|+", "a.", " lead", "\xE5\x90\x8D\xE5\x89\x8D", "with  blanks " }) {
        const CapturePathResult r = NewMoviePath(movies.string(), name, t);
        ASSERT_TRUE(r.ok) << name << ": " << r.message;
        EXPECT_EQ(std::filesystem::path(r.path).parent_path(), movies) << name;
    }
}

TEST_F(LocalTime, TheLongestAcceptedFileNameStillFitsTheFileSystemWithItsLongestSuffix)
{
    TempDir dir;
    const std::size_t max = NameMaxBytes(dir.str());
    const std::string longest(max - kCaptureNameOverheadBytes, 'n');
    EXPECT_TRUE(CheckCapturePrefix(longest, max).ok());
    EXPECT_EQ(CheckCapturePrefix(longest + "n", max).problem, NameProblem::TooLong);

    const std::string stem = longest + "_" + FormatCaptureTimeStamp(Utc(2017, 2, 26, 13, 5, 9)) + "_999";
    for (const char* ext : { ".avi", ".ini" }) {
        const std::string path = (dir / (stem + ext)).string();
        const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
        EXPECT_GE(fd, 0) << ext;
        if (fd >= 0)
            close(fd);
    }
    // The same holds for a rename text of the longest accepted length.
    const std::string renamed(max - kRenameOverheadBytes, 'r');
    EXPECT_TRUE(CheckRenameText(renamed, max).ok());
    EXPECT_EQ(CheckRenameText(renamed + "r", max).problem, NameProblem::TooLong);
    EXPECT_TRUE(WriteFileText(dir / (renamed + ".avi"), "x"));
}

TEST(FileNameFilter, RefusesExactlyTheEightCharactersAndShowsTheStationsMessage)
{
    std::string refused;
    for (char32_t c = 0x20; c < 0x7F; ++c) {
        if (IsRefusedFileNameChar(c))
            refused += static_cast<char>(c);
    }
    EXPECT_EQ(refused, "\"*/:<>?\\");
    EXPECT_FALSE(IsRefusedFileNameChar(U'|'));
    EXPECT_FALSE(IsRefusedFileNameChar(U'+'));
    EXPECT_FALSE(IsRefusedFileNameChar(U'\uFF3C'));
    EXPECT_EQ(
        kFileNameCharsMessage, "A file name can't contain any of the following characters  :\uFF3C/:+?\"<>|");
}

TEST(FileNameFilter, TheAlertStopsFromTheSecondCharacterTypedIntoAnEmptyField)
{
    const TypedCharDecision first = OnFileNameCharTyped("", U'k');
    EXPECT_FALSE(first.stopAlert);
    EXPECT_FALSE(first.refuse);
    const TypedCharDecision second = OnFileNameCharTyped("k", U'n');
    EXPECT_TRUE(second.stopAlert);
    EXPECT_FALSE(second.refuse);
    const TypedCharDecision colon = OnFileNameCharTyped("knee", U':');
    EXPECT_TRUE(colon.stopAlert);
    EXPECT_TRUE(colon.refuse);
}

TEST(RenameText, EmptyIsDroppedSilentlyAndSeparatorsAreRefused)
{
    const NameCheck empty = CheckRenameText("");
    EXPECT_EQ(empty.problem, NameProblem::Empty);
    EXPECT_TRUE(empty.message.empty());
    EXPECT_EQ(CheckRenameText("../../etc/x").problem, NameProblem::Separator);
    EXPECT_EQ(CheckRenameText("x\n").problem, NameProblem::Control);
    EXPECT_TRUE(CheckRenameText("Knee.avi").ok());
}

} // namespace
} // namespace kestovar
