// The AVI writer: what ends up in the file, read back with libavformat.
#include "capture/AviHeaderPatch.h"
#include "capture/AviWriter.h"
#include "capture/MediaHandles.h"
#include "capture/VideoKeyFrames.h"
#include "platform/AudioBackend.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace kestovar {
namespace {

using test::Packet;

constexpr int64_t kStart = 5'000'000; // a monotonic time, in microseconds

// Feeds a writer like a camera and a microphone would, from timestamps alone.
struct Feed {
    AviWriter& writer;
    const std::vector<Packet>& packets;
    int fps;
    std::vector<float> tone = test::Tone(30.0);
    size_t audioAt = 0; // frames of tone delivered

    int64_t FrameTime(size_t i) const { return kStart + static_cast<int64_t>(i) * 1000000 / fps; }

    // Frames [from, to) and the sound captured up to the last of them, in 20 ms blocks.
    void Deliver(size_t from, size_t to, bool audio = true)
    {
        for (size_t i = from; i < to; ++i) {
            writer.PushVideo(packets[i].data(), packets[i].size(), FrameTime(i));
            while (audio && kStart + static_cast<int64_t>(audioAt) * 1000000 / kAudioRate <= FrameTime(i)) {
                writer.PushAudio(tone.data() + audioAt * kAudioChannels, kAudioRate / 50,
                    kStart + static_cast<int64_t>(audioAt) * 1000000 / kAudioRate);
                audioAt += kAudioRate / 50;
            }
        }
    }
};

AviWriterSettings Settings(const std::string& path, AviVideoCodec codec, int w, int h, bool audio)
{
    AviWriterSettings s;
    s.path = path;
    s.codec = codec;
    s.width = w;
    s.height = h;
    s.frameRateNum = 30;
    s.withAudio = audio;
    return s;
}

class AviWriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { h264_ = new std::vector<Packet>(test::EncodeH264(320, 240, 30, 180, 30)); }
    static void TearDownTestSuite()
    {
        delete h264_;
        h264_ = nullptr;
    }
    static const std::vector<Packet>& H264() { return *h264_; }

    test::TempDir dir_;
    static std::vector<Packet>* h264_;
};
std::vector<Packet>* AviWriterTest::h264_ = nullptr;

TEST_F(AviWriterTest, H264WithSoundKeepsEveryPacketAndLastsAsLongAsRecorded)
{
    const std::string path = (dir_ / "movie.avi").string();
    AviWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(Settings(path, AviVideoCodec::H264, 320, 240, true), &error)) << error;
    Feed feed { writer, H264(), 30 };
    feed.Deliver(0, 180);
    ASSERT_TRUE(writer.Close(feed.FrameTime(180), &error)) << error;
    EXPECT_GT(writer.FileBytes(), 0u);

    auto facts = test::ReadFacts(path);
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.size(), 2u);
    const auto& video = facts.streams[0];
    const auto& audio = facts.streams[1];
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.codecTag, MKTAG('H', '2', '6', '4'));
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    EXPECT_NEAR(video.frameRate, 30.0, 0.01);
    EXPECT_EQ(audio.codec, "mp3");
    EXPECT_EQ(audio.sampleRate, 48000);
    EXPECT_EQ(audio.channels, 2);
    // Byte for byte what the camera delivered, in order, nothing added.
    ASSERT_EQ(video.packets.size(), H264().size());
    for (size_t i = 0; i < H264().size(); ++i)
        ASSERT_EQ(video.packets[i], H264()[i]) << "packet " << i;
    // Key flags on the IDR frames only, so the index can seek.
    for (size_t i = 0; i < video.keys.size(); ++i)
        EXPECT_EQ(video.keys[i], i % 30 == 0) << "packet " << i;
    EXPECT_NEAR(video.duration, 6.0, 0.05);
    EXPECT_NEAR(audio.duration, 6.0, 0.1);
    EXPECT_NEAR(test::DecodedSoundPeak(path), 0.3f, 0.05f); // the tone, not silence
    EXPECT_NEAR(facts.duration, 6.0, 0.2);
    // The encoder's delay does not push the picture back: the first frame is at 0 and
    // no empty chunk stands anywhere.
    EXPECT_EQ(video.pts.front(), 0);
    EXPECT_EQ(video.emptyPackets, 0);
    auto result = writer.Result();
    EXPECT_EQ(result.videoFrames, 180);
    EXPECT_FALSE(result.frameRateCorrected);
}

TEST_F(AviWriterTest, WithoutSoundTheFileHasOneStream)
{
    const std::string path = (dir_ / "silent.avi").string();
    AviWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(Settings(path, AviVideoCodec::H264, 320, 240, false), &error)) << error;
    Feed feed { writer, H264(), 30 };
    feed.Deliver(0, 90); // sound pushed anyway is left out
    ASSERT_TRUE(writer.Close(feed.FrameTime(90), &error)) << error;
    auto facts = test::ReadFacts(path);
    ASSERT_EQ(facts.streams.size(), 1u);
    EXPECT_EQ(facts.streams[0].codec, "h264");
    EXPECT_EQ(facts.streams[0].packets.size(), 90u);
    EXPECT_NEAR(facts.streams[0].duration, 3.0, 0.05);
}

TEST_F(AviWriterTest, MjpegFramesAreAllKeyFrames)
{
    auto mjpeg = test::EncodeMjpeg(640, 480, 60);
    const std::string path = (dir_ / "pro.avi").string();
    AviWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(Settings(path, AviVideoCodec::Mjpeg, 640, 480, true), &error)) << error;
    Feed feed { writer, mjpeg, 30 };
    feed.Deliver(0, 60);
    ASSERT_TRUE(writer.Close(feed.FrameTime(60), &error)) << error;
    auto facts = test::ReadFacts(path);
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_EQ(facts.streams[0].codec, "mjpeg");
    EXPECT_EQ(facts.streams[0].codecTag, MKTAG('M', 'J', 'P', 'G'));
    ASSERT_EQ(facts.streams[0].packets.size(), 60u);
    for (size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(facts.streams[0].packets[i], mjpeg[i]);
        EXPECT_TRUE(facts.streams[0].keys[i]);
    }
}

TEST_F(AviWriterTest, RecordingStartsAtTheFirstKeyFrame)
{
    const std::string path = (dir_ / "late.avi").string();
    AviWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(Settings(path, AviVideoCodec::H264, 320, 240, true), &error)) << error;
    Feed feed { writer, H264(), 30 };
    feed.Deliver(10, 90); // joins mid-way: frames 10..29 cannot be decoded alone
    ASSERT_TRUE(writer.Close(feed.FrameTime(90), &error)) << error;
    auto facts = test::ReadFacts(path);
    ASSERT_EQ(facts.streams.size(), 2u);
    ASSERT_EQ(facts.streams[0].packets.size(), 60u);
    EXPECT_EQ(facts.streams[0].packets[0], H264()[30]);
    EXPECT_TRUE(facts.streams[0].keys[0]);
    // The sound starts with the picture, not with the first sound delivered.
    EXPECT_NEAR(facts.streams[1].duration, 2.0, 0.1);
}

TEST_F(AviWriterTest, PauseLeavesAContinuousTimelineAndResumesAtAKeyFrame)
{
    const std::string path = (dir_ / "paused.avi").string();
    AviWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(Settings(path, AviVideoCodec::H264, 320, 240, true), &error)) << error;
    Feed feed { writer, H264(), 30 };
    feed.Deliver(0, 55);
    writer.Pause(feed.FrameTime(60));
    // Frames 55..59 were captured before the pause and arrive late: recorded. Those
    // captured while paused are not.
    feed.Deliver(55, 100);
    // Resumed between two key frames: the picture continues with the next one (120).
    writer.Resume(feed.FrameTime(100));
    feed.Deliver(100, 180);
    ASSERT_TRUE(writer.Close(feed.FrameTime(180), &error)) << error;

    auto facts = test::ReadFacts(path);
    ASSERT_EQ(facts.streams.size(), 2u);
    const auto& video = facts.streams[0];
    ASSERT_EQ(video.packets.size(), 120u);
    EXPECT_EQ(video.packets[59], H264()[59]);
    EXPECT_EQ(video.packets[60], H264()[120]);
    EXPECT_TRUE(video.keys[60]);
    // No empty chunks in between: the frames follow one another.
    for (size_t i = 1; i < video.pts.size(); ++i)
        ASSERT_EQ(video.pts[i], video.pts[i - 1] + 1) << "at packet " << i;
    EXPECT_EQ(video.emptyPackets, 0);
    EXPECT_NEAR(video.duration, 4.0, 0.05);
    EXPECT_NEAR(facts.streams[1].duration, 4.0, 0.1);
    EXPECT_NEAR(writer.Result().recordedSeconds, 4.0, 0.05);
}

TEST_F(AviWriterTest, SlowCameraGetsItsRealFrameRateInTheFile)
{
    // The camera promised 30 frames per second but delivers 25.
    const std::string path = (dir_ / "slow.avi").string();
    AviWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(Settings(path, AviVideoCodec::H264, 320, 240, true), &error)) << error;
    auto packets = test::EncodeH264(320, 240, 25, 100, 25);
    Feed feed { writer, packets, 25 };
    feed.Deliver(0, 100);
    ASSERT_TRUE(writer.Close(feed.FrameTime(100), &error)) << error;
    auto result = writer.Result();
    EXPECT_TRUE(result.frameRateCorrected);
    EXPECT_NEAR(result.frameRate, 25.0, 0.1);
    auto facts = test::ReadFacts(path);
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_NEAR(facts.streams[0].frameRate, 25.0, 0.1);
    EXPECT_NEAR(facts.streams[0].duration, 4.0, 0.05);
    EXPECT_NEAR(facts.streams[1].duration, 4.0, 0.1);
}

TEST_F(AviWriterTest, AFullDiskIsReportedOnceAndNothingBlocks)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "/dev/full is not available";
    std::atomic<int> reports { 0 };
    std::string reported;
    AviWriter writer([&](const std::string& message) {
        reported = message;
        ++reports;
    });
    std::string error;
    if (!writer.Open(Settings("/dev/full", AviVideoCodec::H264, 320, 240, true), &error)) {
        // Refused at once: the message says what and where.
        EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
        return;
    }
    Feed feed { writer, H264(), 30 };
    feed.Deliver(0, 180);
    EXPECT_FALSE(writer.Close(feed.FrameTime(180), &error));
    EXPECT_TRUE(writer.Failed());
    EXPECT_EQ(reports.load(), 1);
    EXPECT_NE(reported.find("/dev/full"), std::string::npos) << reported;
    EXPECT_EQ(error, reported);
}

TEST_F(AviWriterTest, AFileThatCannotBeCreatedIsRefusedWithItsName)
{
    AviWriter writer;
    std::string error;
    const std::string path = (dir_ / "no-such-folder" / "x.avi").string();
    EXPECT_FALSE(writer.Open(Settings(path, AviVideoCodec::H264, 320, 240, true), &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_TRUE(writer.Close(kStart)); // nothing to close
}

TEST_F(AviWriterTest, AnExistingFileIsNeverReplaced)
{
    const auto path = dir_ / "earlier.avi";
    ASSERT_TRUE(test::WriteFileText(path, "an earlier recording"));
    AviWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Open(Settings(path.string(), AviVideoCodec::H264, 320, 240, true), &error));
    EXPECT_NE(error.find("already exists"), std::string::npos) << error;
    EXPECT_EQ(test::ReadFileText(path), "an earlier recording");
}

TEST_F(AviWriterTest, AFullQueueDropsInsteadOfWaiting)
{
    const std::string path = (dir_ / "dropped.avi").string();
    AviWriter writer;
    std::string error;
    auto settings = Settings(path, AviVideoCodec::H264, 320, 240, false);
    settings.queueLimitBytes = 0; // nothing fits
    ASSERT_TRUE(writer.Open(settings, &error)) << error;
    Feed feed { writer, H264(), 30 };
    feed.Deliver(0, 30, false);
    ASSERT_TRUE(writer.Close(feed.FrameTime(30), &error)) << error;
    EXPECT_EQ(writer.Result().droppedPackets, 30u);
    EXPECT_EQ(writer.Result().videoFrames, 0);
    auto facts = test::ReadFacts(path);
    EXPECT_TRUE(facts.opened); // still a valid, empty movie
}

TEST(H264KeyFrames, IdrOrSequenceParameterSetMakesAKeyFrame)
{
    const uint8_t idr[] = { 0, 0, 0, 1, 0x65, 0x88, 0x84 };
    const uint8_t sps[] = { 0, 0, 1, 0x67, 0x42, 0, 0, 1, 0x68, 0xce };
    const uint8_t pSlice[] = { 0, 0, 0, 1, 0x41, 0x9a, 0x00, 0x00, 0x03, 0x01 };
    const uint8_t audOnly[] = { 0, 0, 0, 1, 0x09, 0xf0, 0, 0, 0, 1, 0x41, 0x9a };
    const uint8_t audThenIdr[] = { 0, 0, 0, 1, 0x09, 0xf0, 0, 0, 1, 0x65, 0x88 };
    EXPECT_TRUE(H264HasKeyFrame(idr, sizeof idr));
    EXPECT_TRUE(H264HasKeyFrame(sps, sizeof sps));
    EXPECT_FALSE(H264HasKeyFrame(pSlice, sizeof pSlice));
    EXPECT_FALSE(H264HasKeyFrame(audOnly, sizeof audOnly));
    EXPECT_TRUE(H264HasKeyFrame(audThenIdr, sizeof audThenIdr));
    EXPECT_FALSE(H264HasKeyFrame(idr, 4)); // start code cut off before the header
    EXPECT_FALSE(H264HasKeyFrame(nullptr, 0));
}

TEST(AviHeaderPatch, RefusesWhatIsNotAnAviAndLeavesItAlone)
{
    test::TempDir dir;
    const auto path = dir / "notes.txt";
    ASSERT_TRUE(test::WriteFileText(path, "RIFF....WAVEfmt nothing to see here"));
    std::string error;
    EXPECT_FALSE(PatchAviFrameRate(path.string(), 25.0, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadFileText(path), "RIFF....WAVEfmt nothing to see here");
    EXPECT_FALSE(PatchAviFrameRate((dir / "missing.avi").string(), 25.0, &error));
}

} // namespace
} // namespace kestovar
