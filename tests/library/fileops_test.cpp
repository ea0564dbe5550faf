// Delete and rename of listed captures: the case file follows its movie, hostile texts
// and existing names are refused, and nothing is replaced or left behind.

#include "library/CaseInfoFile.h"
#include "library/MediaFileOperations.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace kestovar {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;
namespace fs = std::filesystem;

// A storage root with a movie and a picture folder, and a snapshot of everything in it.
class Storage : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root.path() / "movie");
        fs::create_directories(root.path() / "image");
        folders = CaptureFolders { (root / "movie").string(), (root / "image").string() };
    }
    std::string Movie(const std::string& name) const { return (root / "movie" / name).string(); }
    std::string Picture(const std::string& name) const { return (root / "image" / name).string(); }

    // Every file under the root with its contents.
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(root.path()))
            if (e.is_regular_file())
                files[e.path().string()] = ReadFileText(e.path());
        return files;
    }
    void AddMovie(const std::string& name, const std::string& content = "RIFF movie")
    {
        ASSERT_TRUE(WriteFileText(Movie(name), content));
        CaseInfo info { "2017-02-26", "Smith", "Dr. Adams", "John", "General", "first line\nsecond line" };
        ASSERT_TRUE(WriteCaseInfoFile(Movie(name), info).ok);
    }

    TempDir root;
    CaptureFolders folders;
};

TEST(MediaItems, KindPathEditTextAndQuestionFollowTheLabel)
{
    EXPECT_EQ(MediaKindOf("X.JPG"), MediaKind::Picture);
    EXPECT_EQ(MediaKindOf("a.jpg"), MediaKind::Picture);
    EXPECT_EQ(MediaKindOf("b.avi"), MediaKind::Movie);
    EXPECT_EQ(MediaKindOf("jp"), MediaKind::Movie);

    const CaptureFolders f { "/r/movie/", "/r/image" };
    EXPECT_EQ(MediaItemPath(f, "Shot.JPG"), "/r/image/Shot.JPG");
    EXPECT_EQ(MediaItemPath(f, "k.avi"), "/r/movie/k.avi");

    EXPECT_EQ(RenameEditText("Smith.Jones_170226_101530.avi"), "Smith.Jones_170226_101530");
    EXPECT_EQ(RenameEditText("no extension"), "");
    EXPECT_EQ(DeleteQuestionText("k.avi"), "Do you want to delete \"k.avi\"?");
}

TEST_F(Storage, RenamingAMovieMovesItsCaseFileAndNamesTheNewBase)
{
    AddMovie("Smith_170226_101530.avi", "movie bytes");
    ASSERT_TRUE(WriteFileText(Movie("Smith_170226_101530.avi.dicom"), "uids"));
    const FileOpResult r = RenameMedia(Movie("Smith_170226_101530.avi"), "Knee", folders);
    ASSERT_EQ(r.outcome, FileOpOutcome::Done) << r.message;
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(r.newPath, Movie("Knee.avi"));
    EXPECT_EQ(ReadFileText(Movie("Knee.avi")), "movie bytes");
    EXPECT_FALSE(fs::exists(Movie("Smith_170226_101530.avi")));
    EXPECT_FALSE(fs::exists(Movie("Smith_170226_101530.ini")));
    EXPECT_EQ(ReadFileText(Movie("Knee.avi.dicom")), "uids"); // the DICOM sidecar follows
    const CaseInfo info = ReadCaseInfoFile(Movie("Knee.avi"));
    EXPECT_EQ(info.fileName, "Knee");
    EXPECT_EQ(info.comment, "first line\nsecond line");

    // A typed extension stays part of the base name.
    ASSERT_EQ(RenameMedia(Movie("Knee.avi"), "Knee.avi", folders).outcome, FileOpOutcome::Done);
    EXPECT_TRUE(fs::exists(Movie("Knee.avi.avi")));
    EXPECT_EQ(ReadCaseInfoFile(Movie("Knee.avi.avi")).fileName, "Knee.avi");
}

TEST_F(Storage, EmptyTextDoesNothingAndOtherLetterCaseRefreshesAMovieButRenamesAPicture)
{
    AddMovie("Knee.avi");
    const auto before = Snapshot();
    const FileOpResult empty = RenameMedia(Movie("Knee.avi"), "", folders);
    EXPECT_EQ(empty.outcome, FileOpOutcome::Nothing);
    EXPECT_FALSE(empty.refreshList());
    const FileOpResult same = RenameMedia(Movie("Knee.avi"), "KNEE", folders);
    EXPECT_EQ(same.outcome, FileOpOutcome::Unchanged);
    EXPECT_TRUE(same.refreshList());
    EXPECT_EQ(Snapshot(), before);

    // A picture is moved whatever the letter case; only its very own name changes nothing.
    ASSERT_TRUE(WriteFileText(Picture("shot.jpg"), "jpeg"));
    const FileOpResult upper = RenameMedia(Picture("shot.jpg"), "SHOT", folders);
    ASSERT_EQ(upper.outcome, FileOpOutcome::Done) << upper.message;
    EXPECT_EQ(upper.newPath, Picture("SHOT.jpg"));
    EXPECT_EQ(ReadFileText(Picture("SHOT.jpg")), "jpeg");
    EXPECT_FALSE(fs::exists(Picture("shot.jpg")));
    EXPECT_EQ(RenameMedia(Picture("SHOT.jpg"), "SHOT", folders).outcome, FileOpOutcome::Unchanged);
    EXPECT_EQ(ReadFileText(Picture("SHOT.jpg")), "jpeg");
}

TEST_F(Storage, HostileRenameTextsAreRefusedAndNothingMovesOrLeavesTheFolders)
{
    AddMovie("k.avi");
    ASSERT_TRUE(WriteFileText(Picture("p.jpg"), "jpeg"));
    const auto before = Snapshot();
    const std::vector<std::string> hostile = {
        "../k",
        "../../outside",
        "sub/dir",
        "/tmp/abs",
        "back\\slash",
        "..",
        "a..b",
        "line\nbreak",
        "tab\t",
        "\x7f",
        std::string(300, 'x'),
        "bad\xC3\x28",
    };
    for (const std::string& text : hostile) {
        for (const std::string& source : { Movie("k.avi"), Picture("p.jpg") }) {
            const FileOpResult r = RenameMedia(source, text, folders);
            EXPECT_EQ(r.outcome, FileOpOutcome::Refused) << text;
            EXPECT_FALSE(r.message.empty()) << text;
        }
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(root.path().parent_path() / "outside.avi"));
    EXPECT_FALSE(fs::exists(root.path().parent_path() / "outside.jpg"));
}

TEST_F(Storage, ARenameNeverReplacesAMovieOrACaseFile)
{
    AddMovie("a.avi", "movie a");
    AddMovie("b.avi", "movie b");
    const auto before = Snapshot();
    const FileOpResult onMovie = RenameMedia(Movie("a.avi"), "b", folders);
    EXPECT_EQ(onMovie.outcome, FileOpOutcome::Refused);
    EXPECT_NE(onMovie.message.find("\"b.avi\" already exists"), std::string::npos) << onMovie.message;
    EXPECT_EQ(Snapshot(), before);

    // A case file left by a recording that never started also holds its name.
    ASSERT_TRUE(WriteFileText(Movie("c.ini"), "[Kestovar]\nFile Name=c\n"));
    const auto withOrphan = Snapshot();
    const FileOpResult onCase = RenameMedia(Movie("a.avi"), "c", folders);
    EXPECT_EQ(onCase.outcome, FileOpOutcome::Refused);
    EXPECT_NE(onCase.message.find("\"c.ini\" already exists"), std::string::npos) << onCase.message;
    EXPECT_EQ(Snapshot(), withOrphan);

    ASSERT_TRUE(WriteFileText(Picture("x.jpg"), "x"));
    ASSERT_TRUE(WriteFileText(Picture("y.jpg"), "y"));
    EXPECT_EQ(RenameMedia(Picture("x.jpg"), "y", folders).outcome, FileOpOutcome::Refused);
    EXPECT_EQ(ReadFileText(Picture("y.jpg")), "y");
    EXPECT_EQ(ReadFileText(Picture("x.jpg")), "x");
}

TEST_F(Storage, RenamingAPictureTouchesNoCaseFile)
{
    ASSERT_TRUE(WriteFileText(Picture("Shot.JPG"), "jpeg"));
    ASSERT_TRUE(WriteFileText(Picture("Shot.ini"), "[Kestovar]\nFile Name=unrelated\n"));
    const FileOpResult r = RenameMedia(Picture("Shot.JPG"), "Knee", folders);
    ASSERT_EQ(r.outcome, FileOpOutcome::Done) << r.message;
    EXPECT_EQ(ReadFileText(Picture("Knee.jpg")), "jpeg");
    EXPECT_EQ(ReadFileText(Picture("Shot.ini")), "[Kestovar]\nFile Name=unrelated\n");
    EXPECT_FALSE(fs::exists(Picture("Knee.ini")));
}

TEST_F(Storage, RenamingAMovieThatVanishedTellsTheOperator)
{
    const FileOpResult r = RenameMedia(Movie("gone.avi"), "Knee", folders);
    EXPECT_EQ(r.outcome, FileOpOutcome::Failed);
    EXPECT_NE(r.message.find("no longer exists"), std::string::npos);
    EXPECT_FALSE(fs::exists(Movie("Knee.avi")));
}

TEST_F(Storage, DeletingAMovieRemovesItsCaseFileAndAPictureOnlyItself)
{
    AddMovie("k.avi");
    ASSERT_TRUE(WriteFileText(Movie("bare.avi"), "no case file"));
    ASSERT_TRUE(WriteFileText(Picture("Shot.JPG"), "jpeg"));
    ASSERT_TRUE(WriteFileText(Picture("Shot.ini"), "stays"));
    ASSERT_TRUE(WriteFileText(Movie("k.avi.dicom"), "uids"));
    ASSERT_TRUE(WriteFileText(Picture("Shot.JPG.dicom"), "uids"));

    EXPECT_EQ(DeleteMedia(Movie("k.avi")).outcome, FileOpOutcome::Done);
    EXPECT_FALSE(fs::exists(Movie("k.avi")));
    EXPECT_FALSE(fs::exists(Movie("k.avi.dicom")));
    EXPECT_FALSE(fs::exists(Movie("k.ini")));

    const FileOpResult bare = DeleteMedia(Movie("bare.avi"));
    EXPECT_EQ(bare.outcome, FileOpOutcome::Done);
    EXPECT_TRUE(bare.message.empty());
    EXPECT_FALSE(fs::exists(Movie("bare.avi")));

    EXPECT_EQ(DeleteMedia(Picture("Shot.JPG")).outcome, FileOpOutcome::Done);
    EXPECT_FALSE(fs::exists(Picture("Shot.JPG")));
    EXPECT_FALSE(fs::exists(Picture("Shot.JPG.dicom")));
    EXPECT_EQ(ReadFileText(Picture("Shot.ini")), "stays");
}

TEST_F(Storage, AMovieThatCannotBeDeletedKeepsItsCaseFileAndTheOperatorIsTold)
{
    fs::create_directory(Movie("stuck.avi")); // unlink() refuses a folder, even for root
    ASSERT_TRUE(WriteFileText(Movie("stuck.ini"), "[Kestovar]\nFile Name=stuck\n"));
    const FileOpResult r = DeleteMedia(Movie("stuck.avi"));
    EXPECT_EQ(r.outcome, FileOpOutcome::Failed);
    EXPECT_NE(r.message.find("Could not delete \"stuck.avi\""), std::string::npos) << r.message;
    EXPECT_TRUE(fs::exists(Movie("stuck.ini")));
}

} // namespace
} // namespace kestovar
