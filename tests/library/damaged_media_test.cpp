// A storage folder full of damaged and hostile captures, made at test time, opened the
// ways the station opens a listed file: the media list (scan and thumbnails on the
// loader's workers), the layout's size readers, and the player. Nothing may crash,
// hang or take memory out of proportion; the damaged ones simply give no picture.
// (Single damaged files against one reader each are covered by medialist_test and
// player_test; this is the whole corpus through every path at once.)

#include "capture/MediaProbe.h"
#include "library/MediaFolderScan.h"
#include "library/ThumbnailLoader.h"
#include "platform/SimulatedAudioBackend.h"
#include "playback/PlayerGraph.h"

#include "LibraryFixtures.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include <sys/resource.h>
#include <sys/stat.h>

namespace kestovar {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileText;

class NullSink : public VideoSink {
public:
    QSize TargetSize() const override { return { 160, 120 }; }
    void Present(QImage) override { }
};

std::string Noise(std::size_t bytes, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(bytes, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// The peak memory of this process so far, in MiB.
long PeakMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

class DamagedCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(Movies());
        fs::create_directories(Pictures());
        const std::string sample = test::SampleMovie();
        ASSERT_FALSE(sample.empty()) << "the sample movie could not be made";
        const auto size = fs::file_size(sample);

        // Movies: the good one for comparison, then everything a disk or a copy can do.
        ASSERT_TRUE(test::CopyFile(sample, Movies() / "good.avi"));
        ASSERT_TRUE(test::WriteTruncatedCopy(sample, Movies() / "truncated.avi", size * 2 / 5));
        ASSERT_TRUE(test::WriteTruncatedCopy(sample, Movies() / "header_only.avi", 600));
        ASSERT_TRUE(test::WriteTruncatedCopy(sample, Movies() / "four_bytes.avi", 4));
        ASSERT_TRUE(WriteFileText(Movies() / "zero.avi", ""));
        ASSERT_TRUE(WriteFileText(Movies() / "riff_garbage.avi",
            std::string("RIFF\x00\x00\x10\x00"
                        "AVI LIST\x00\x01\x00\x00hdrlavih",
                28)
                + Noise(64 * 1024, 1)));
        ASSERT_TRUE(WriteFileText(Movies() / "riff_huge_sizes.avi",
            std::string("RIFF\xff\xff\xff\xff"
                        "AVI LIST\xff\xff\xff\xff"
                        "hdrlavih\x38\x00\x00\x00",
                32)
                + std::string(56, '\xff') + Noise(4096, 2)));
        ASSERT_TRUE(test::WritePicture(Movies() / "picture_named_movie.avi", QSize(64, 48), Qt::blue));
        ASSERT_TRUE(test::WriteJpegWithClaimedSize(Movies() / "claims_20000.avi", 20000, 20000));
        ASSERT_TRUE(test::WriteJpegWithClaimedSize(Movies() / "claims_40000.avi", 40000, 40000));
        // Just under FFmpeg's own size check (which refuses 20000 x 20000): a claim, and a
        // real picture of that size, which the list and the player refuse as too large.
        ASSERT_TRUE(test::WriteJpegWithClaimedSize(Movies() / "claims_16000.avi", 16000, 16000));
        ASSERT_TRUE(test::WriteGreyJpeg(Movies() / "real_16000.avi", 16000, 16000));
        ASSERT_TRUE(WriteFileText(Movies() / "noise.AVI", Noise(512 * 1024, 3)));
        // A damaged middle: the header and the tail intact, a stretch of zeros between.
        std::string holed = test::ReadFileText(sample);
        std::fill(holed.begin() + static_cast<long>(holed.size() / 3),
            holed.begin() + static_cast<long>(holed.size() * 2 / 3), '\0');
        ASSERT_TRUE(WriteFileText(Movies() / "zeroed_middle.avi", holed));
        fs::create_directory(Movies() / "folder.avi");
        ASSERT_EQ(mkfifo((Movies() / "fifo.avi").c_str(), 0644), 0);

        // Pictures.
        ASSERT_TRUE(test::WritePicture(Pictures() / "good.jpg", QSize(64, 48), Qt::red));
        ASSERT_TRUE(WriteFileText(Pictures() / "zero.jpg", ""));
        ASSERT_TRUE(test::WriteJpegWithClaimedSize(Pictures() / "claims_20000.jpg", 20000, 20000));
        ASSERT_TRUE(test::WriteGreyJpeg(Pictures() / "real_20000.jpg", 20000, 20000));
        ASSERT_TRUE(WriteFileText(Pictures() / "jfif_garbage.jpg",
            std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20)
                + Noise(8192, 4)));
        ASSERT_TRUE(test::CopyFile(sample, Pictures() / "movie_named_picture.jpg"));
        ASSERT_TRUE(WriteFileText(
            Pictures() / "riff.JPG", std::string("RIFF\x10\x00\x00\x00WEBPVP8 ", 16) + Noise(100, 5)));
        const std::string good = test::ReadFileText(Pictures() / "good.jpg");
        ASSERT_TRUE(WriteFileText(Pictures() / "truncated.jpg", good.substr(0, good.size() / 2)));
    }
    fs::path Movies() const { return root / "movie"; }
    fs::path Pictures() const { return root / "image"; }
    CaptureFolders Folders() const { return { Movies().string(), Pictures().string() }; }

    TempDir root;
};

// Files whose picture is good and must still show; pictures cut short may show what
// their data holds; everything else must give none.
const std::set<std::string> kShowing = { "good.avi", "truncated.avi", "zeroed_middle.avi",
    "picture_named_movie.avi", "good.jpg", "real_20000.jpg" };
const std::set<std::string> kMayShow = { "claims_20000.jpg", "truncated.jpg" };

TEST_F(DamagedCorpus, TheMediaListListsEveryFileAndTheThumbnailerAnswersEachWithoutHanging)
{
    const std::vector<MediaEntry> entries = ScanMediaFolders(Folders());
    std::set<std::string> listed;
    for (const MediaEntry& e : entries)
        listed.insert(e.name);
    // Every regular file of its kind, damaged or not; the folder and the FIFO are skipped
    // (opening a FIFO would block the reader).
    EXPECT_EQ(listed.size(), 22u);
    EXPECT_EQ(listed.count("folder.avi"), 0u);
    EXPECT_EQ(listed.count("fifo.avi"), 0u);

    ThumbnailLoader loader;
    QSignalSpy ready(&loader, &ThumbnailLoader::ThumbnailReady);
    for (std::size_t i = 0; i < entries.size(); ++i)
        loader.Request(i, entries[i], QSize(95, 70));
    ASSERT_TRUE(loader.WaitForIdle(120000)) << "the thumbnailer did not finish";
    ASSERT_EQ(ready.count(), static_cast<int>(entries.size()));
    std::map<std::string, bool> shown;
    for (const QList<QVariant>& signal : ready) {
        const auto ticket = signal.at(0).value<quint64>();
        const QImage image = signal.at(2).value<QImage>();
        shown[entries.at(ticket).name] = !image.isNull();
        if (!image.isNull()) {
            EXPECT_EQ(image.size(), QSize(95, 70)) << entries.at(ticket).name;
        }
    }
    for (const auto& [name, hasImage] : shown) {
        if (kMayShow.count(name) == 0) {
            EXPECT_EQ(hasImage, kShowing.count(name) == 1) << name;
        }
    }
    EXPECT_LT(PeakMiB(), 256) << "a damaged file made the thumbnailer allocate its claimed size";
}

TEST_F(DamagedCorpus, TheSizeReadersAnswerForEveryFile)
{
    for (const MediaEntry& e : ScanMediaFolders(Folders())) {
        int width = -1, height = -1;
        if (ReadMovieFrameSize(e.path, width, height)) {
            EXPECT_GT(width, 0) << e.name;
            EXPECT_GT(height, 0) << e.name;
        } else {
            EXPECT_EQ(width, -1) << e.name; // untouched on failure
        }
        EXPECT_TRUE(ReadPictureSize(e.path, width, height)) << e.name;
        EXPECT_GE(width, 0) << e.name;
    }
    int width = -1, height = -1;
    EXPECT_TRUE(ReadMovieFrameSize((Movies() / "truncated.avi").string(), width, height));
    EXPECT_EQ(width, 320);
    EXPECT_FALSE(ReadMovieFrameSize((Movies() / "zero.avi").string(), width, height));
    EXPECT_LT(PeakMiB(), 256) << "a damaged file made a size reader allocate its claimed size";
}

TEST_F(DamagedCorpus, ThePlayerOpensWhatHasAPictureAndRefusesTheRestWithAReason)
{
    auto audio = std::make_shared<SimulatedAudioBackend>();
    NullSink sink;
    for (const MediaEntry& e : ScanMediaFolders(Folders())) {
        if (e.kind != MediaKind::Movie)
            continue;
        PlayerGraph player(audio);
        player.SetVideoWindow(&sink);
        std::string error;
        const bool opened = player.Open(e.path, &error);
        if (opened) {
            EXPECT_GT(player.VideoWidth(), 0) << e.name;
            // Playing a damaged movie to its end must end, too.
            EXPECT_TRUE(player.Run()) << e.name;
            EXPECT_TRUE(player.Stop()) << e.name;
        } else {
            EXPECT_FALSE(error.empty()) << e.name;
        }
        const bool expected = kShowing.count(e.name) == 1;
        EXPECT_EQ(opened, expected) << e.name << ": " << error;
        player.Teardown();
    }
    EXPECT_LT(PeakMiB(), 256) << "a damaged file made the player allocate its claimed size";
}

} // namespace
} // namespace kestovar
