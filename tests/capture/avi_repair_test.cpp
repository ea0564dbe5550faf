// Unfinished AVI files (cut off at any byte, as a kill or a power cut leaves them)
// are completed in place: every whole frame before the cut stays and plays.
#include "capture/AviRepair.h"
#include "capture/AviRepairScan.h"
#include "capture/MediaHandles.h"
#include "capture/RecordingJournal.h"
#include "platform/UniqueFd.h"

#include "AviPlayCheck.h"
#include "MediaFixtures.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace kestovar {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WritePrefix(const std::string& bytes, size_t length, const std::string& to)
{
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(length));
}

class AviRepairTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        source_ = new test::TempDir;
        movie_ = (source_->path() / "whole.avi").string();
        ASSERT_TRUE(test::MakeRecordedAvi(movie_, 320, 240, 30, 4.0, true));
    }
    static void TearDownTestSuite()
    {
        delete source_;
        source_ = nullptr;
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static test::TempDir* source_;
    static std::string movie_;
    test::TempDir dir_;
};
test::TempDir* AviRepairTest::source_ = nullptr;
std::string AviRepairTest::movie_;

TEST_F(AviRepairTest, EveryCutKeepsAllWholeFramesBeforeItAndPlays)
{
    const std::string whole = Bytes(movie_);
    const test::FileFacts original = test::ReadFacts(movie_);
    const std::vector<int64_t> ends = test::VideoChunkEnds(movie_);
    ASSERT_EQ(original.streams.size(), 2u);
    ASSERT_EQ(ends.size(), original.streams[0].packets.size());

    // Cuts from just after the header to inside the index at the very end.
    std::vector<size_t> cuts;
    for (int i = 1; i <= 18; ++i)
        cuts.push_back(whole.size() * static_cast<size_t>(i) / 20 + static_cast<size_t>(i * 37));
    cuts.push_back(static_cast<size_t>(ends[40])); // exactly after a frame
    cuts.push_back(static_cast<size_t>(ends[41]) - 1); // one byte short of one
    cuts.push_back(whole.size() - 40); // inside idx1
    cuts.push_back(static_cast<size_t>(ends.back()) + 2);

    for (size_t cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
        const std::string path = Path("cut.avi");
        WritePrefix(whole, cut, path);
        std::string why;
        ASSERT_EQ(InspectAvi(path, &why), AviFileState::Unfinished);
        EXPECT_FALSE(why.empty());

        const AviRepairResult repaired = RepairAvi(path);
        ASSERT_TRUE(repaired.ok) << repaired.error;
        EXPECT_TRUE(repaired.changed);
        ASSERT_EQ(InspectAvi(path, &why), AviFileState::Complete) << why;

        const auto whole_frames = static_cast<size_t>(std::count_if(
            ends.begin(), ends.end(), [cut](int64_t end) { return end <= static_cast<int64_t>(cut); }));
        EXPECT_EQ(repaired.videoFrames, whole_frames);
        const test::FileFacts facts = test::ReadFacts(path);
        ASSERT_TRUE(facts.opened);
        ASSERT_FALSE(facts.streams.empty());
        const auto& packets = facts.streams[0].packets;
        ASSERT_EQ(packets.size(), whole_frames);
        for (size_t k = 0; k < packets.size(); ++k)
            ASSERT_EQ(packets[k], original.streams[0].packets[k]) << "frame " << k;
        // Key frames are marked again, so the movie seeks.
        for (size_t k = 0; k < packets.size(); ++k)
            ASSERT_EQ(facts.streams[0].keys[k], original.streams[0].keys[k]) << "frame " << k;
        if (whole_frames > 30) {
            ASSERT_EQ(facts.streams.size(), 2u);
            EXPECT_FALSE(facts.streams[1].packets.empty()) << "the sound before the cut is kept";
        }
        EXPECT_EQ(test::FfprobeVideoPackets(path), static_cast<long>(whole_frames));
        EXPECT_TRUE(test::ProbeFindsPicture(path));
        std::string errors;
        if (whole_frames > 0) {
            EXPECT_TRUE(test::FfmpegDecodesCleanly(path, &errors)) << errors;
        }

        const AviRepairResult again = RepairAvi(path);
        EXPECT_TRUE(again.ok);
        EXPECT_FALSE(again.changed) << "a repaired file needs nothing more";
    }
}

TEST_F(AviRepairTest, CompleteAndUnreadableFilesAreLeftAsTheyAre)
{
    const std::string whole = Bytes(movie_);
    EXPECT_EQ(InspectAvi(movie_), AviFileState::Complete);
    const AviRepairResult untouched = RepairAvi(movie_);
    EXPECT_TRUE(untouched.ok);
    EXPECT_FALSE(untouched.changed);
    EXPECT_EQ(untouched.videoFrames, 120u);
    EXPECT_EQ(Bytes(movie_), whole);

    // Cut inside its header: there is nothing to save, and nothing is written.
    WritePrefix(whole, 100, Path("header.avi"));
    EXPECT_EQ(InspectAvi(Path("header.avi")), AviFileState::Unreadable);
    EXPECT_FALSE(RepairAvi(Path("header.avi")).ok);
    EXPECT_EQ(fs::file_size(Path("header.avi")), 100u);

    ASSERT_TRUE(test::WriteFileText(Path("text.avi"), "not a movie at all, just words"));
    EXPECT_EQ(InspectAvi(Path("text.avi")), AviFileState::Unreadable);
    EXPECT_FALSE(RepairAvi(Path("text.avi")).ok);
    EXPECT_EQ(test::ReadFileText(Path("text.avi")), "not a movie at all, just words");
    EXPECT_EQ(InspectAvi(Path("missing.avi")), AviFileState::Unreadable);

    // Something other than a chunk in the middle (not a cut-off tail): not ours to change.
    std::string foreign = whole;
    const auto header = static_cast<size_t>(test::VideoChunkEnds(movie_)[40]); // the next chunk's id
    std::fill(foreign.begin() + static_cast<std::ptrdiff_t>(header),
        foreign.begin() + static_cast<std::ptrdiff_t>(header + 8), 'Q');
    WritePrefix(foreign, foreign.size(), Path("foreign.avi"));
    EXPECT_EQ(InspectAvi(Path("foreign.avi")), AviFileState::Unreadable);
    EXPECT_FALSE(RepairAvi(Path("foreign.avi")).ok);
    EXPECT_EQ(Bytes(Path("foreign.avi")), foreign);

    // Zeros where the end should be (a file system that lost its last blocks).
    std::string zeroed = whole.substr(0, whole.size() / 2) + std::string(5000, '\0');
    WritePrefix(zeroed, zeroed.size(), Path("zeros.avi"));
    ASSERT_EQ(InspectAvi(Path("zeros.avi")), AviFileState::Unfinished);
    const AviRepairResult fromZeros = RepairAvi(Path("zeros.avi"));
    ASSERT_TRUE(fromZeros.ok) << fromZeros.error;
    EXPECT_GT(fromZeros.videoFrames, 50u);
    EXPECT_EQ(test::FfprobeVideoPackets(Path("zeros.avi")), static_cast<long>(fromZeros.videoFrames));
}

// The start-up repair takes only the movies of the journal, and of those only what is
// still the file the station created, open in no other program and not growing.
TEST_F(AviRepairTest, TheStartRepairsOnlyJournalledMoviesNoOneElseIsUsing)
{
    const std::string whole = Bytes(movie_);
    const std::string journal = Path("journal");
    SetRecordingJournal(journal);
    auto recorded = [&](const std::string& name, size_t length) {
        WritePrefix(whole, length, Path(name));
        std::string error;
        EXPECT_TRUE(JournalRecordingStarted(Path(name), &error)) << error;
    };
    recorded("a_complete.avi", whole.size());
    recorded("b_killed.AVI", whole.size() / 2);
    recorded("c_open.avi", whole.size() / 3);
    recorded("d_deleted.avi", whole.size() / 3);
    fs::remove(Path("d_deleted.avi"));
    recorded("e_replaced.avi", whole.size() / 3);
    fs::rename(Path("e_replaced.avi"), Path("e_renamed.avi"));
    WritePrefix(whole, whole.size() / 4, Path("e_replaced.avi"));
    WritePrefix(whole, whole.size() / 2, Path("f_not_ours.avi"));
    SetRecordingJournal({});
    const std::vector<JournalEntry> entries = ReadRecordingJournal(journal);
    ASSERT_EQ(entries.size(), 5u);

    // Another program holds c_open.avi open (a copy being made of it, say).
    const pid_t holder = fork();
    if (holder == 0) {
        const int fd = open(Path("c_open.avi").c_str(), O_RDONLY);
        pause();
        _exit(fd < 0);
    }
    for (int i = 0; i < 500 && WhyNotRepairable(entries[2], 0) != "open"; ++i)
        usleep(10'000);
    ASSERT_EQ(WhyNotRepairable(entries[2], 0), "open");
    const std::vector<RepairedMovie> repaired = RepairJournaledMovies(journal, entries, 50);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);

    ASSERT_EQ(repaired.size(), 1u);
    EXPECT_EQ(fs::path(repaired[0].path).filename(), "b_killed.AVI");
    EXPECT_TRUE(repaired[0].result.ok) << repaired[0].result.error;
    EXPECT_EQ(InspectAvi(Path("b_killed.AVI")), AviFileState::Complete);
    EXPECT_EQ(Bytes(Path("a_complete.avi")), whole);
    EXPECT_EQ(fs::file_size(Path("c_open.avi")), whole.size() / 3);
    EXPECT_EQ(fs::file_size(Path("e_renamed.avi")), whole.size() / 3);
    EXPECT_EQ(fs::file_size(Path("e_replaced.avi")), whole.size() / 4);
    EXPECT_EQ(fs::file_size(Path("f_not_ours.avi")), whole.size() / 2);
    // Only the movie that was in use waits for the next start; then it is repaired.
    const std::vector<JournalEntry> left = ReadRecordingJournal(journal);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], entries[2]);
    const std::vector<RepairedMovie> later = RepairJournaledMovies(journal, left, 50);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(InspectAvi(Path("c_open.avi")), AviFileState::Complete);
    EXPECT_FALSE(fs::exists(journal)) << "an empty journal is removed";
}

TEST_F(AviRepairTest, OnAFullDiskTheLastMomentsMakeRoomForTheIndex)
{
    const std::string big = Path("big.avi");
    ASSERT_TRUE(test::MakeRecordedAvi(big, 640, 480, 30, 8.0, true));
    const std::string whole = Bytes(big);
    test::SmallDisk disk(static_cast<unsigned>(whole.size() / 1024 + 512));
    if (!disk.Ready())
        GTEST_SKIP() << disk.WhyNot();
    const size_t cut = whole.size() * 9 / 10;
    WritePrefix(whole, cut, disk.Path("full.avi"));
    disk.Fill();

    const AviRepairResult repaired = RepairAvi(disk.Path("full.avi"));
    ASSERT_TRUE(repaired.ok) << repaired.error;
    EXPECT_GT(repaired.droppedBytes, 0u);
    std::printf("full disk: kept %llu frames, gave up %llu bytes of %zu\n",
        static_cast<unsigned long long>(repaired.videoFrames),
        static_cast<unsigned long long>(repaired.droppedBytes), cut);
    EXPECT_EQ(InspectAvi(disk.Path("full.avi")), AviFileState::Complete);
    // Most of it stays: only enough for the index is given up.
    EXPECT_GT(repaired.videoFrames, 8u * 30u * 9u / 10u - 30u);
    EXPECT_EQ(test::FfprobeVideoPackets(disk.Path("full.avi")), static_cast<long>(repaired.videoFrames));
}

} // namespace
} // namespace kestovar

namespace kestovar {
namespace {

// Writes `frames` H.264 chunks of about `bytes` each (an access unit padded with
// trailing zero bytes, which Annex B allows) with libavformat's avi muxer, so the
// file passes 1 GiB and goes on in an OpenDML "AVIX" part.
bool WriteLargeAvi(const std::string& path, int frames, size_t bytes)
{
    const auto base = test::EncodeH264(320, 240, 30, 30, 30);
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str()) < 0)
        return false;
    media::OutputPtr out(raw);
    AVStream* st = avformat_new_stream(out.get(), nullptr);
    st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    st->codecpar->codec_id = AV_CODEC_ID_H264;
    st->codecpar->codec_tag = MKTAG('H', '2', '6', '4');
    st->codecpar->width = 320;
    st->codecpar->height = 240;
    st->time_base = AVRational { 1, 30 };
    if (avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0
        || avformat_write_header(out.get(), nullptr) < 0)
        return false;
    std::vector<uint8_t> data;
    media::PacketPtr packet(av_packet_alloc());
    for (int i = 0; i < frames; ++i) {
        const auto& unit = base[static_cast<size_t>(i % 30)];
        data.assign(unit.begin(), unit.end());
        data.resize(std::max(bytes, unit.size()), 0);
        packet->data = data.data();
        packet->size = static_cast<int>(data.size());
        packet->pts = packet->dts = i;
        packet->duration = 1;
        packet->flags = i % 30 == 0 ? AV_PKT_FLAG_KEY : 0;
        packet->stream_index = 0;
        if (av_write_frame(out.get(), packet.get()) < 0)
            return false;
    }
    packet->data = nullptr;
    packet->size = 0;
    return av_write_trailer(out.get()) >= 0;
}

TEST(AviRepairOpenDml, AFileCutInItsSecondPartKeepsEveryWholeFrameAndItsIndex)
{
    test::TempDir dir;
    const std::string path = (dir / "long.avi").string();
    constexpr int kFrames = 2800;
    ASSERT_TRUE(WriteLargeAvi(path, kFrames, 400 * 1024));
    const uint64_t size = fs::file_size(path);
    ASSERT_GT(size, 1ull << 30);
    EXPECT_EQ(InspectAvi(path), AviFileState::Complete) << "a finished OpenDML file needs nothing";
    const std::vector<int64_t> ends = test::VideoChunkEnds(path);
    ASSERT_EQ(ends.size(), static_cast<size_t>(kFrames));

    // Killed in the second part: sizes, its ix00 and the header's indx are missing.
    const uint64_t cut = size - 30'000'000 - 123;
    fs::resize_file(path, cut);
    ASSERT_EQ(InspectAvi(path), AviFileState::Unfinished);
    const AviRepairResult repaired = RepairAvi(path);
    ASSERT_TRUE(repaired.ok) << repaired.error;
    EXPECT_EQ(InspectAvi(path), AviFileState::Complete);
    const auto whole = static_cast<uint64_t>(std::count_if(
        ends.begin(), ends.end(), [cut](int64_t end) { return end <= static_cast<int64_t>(cut); }));
    EXPECT_EQ(repaired.videoFrames, whole);
    EXPECT_EQ(test::VideoChunkEnds(path).size(), whole);
    EXPECT_EQ(test::FfprobeVideoPackets(path), static_cast<long>(whole));
    // The header's super index lists both parts' ix00 now.
    {
        UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        AviHeaderFields header;
        ASSERT_TRUE(ReadAviHeaderFields(fd.get(), fs::file_size(path), header, nullptr));
        ASSERT_EQ(header.streams.size(), 1u);
        ASSERT_NE(header.streams[0].indxOffset, 0u);
        uint8_t entries[4];
        ASSERT_EQ(pread(fd.get(), entries, 4, static_cast<off_t>(header.streams[0].indxOffset + 12)), 4);
        EXPECT_EQ(AviLe32(entries), 2u);
        uint8_t frames[4];
        ASSERT_EQ(pread(fd.get(), frames, 4, static_cast<off_t>(header.streams[0].lengthOffset)), 4);
        EXPECT_EQ(AviLe32(frames), whole) << "the stream's length counts both parts";
    }
    // Seeking near the end uses the rebuilt index.
    std::string out;
    EXPECT_EQ(test::RunCommand("ffprobe -v error -read_intervals 85%+#1 -select_streams v:0 -show_entries "
                               "packet=pts -of csv=p=0 "
                      + test::Quoted(path),
                  &out),
        0);
    EXPECT_FALSE(out.empty());
}

} // namespace
} // namespace kestovar
