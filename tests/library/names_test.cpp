// Hostile File Names and rename texts through the station's real naming paths: Record
// Start's movie path and case file, and the media list's rename of a movie and a picture.
// Whatever the text, nothing is written outside the storage folders, no existing file is
// replaced, and a refused text comes back with a message that says what is wrong.

#include "library/CaseInfoFile.h"
#include "library/MediaFileOperations.h"
#include "recording/CaptureNaming.h"
#include "recording/FileNameRules.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kestovar {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;
namespace fs = std::filesystem;

// A storage root inside a parent folder that must stay untouched too, with a movie (and
// its case file), a picture, and names that are taken.
class Station {
public:
    Station()
    {
        fs::create_directories(root() / "movie");
        fs::create_directories(root() / "image");
        folders = CaptureFolders { (root() / "movie").string(), (root() / "image").string() };
        WriteFileText(parent / "outside.avi", "outside");
        WriteFileText(Movie("knee_170226_140509.avi"), "RIFF knee");
        WriteCaseInfoFile(Movie("knee_170226_140509.avi"), CaseInfo { "2017-02-26", "knee", "", "", "", "" });
        WriteFileText(Movie("taken.avi"), "RIFF taken");
        WriteFileText(Movie("taken.ini"), "[Kestovar]\nFile Name=taken\n");
        WriteFileText(Picture("170226_140509.jpg"), "JFIF shot");
        WriteFileText(Picture("taken.jpg"), "JFIF taken");
    }
    fs::path root() const { return parent.path() / "storage"; }
    std::string Movie(const std::string& name) const { return (root() / "movie" / name).string(); }
    std::string Picture(const std::string& name) const { return (root() / "image" / name).string(); }

    // Every entry under the parent folder with its contents ("<dir>" for folders).
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> all;
        for (const auto& e : fs::recursive_directory_iterator(parent.path()))
            all[fs::relative(e.path(), parent.path()).string()]
                = e.is_directory() ? std::string("<dir>") : ReadFileText(e.path());
        return all;
    }

    TempDir parent;
    CaptureFolders folders;
};

// What a name the station accepted must be: one visible entry right in its folder.
void ExpectPlainNameIn(const std::string& folder, const std::string& path, const std::string& label)
{
    const fs::path p(path);
    EXPECT_EQ(p.parent_path(), fs::path(folder)) << label;
    const std::string name = p.filename().string();
    EXPECT_FALSE(name.empty()) << label;
    EXPECT_NE(name.front(), '.') << label;
    EXPECT_EQ(name.find('/'), std::string::npos) << label;
}

struct Row {
    const char* label;
    std::string text;
    bool accepted; // a valid name for a recording and for a rename
    const char* message; // part of the operator's message when refused
};

const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = {
        { "slash", "a/b", false, "can't contain \"/\"" },
        { "absolute path", "/etc/passwd", false, "can't contain \"/\"" },
        { "backslash", "a\\b", false, "can't contain \"/\" or \"\\\"" },
        { "parent folder", "../escape", false, "can't contain" },
        { "dot dot", "..", false, "can't contain \"..\"" },
        { "dot", ".", false, "can't start with \".\"" },
        { "hidden", ".profile", false, "can't start with \".\"" },
        { "leading dash", "-rf", true, "" },
        { "double dash", "--help", true, "" },
        { "tab", "tab\there", false, "control characters" },
        { "escape sequence", "\x1b[31mred", false, "control characters" },
        { "bell", "ring\a", false, "control characters" },
        { "line break", "two\nlines", false, "line breaks" },
        { "carriage return", "crlf\r\n", false, "line breaks" },
        { "unicode line separator",
            "a\xE2\x80\xA8"
            "b",
            false, "line breaks" },
        { "300 characters", std::string(300, 'x'), false, "too long" },
        { "only spaces", "   ", false, "blanks only" },
        { "not UTF-8", "bad\xC3\x28", false, "not valid text" },
        { "blanks inside", "Smith Jones", true, "" },
        { "unicode",
            "\xC3\x9C"
            "ber M\xC3\xBCller",
            true, "" },
        { "windows characters", "a:b*c?", true, "" },
    };
    return rows;
}

const std::time_t kStart = 1488117909; // 26 February 2017; the names do not depend on the time zone

TEST(HostileNames, RecordStartNamesOnlyPlainNewFilesInTheMovieFolderOrRefusesWithAMessage)
{
    for (const Row& row : Rows()) {
        Station station;
        const auto before = station.Snapshot();
        // What Record Start does: name the movie, then write its case file beside it.
        const CapturePathResult named = NewMoviePath(station.folders.moviePath, row.text, kStart);
        ASSERT_EQ(named.ok, row.accepted) << row.label << ": " << named.message;
        if (!named.ok) {
            EXPECT_NE(named.message.find(row.message), std::string::npos)
                << row.label << ": " << named.message;
            EXPECT_EQ(station.Snapshot(), before) << row.label;
            continue;
        }
        ExpectPlainNameIn(station.folders.moviePath, named.path, row.label);
        EXPECT_FALSE(fs::exists(named.path)) << row.label;
        CaseInfo info { "2017-02-26", row.text, "", "", "", "" };
        ASSERT_TRUE(WriteCaseInfoFile(named.path, info).ok) << row.label;
        EXPECT_EQ(ReadCaseInfoFile(named.path).fileName, row.text) << row.label;

        // Exactly one new entry, the case file, and every old one as it was.
        auto after = station.Snapshot();
        const std::string added = fs::relative(CaseInfoFilePath(named.path), station.parent.path()).string();
        ASSERT_EQ(after.count(added), 1u) << row.label;
        after.erase(added);
        EXPECT_EQ(after, before) << row.label;
    }
}

TEST(HostileNames, RenamesStayInTheirFolderNeverReplaceAndRefuseWithAMessage)
{
    for (const Row& row : Rows()) {
        for (const bool picture : { false, true }) {
            Station station;
            const auto before = station.Snapshot();
            const std::string source
                = picture ? station.Picture("170226_140509.jpg") : station.Movie("knee_170226_140509.avi");
            const std::string folder = picture ? station.folders.imagePath : station.folders.moviePath;
            const std::string label = std::string(row.label) + (picture ? " (picture)" : " (movie)");

            const FileOpResult r = RenameMedia(source, row.text, station.folders);
            auto after = station.Snapshot();
            if (!row.accepted) {
                EXPECT_EQ(r.outcome, FileOpOutcome::Refused) << label;
                EXPECT_NE(r.message.find(row.message), std::string::npos) << label << ": " << r.message;
                EXPECT_EQ(after, before) << label;
                continue;
            }
            ASSERT_EQ(r.outcome, FileOpOutcome::Done) << label << ": " << r.message;
            ExpectPlainNameIn(folder, r.newPath, label);
            // The same files, the same contents; only the renamed ones have other names.
            EXPECT_EQ(after.size(), before.size()) << label;
            EXPECT_EQ(ReadFileText(r.newPath), picture ? "JFIF shot" : "RIFF knee") << label;
            EXPECT_FALSE(fs::exists(source)) << label;
            if (!picture) {
                EXPECT_EQ(ReadCaseInfoFile(r.newPath).fileName, row.text) << label;
            }
            for (const char* kept : { "outside.avi", "storage/movie/taken.avi", "storage/movie/taken.ini",
                     "storage/image/taken.jpg" })
                EXPECT_EQ(after[kept], before.at(kept)) << label << ": " << kept;
        }
    }
}

TEST(HostileNames, NamesThatExistAlreadyAreNeverReplaced)
{
    Station station;
    const auto before = station.Snapshot();

    // A recording in the same second as an earlier one gets the next free name.
    const CapturePathResult again = NewMoviePath(station.folders.moviePath, "knee", kStart,
        [&](const std::string& p) { return p == station.Movie(BuildCaptureName("knee", "avi", kStart)); });
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(fs::path(again.path).filename().string(), "knee_" + FormatCaptureTimeStamp(kStart) + "_2.avi");

    // Renames onto a taken movie, case file or picture are refused, naming the file.
    const FileOpResult movie = RenameMedia(station.Movie("knee_170226_140509.avi"), "taken", station.folders);
    EXPECT_EQ(movie.outcome, FileOpOutcome::Refused);
    EXPECT_EQ(movie.message, "A file named \"taken.avi\" already exists.");
    const FileOpResult shot = RenameMedia(station.Picture("170226_140509.jpg"), "taken", station.folders);
    EXPECT_EQ(shot.outcome, FileOpOutcome::Refused);
    EXPECT_EQ(shot.message, "A file named \"taken.jpg\" already exists.");
    ASSERT_TRUE(fs::remove(station.Movie("taken.avi")));
    const FileOpResult orphanCase
        = RenameMedia(station.Movie("knee_170226_140509.avi"), "taken", station.folders);
    EXPECT_EQ(orphanCase.outcome, FileOpOutcome::Refused);
    EXPECT_EQ(orphanCase.message, "A file named \"taken.ini\" already exists.");
    auto after = station.Snapshot();
    after["storage/movie/taken.avi"] = before.at("storage/movie/taken.avi");
    EXPECT_EQ(after, before);
}

TEST(HostileNames, AnEmptyTextIsTheEmptyFileNameAlertOrADroppedEdit)
{
    Station station;
    const auto before = station.Snapshot();
    const CapturePathResult named = NewMoviePath(station.folders.moviePath, "", kStart);
    EXPECT_FALSE(named.ok);
    EXPECT_EQ(named.message, std::string(kEmptyFileNameMessage));
    const FileOpResult r = RenameMedia(station.Movie("knee_170226_140509.avi"), "", station.folders);
    EXPECT_EQ(r.outcome, FileOpOutcome::Nothing);
    EXPECT_FALSE(r.refreshList());
    EXPECT_EQ(station.Snapshot(), before);
}

} // namespace
} // namespace kestovar
