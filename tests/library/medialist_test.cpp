// What the media list is made of, without the form: which files a folder lists and in
// what order, thumbnails of good, damaged and hostile files, the thumbnail cache and
// the worker that makes thumbnails, and the storage line's figures.

#include "capture/MediaProbe.h"
#include "library/MediaFolderScan.h"
#include "library/MediaListModel.h"
#include "library/MediaThumbnail.h"
#include "library/StorageLabel.h"
#include "library/ThumbnailCache.h"
#include "library/ThumbnailLoader.h"
#include "platform/ThreadPriority.h"

#include "LibraryFixtures.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImageReader>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestovar {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileText;

std::vector<std::string> Names(const std::vector<MediaEntry>& entries)
{
    std::vector<std::string> names;
    for (const MediaEntry& e : entries)
        names.push_back(e.name);
    return names;
}

// Mean absolute difference per channel between two images of one size.
double MeanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

class Folders : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(Image());
        fs::create_directories(Movie());
        folders = CaptureFolders { Movie().string(), Image().string() };
    }
    fs::path Image() const { return root / "image"; }
    fs::path Movie() const { return root / "movie"; }
    void Touch(const fs::path& p) { ASSERT_TRUE(WriteFileText(p, "x")); }

    TempDir root;
    CaptureFolders folders;
};

TEST_F(Folders, EmptyOrMissingFoldersListNothing)
{
    EXPECT_TRUE(ScanMediaFolders(folders).empty());
    EXPECT_TRUE(ScanMediaFolders(CaptureFolders { (root / "nope").string(), "" }).empty());
}

TEST_F(Folders, PicturesOfThePictureFolderThenMoviesOfTheMovieFolder)
{
    Touch(Image() / "a.jpg");
    Touch(Image() / "b.avi"); // the picture folder is searched for pictures only
    Touch(Image() / "c.txt");
    Touch(Movie() / "d.avi");
    Touch(Movie() / "e.jpg"); // and the movie folder for movies only
    const std::vector<MediaEntry> entries = ScanMediaFolders(folders);
    ASSERT_EQ(Names(entries), (std::vector<std::string> { "a.jpg", "d.avi" }));
    EXPECT_EQ(entries[0].kind, MediaKind::Picture);
    EXPECT_EQ(entries[0].path, (Image() / "a.jpg").string());
    EXPECT_EQ(entries[1].kind, MediaKind::Movie);
    EXPECT_EQ(entries[1].path, (Movie() / "d.avi").string());
}

TEST_F(Folders, TheLastThreeCharactersDecideInAnyLetterCase)
{
    Touch(Image() / "X.JPG");
    Touch(Image() / "photo.jpeg");
    Touch(Image() / "jpg");
    Touch(Movie() / "clip.xavi");
    Touch(Movie() / "CASE.AvI");
    Touch(Movie() / "vi");
    std::set<std::string> names;
    for (const MediaEntry& e : ScanMediaFolders(folders))
        names.insert(e.name);
    EXPECT_EQ(names, (std::set<std::string> { "X.JPG", "jpg", "clip.xavi", "CASE.AvI" }));
}

TEST_F(Folders, HiddenFilesFoldersAndSpecialFilesAreNotListed)
{
    Touch(Movie() / ".hidden.avi");
    fs::create_directories(Movie() / "folder.avi");
    fs::create_symlink(Movie() / "nowhere", Movie() / "dangling.avi");
    // A pipe would block whoever opens it to make a thumbnail.
    ASSERT_EQ(mkfifo((Movie() / "pipe.avi").c_str(), 0600), 0);
    Touch(root / "elsewhere.avi");
    fs::create_symlink(root / "elsewhere.avi", Movie() / "linked.avi");
    EXPECT_EQ(Names(ScanMediaFolders(folders)), (std::vector<std::string> { "linked.avi" }));
}

TEST_F(Folders, TheDirectorysOwnOrderIsKeptAndFileFactsAreRead)
{
    for (const char* name : { "zeta.avi", "alpha.avi", "Mid.avi", "10.avi", "9.avi", "beta.avi" })
        ASSERT_TRUE(WriteFileText(Movie() / name, std::string(std::strlen(name), 'm')));
    std::vector<std::string> directoryOrder;
    for (const auto& e : fs::directory_iterator(Movie()))
        directoryOrder.push_back(e.path().filename().string());
    const std::vector<MediaEntry> entries = ListMediaFolder(Movie().string(), "avi", MediaKind::Movie);
    EXPECT_EQ(Names(entries), directoryOrder);
    for (const MediaEntry& e : entries) {
        struct stat st { };
        ASSERT_EQ(stat(e.path.c_str(), &st), 0);
        EXPECT_EQ(e.size, static_cast<int64_t>(e.name.size()));
        EXPECT_EQ(e.modified, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
    }
}

// --- thumbnails ---------------------------------------------------------------------

constexpr QSize kThumb(95, 70);

class Thumbnails : public ::testing::Test {
protected:
    void SetUp() override
    {
        movie = test::SampleMovie();
        ASSERT_FALSE(movie.empty()) << "the sample movie could not be made";
    }
    std::string At(const std::string& name) const { return (dir / name).string(); }

    TempDir dir;
    std::string movie;
};

TEST_F(Thumbnails, AMovieGivesItsFirstPictureAtExactlyTheSizeAsked)
{
    const ThumbnailResult small = MakeMovieThumbnail(movie, kThumb);
    ASSERT_TRUE(small.ok()) << small.why;
    EXPECT_EQ(small.image.size(), kThumb);
    EXPECT_EQ(small.image.format(), QImage::Format_RGB32);
    const ThumbnailResult large = MakeMovieThumbnail(movie, kThumb * 2);
    ASSERT_TRUE(large.ok()) << large.why;
    EXPECT_EQ(large.image.size(), kThumb * 2);
    // The same picture at both sizes (colours in place, nothing swapped or shifted).
    EXPECT_LT(MeanDifference(
                  small.image, large.image.scaled(kThumb, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
        12.0);
    // A test picture, not a flat colour.
    std::set<QRgb> colours;
    for (int y = 0; y < kThumb.height(); y += 7)
        for (int x = 0; x < kThumb.width(); x += 7)
            colours.insert(small.image.pixel(x, y) & 0xF0F0F0);
    EXPECT_GT(colours.size(), 4u);
}

TEST_F(Thumbnails, AMovieThumbnailMatchesTheFirstFrameAsFfmpegScalesIt)
{
    const std::string raw = At("frame.bgra");
    const std::string cmd = "ffmpeg -v error -y -i '" + movie + "' -frames:v 1 -vf scale=95:70:flags=area "
        + "-f rawvideo -pix_fmt bgra '" + raw + "'";
    if (std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "ffmpeg is not available";
    const std::string bytes = test::ReadFileText(raw);
    ASSERT_EQ(bytes.size(), 95u * 70u * 4u);
    QImage reference(reinterpret_cast<const uchar*>(bytes.data()), 95, 70, 95 * 4, QImage::Format_RGB32);
    const ThumbnailResult made = MakeMovieThumbnail(movie, kThumb);
    ASSERT_TRUE(made.ok()) << made.why;
    EXPECT_LT(MeanDifference(made.image, reference.copy()), 6.0);
}

TEST_F(Thumbnails, DamagedMoviesGiveNoThumbnailAndReturn)
{
    ASSERT_TRUE(WriteFileText(At("empty.avi"), ""));
    ASSERT_TRUE(WriteFileText(At("text.avi"), "This is a note, not a movie.\n"));
    std::string noise(1 << 20, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    ASSERT_TRUE(WriteFileText(At("noise.avi"), noise));
    ASSERT_TRUE(test::WriteTruncatedCopy(movie, At("header.avi"), 600));
    for (const char* name : { "empty.avi", "text.avi", "noise.avi", "header.avi", "missing.avi" }) {
        const ThumbnailResult r = MakeMovieThumbnail(At(name), kThumb);
        EXPECT_FALSE(r.ok()) << name;
        EXPECT_FALSE(r.why.empty()) << name;
    }
}

TEST_F(Thumbnails, APictureNamedLikeAMovieCannotMakeTheReaderAllocateItsClaimedSize)
{
    // 40000 x 40000 is under FFmpeg's own default pixel limit, so only ours stops it.
    ASSERT_TRUE(test::WriteJpegWithClaimedSize(At("claims.avi"), 40000, 40000));
    const ThumbnailResult claims = MakeMovieThumbnail(At("claims.avi"), kThumb);
    EXPECT_FALSE(claims.ok());
    EXPECT_FALSE(claims.why.empty());
    // A real small picture named like a movie gives its thumbnail.
    ASSERT_TRUE(test::WritePicture(At("still.avi"), QSize(160, 120), QColor(20, 200, 40)));
    const ThumbnailResult still = MakeMovieThumbnail(At("still.avi"), kThumb);
    ASSERT_TRUE(still.ok()) << still.why;
    EXPECT_NEAR(qGreen(still.image.pixel(40, 30)), 200, 12);
}

TEST_F(Thumbnails, AHeaderClaimingHundredsOfMegabytesIsNeverAllocated)
{
    // 116 bytes of AVI whose INFO tag declares 768 MiB: FFmpeg allocates what a header
    // declares before it reads it (fuzzing found a 5 KB file costing 800 MB and
    // seconds). Opened in a child, whose peak memory is its own to measure.
    auto u32 = [](uint32_t v) { return std::string { char(v), char(v >> 8), char(v >> 16), char(v >> 24) }; };
    std::string avih = "avih" + u32(56);
    for (uint32_t v : { 33333u, 0u, 0u, 0x10u, 1u, 0u, 1u, 0u, 64u, 48u, 0u, 0u, 0u, 0u })
        avih += u32(v);
    const std::string hdrl = "LIST" + u32(uint32_t(4 + avih.size())) + "hdrl" + avih;
    const std::string info = "LIST" + u32((768u << 20) + 64) + "INFO" + "ISFT" + u32(768u << 20) + "kestovar";
    ASSERT_TRUE(WriteFileText(At("claims.avi"), "RIFF" + u32((768u << 20) + 200) + "AVI " + hdrl + info));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rusage before {}, after {};
        getrusage(RUSAGE_SELF, &before);
        int width = 0, height = 0;
        ReadMovieFrameSize(At("claims.avi"), width, height);
        MakeMovieThumbnail(At("claims.avi"), kThumb);
        getrusage(RUSAGE_SELF, &after);
        _exit(after.ru_maxrss - before.ru_maxrss > 100 * 1024 ? 1 : 0); // kilobytes
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "opening the file raised the peak memory by over 100 MB";
}

TEST_F(Thumbnails, ATruncatedMovieStillShowsItsFirstPicture)
{
    // Cut the file a little after its first video chunk ("00dc"), as a recording ends
    // when the disk fills or the power fails: no index, most of the movie gone.
    const std::string bytes = test::ReadFileText(movie);
    const size_t chunk = bytes.find("00dc", bytes.find("movi"));
    ASSERT_NE(chunk, std::string::npos);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + chunk + 4);
    const size_t chunkSize = p[0] | p[1] << 8 | p[2] << 16 | static_cast<size_t>(p[3]) << 24;
    const size_t cut = chunk + 8 + chunkSize + 512;
    ASSERT_LT(cut, bytes.size());
    ASSERT_TRUE(test::WriteTruncatedCopy(movie, At("cut.avi"), cut));
    const ThumbnailResult r = MakeMovieThumbnail(At("cut.avi"), kThumb);
    ASSERT_TRUE(r.ok()) << r.why;
    EXPECT_LT(MeanDifference(r.image, MakeMovieThumbnail(movie, kThumb).image), 1.0);

    // Cut inside that first picture: whatever the decoder makes of it, or nothing.
    ASSERT_TRUE(test::WriteTruncatedCopy(movie, At("cut_inside.avi"), chunk + 8 + chunkSize / 2));
    const ThumbnailResult inside = MakeMovieThumbnail(At("cut_inside.avi"), kThumb);
    if (inside.ok()) {
        EXPECT_EQ(inside.image.size(), kThumb);
    }
}

TEST_F(Thumbnails, TheLimitsAndTheCancelFlagAreHeeded)
{
    ThumbnailLimits tiny;
    tiny.maxPixels = 320 * 240 - 1;
    const ThumbnailResult tooLarge = MakeMovieThumbnail(movie, kThumb, tiny);
    EXPECT_FALSE(tooLarge.ok());
    EXPECT_EQ(tooLarge.why, "picture too large");

    ThumbnailLimits noPackets;
    noPackets.maxPackets = 0;
    EXPECT_FALSE(MakeMovieThumbnail(movie, kThumb, noPackets).ok());

    std::atomic<bool> cancel { true };
    const ThumbnailResult cancelled = MakeMovieThumbnail(movie, kThumb, {}, &cancel);
    EXPECT_FALSE(cancelled.ok());
}

TEST_F(Thumbnails, APictureIsDecodedAtTheThumbnailSize)
{
    ASSERT_TRUE(test::WritePicture(At("red.jpg"), QSize(640, 480), QColor(200, 30, 30)));
    const ThumbnailResult r = MakePictureThumbnail(At("red.jpg"), kThumb);
    ASSERT_TRUE(r.ok()) << r.why;
    EXPECT_EQ(r.image.size(), kThumb);
    const QRgb centre = r.image.pixel(47, 35);
    EXPECT_NEAR(qRed(centre), 200, 8);
    EXPECT_NEAR(qGreen(centre), 30, 8);
    EXPECT_NEAR(qBlue(centre), 30, 8);
}

TEST_F(Thumbnails, AHugePictureIsCheapAndABadOneGivesNone)
{
    ASSERT_TRUE(test::WriteGreyJpeg(At("huge.jpg"), 20000, 20000));
    QImageReader probe(QString::fromStdString(At("huge.jpg")));
    ASSERT_EQ(probe.size(), QSize(20000, 20000));
    const ThumbnailResult huge = MakePictureThumbnail(At("huge.jpg"), kThumb);
    ASSERT_TRUE(huge.ok()) << huge.why;
    EXPECT_EQ(huge.image.size(), kThumb);
    EXPECT_NEAR(qGray(huge.image.pixel(10, 10)), 128, 3);

    ASSERT_TRUE(WriteFileText(At("note.jpg"), "not a picture at all\n"));
    EXPECT_FALSE(MakePictureThumbnail(At("note.jpg"), kThumb).ok());
    ASSERT_TRUE(WriteFileText(At("empty.jpg"), ""));
    EXPECT_FALSE(MakePictureThumbnail(At("empty.jpg"), kThumb).ok());

    // A header that claims far more than any picture could hold is refused unread.
    ASSERT_TRUE(test::WriteJpegWithClaimedSize(At("claims.jpg"), 60000, 60000));
    const ThumbnailResult claims = MakePictureThumbnail(At("claims.jpg"), kThumb);
    EXPECT_FALSE(claims.ok());
    EXPECT_EQ(claims.why, "picture too large");
    // A plausible claim with too little data shows what it can, or nothing.
    ASSERT_TRUE(test::WriteJpegWithClaimedSize(At("short.jpg"), 4000, 3000));
    const ThumbnailResult shortData = MakePictureThumbnail(At("short.jpg"), kThumb);
    if (shortData.ok()) {
        EXPECT_EQ(shortData.image.size(), kThumb);
    }
}

// --- the cache ------------------------------------------------------------------------

TEST(ThumbnailCacheTest, AThumbnailIsFoundOnlyForTheSameFileStateAndSize)
{
    ThumbnailCache cache;
    QImage image(kThumb, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const ThumbnailKey key { "/m/a.avi", kThumb, 1000, 55 };
    EXPECT_FALSE(cache.Find(key));
    cache.Insert(key, image);
    ASSERT_TRUE(cache.Find(key));
    EXPECT_EQ(*cache.Find(key), image);
    EXPECT_FALSE(cache.Find({ "/m/a.avi", kThumb, 1001, 55 })); // rewritten
    EXPECT_FALSE(cache.Find({ "/m/a.avi", kThumb, 1000, 56 }));
    EXPECT_FALSE(cache.Find({ "/m/a.avi", kThumb * 2, 1000, 55 })); // another scale
    EXPECT_FALSE(cache.Find({ "/m/b.avi", kThumb, 1000, 55 }));

    // A file that gave nothing is remembered as such.
    const ThumbnailKey broken { "/m/broken.avi", kThumb, 1, 0 };
    cache.Insert(broken, QImage());
    ASSERT_TRUE(cache.Find(broken));
    EXPECT_TRUE(cache.Find(broken)->isNull());
}

TEST(ThumbnailCacheTest, TheLeastRecentlyUsedGoFirstWhenTheBudgetIsPassed)
{
    QImage image(kThumb, QImage::Format_RGB32);
    image.fill(Qt::green);
    ThumbnailCache cache(image.sizeInBytes() * 3);
    auto key = [](int i) { return ThumbnailKey { "/m/" + std::to_string(i) + ".avi", kThumb, i, i }; };
    for (int i = 0; i < 3; ++i)
        cache.Insert(key(i), image);
    ASSERT_TRUE(cache.Find(key(0))); // 0 is now the most recent
    cache.Insert(key(3), image);
    EXPECT_EQ(cache.Count(), 3);
    EXPECT_TRUE(cache.Find(key(0)));
    EXPECT_FALSE(cache.Find(key(1)));
    EXPECT_TRUE(cache.Find(key(2)));
    EXPECT_TRUE(cache.Find(key(3)));
    EXPECT_LE(cache.Bytes(), cache.Budget());
}

// --- the worker -----------------------------------------------------------------------

TEST_F(Thumbnails, TheLoaderReportsEveryRequestOnceWithItsTicket)
{
    ASSERT_TRUE(test::CopyFile(movie, At("a.avi")));
    ASSERT_TRUE(WriteFileText(At("bad.avi"), ""));
    ASSERT_TRUE(test::WritePicture(At("p.jpg"), QSize(320, 240), Qt::yellow));
    std::vector<MediaEntry> entries = ListMediaFolder(dir.str(), "avi", MediaKind::Movie);
    for (MediaEntry& e : ListMediaFolder(dir.str(), "jpg", MediaKind::Picture))
        entries.push_back(e);
    ASSERT_EQ(entries.size(), 3u);

    ThumbnailLoader loader;
    QSignalSpy ready(&loader, &ThumbnailLoader::ThumbnailReady);
    for (size_t i = 0; i < entries.size(); ++i)
        loader.Request(100 + i, entries[i], kThumb);
    EXPECT_EQ(loader.Pending(), 3);
    ASSERT_TRUE(loader.WaitForIdle(60000));
    ASSERT_EQ(ready.count(), 3);
    std::set<quint64> tickets;
    for (const QList<QVariant>& signal : ready) {
        const quint64 ticket = signal.at(0).value<quint64>();
        const auto key = signal.at(1).value<ThumbnailKey>();
        const QImage image = signal.at(2).value<QImage>();
        tickets.insert(ticket);
        const MediaEntry& e = entries[ticket - 100];
        EXPECT_EQ(key, KeyOf(e, kThumb));
        EXPECT_EQ(image.isNull(), e.name == "bad.avi") << e.name;
    }
    EXPECT_EQ(tickets, (std::set<quint64> { 100, 101, 102 }));
}

// The nice values of this process's threads whose name starts with `prefix`.
std::vector<int> NiceOfThreads(const std::string& prefix)
{
    std::vector<int> nices;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm = test::ReadFileText(task.path() / "comm");
        if (comm.rfind(prefix, 0) != 0)
            continue;
        // The fields after the parenthesised name: state is the 3rd, nice the 19th.
        const std::string stat = test::ReadFileText(task.path() / "stat");
        std::istringstream rest(stat.substr(stat.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 19 && rest >> field; ++i) {
        }
        nices.push_back(std::stoi(field));
    }
    return nices;
}

TEST_F(Thumbnails, TheLoaderWorksBelowTheLivePicturesPriority)
{
    ASSERT_TRUE(test::CopyFile(movie, At("a.avi")));
    const std::vector<MediaEntry> entries = ListMediaFolder(dir.str(), "avi", MediaKind::Movie);
    const std::vector<int> before = NiceOfThreads("Thread (pooled)");
    ThumbnailLoader loader;
    loader.Request(1, entries[0], kThumb);
    ASSERT_TRUE(loader.WaitForIdle(60000));
    // The worker stays in the pool for a while after its work.
    const std::vector<int> after = NiceOfThreads("Thread (pooled)");
    ASSERT_GT(after.size(), before.size()) << "the loader's worker is alive";
    EXPECT_EQ(std::count(after.begin(), after.end(), kBackgroundNice),
        std::count(before.begin(), before.end(), kBackgroundNice) + 1);
    EXPECT_EQ(ThisThreadNice(), 0) << "the GUI thread keeps its priority";
}

TEST_F(Thumbnails, NothingOfACancelledRoundIsDelivered)
{
    std::vector<MediaEntry> entries;
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(test::CopyFile(movie, At("m" + std::to_string(i) + ".avi")));
    }
    entries = ListMediaFolder(dir.str(), "avi", MediaKind::Movie);
    ThumbnailLoader loader;
    QSignalSpy ready(&loader, &ThumbnailLoader::ThumbnailReady);
    for (size_t i = 0; i < entries.size(); ++i)
        loader.Request(i, entries[i], kThumb);
    loader.CancelAll();
    EXPECT_EQ(loader.Pending(), 0);
    loader.Request(999, entries[0], kThumb);
    ASSERT_TRUE(loader.WaitForIdle(60000));
    // Let anything still on its way from the first round arrive (it must be dropped).
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(ready.count(), 1);
    EXPECT_EQ(ready.at(0).at(0).value<quint64>(), 999u);
}

// --- the model ------------------------------------------------------------------------

TEST(MediaListModelTest, AnEditedLabelIsHandedOnAndRefused)
{
    MediaListModel model;
    std::vector<MediaEntry> entries(2);
    entries[0] = { "a.jpg", "/i/a.jpg", MediaKind::Picture, 1, 1 };
    entries[1] = { "b.avi", "/m/b.avi", MediaKind::Movie, 1, 1 };
    QImage known(kThumb, QImage::Format_RGB32);
    known.fill(Qt::red);
    model.Reset(entries, { known, std::nullopt });
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.StateOf(0), MediaListModel::ThumbnailState::Ready);
    EXPECT_EQ(model.StateOf(1), MediaListModel::ThumbnailState::Pending);
    EXPECT_EQ(model.PendingCount(), 1);
    model.SetThumbnail(1, QImage());
    EXPECT_EQ(model.StateOf(1), MediaListModel::ThumbnailState::Missing);
    EXPECT_EQ(model.PendingCount(), 0);

    QSignalSpy rename(&model, &MediaListModel::RenameRequested);
    EXPECT_FALSE(model.setData(model.index(1), QStringLiteral("Knee"), Qt::EditRole));
    ASSERT_EQ(rename.count(), 1);
    EXPECT_EQ(rename.at(0).at(0).toString(), QStringLiteral("/m/b.avi"));
    EXPECT_EQ(rename.at(0).at(1).toString(), QStringLiteral("Knee"));
    EXPECT_EQ(model.data(model.index(1), Qt::DisplayRole).toString(), QStringLiteral("b.avi"));
    EXPECT_EQ(model.RowOf("/m/b.avi"), 1);
    EXPECT_EQ(model.RowOf("/m/c.avi"), -1);
}

// --- the storage line -------------------------------------------------------------------

TEST(StorageLabelTest, ThePercentageCountsWholeGibibytes)
{
    constexpr uint64_t GiB = 1ULL << 30;
    EXPECT_EQ(FreeSpacePercent({ static_cast<uint64_t>(185.7 * GiB), 500 * GiB }), 37);
    EXPECT_EQ(FreeSpacePercentText(37), QStringLiteral("37%"));
    EXPECT_EQ(FreeSpacePercent({ 2 * GiB - 1, 2 * GiB }), 50); // 1 of 2 whole GiB
    EXPECT_EQ(FreeSpacePercent({ 500 * GiB, 500 * GiB }), 100);
    EXPECT_EQ(FreeSpacePercent({ 0, 500 * GiB }), 0);
    EXPECT_EQ(FreeSpacePercent({ GiB / 2, GiB - 1 }), 0); // under 1 GiB: full, as the guard says
    EXPECT_EQ(FreeSpacePercent({ 3 * GiB, 7 * GiB }), 42); // 42.857 cut toward zero
}

TEST(StorageLabelTest, ALongRootIsShortenedInTheMiddleKeepingItsLastFolder)
{
    const QFont font(QStringLiteral("Arial"), 9);
    const QFontMetrics metrics(font);
    const QString shortPath = QStringLiteral("/home/op/Kestovar");
    EXPECT_EQ(ElidePath(shortPath, metrics, 1000), shortPath);

    const QString longPath = QStringLiteral("/home/operator/hospital archive/2017/orthopaedics/Kestovar");
    const int width = metrics.horizontalAdvance(QStringLiteral("/home/operator/…/Kestovar")) + 2;
    const QString shown = ElidePath(longPath, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/home/op"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("…/Kestovar"))) << shown.toStdString();

    const QString narrow = ElidePath(longPath, metrics, 40);
    EXPECT_LE(metrics.horizontalAdvance(narrow), 40);
    EXPECT_TRUE(narrow.contains(QStringLiteral("…")));
}

} // namespace
} // namespace kestovar
