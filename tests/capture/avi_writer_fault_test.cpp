// A disk that fills during a recording: the recording is told once, the file is
// completed and plays up to within two seconds of the failure, and the next recording
// on a disk with room works. Through the writer's write-error seam and, as root, on
// a real small file system (tmpfs) with the simulated Full HD camera.
#include "capture/AviRepair.h"
#include "capture/AviWriter.h"
#include "capture/RecordGraph.h"
#include "platform/AudioBackend.h"
#include "platform/CameraProvider.h"
#include "platform/SimulatedAudioBackend.h"

#include "AviPlayCheck.h"
#include "MediaFixtures.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kestovar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The seam: the disk refuses every byte past a given size. Packets go in faster than
// real time, so this is the abrupt case (the writer's free-space look never ran).
TEST(AviWriterFault, AWriteRefusedMidwayEndsTheFileAtTheLastWholeFrame)
{
    test::TempDir dir;
    const std::string path = (dir / "full.avi").string();
    const auto packets = test::EncodeH264(640, 480, 30, 300, 30);
    const auto tone = test::Tone(11.0);
    constexpr uint64_t kLimit = 600'000;

    std::atomic<int> reports { 0 };
    std::string reported;
    AviWriter writer([&](const std::string& message) {
        reported = message;
        ++reports;
    });
    AviWriterSettings settings;
    settings.path = path;
    settings.width = 640;
    settings.height = 480;
    settings.failAfterBytes = kLimit;
    std::string error;
    ASSERT_TRUE(writer.Open(settings, &error)) << error;
    const int64_t start = 1'000'000;
    size_t audioAt = 0;
    uint64_t videoBytes = 0;
    size_t fitting = 0; // frames whose picture lies wholly below the limit
    for (size_t i = 0; i < packets.size(); ++i) {
        const int64_t ts = start + static_cast<int64_t>(i) * 1000000 / 30;
        writer.PushVideo(packets[i].data(), packets[i].size(), ts);
        videoBytes += packets[i].size() + 8;
        // Sound takes 16 KB a second of the same room.
        if (videoBytes + 16'000 * (i / 30 + 1) + 16'384 < kLimit)
            fitting = i + 1;
        while (start + static_cast<int64_t>(audioAt) * 1000000 / kAudioRate <= ts) {
            writer.PushAudio(tone.data() + audioAt * kAudioChannels, 960,
                start + static_cast<int64_t>(audioAt) * 1000000 / kAudioRate);
            audioAt += 960;
        }
    }
    EXPECT_FALSE(writer.Close(start + 10'000'000, &error));
    EXPECT_EQ(reports.load(), 1) << "told once";
    EXPECT_NE(reported.find("No space left on device"), std::string::npos) << reported;

    EXPECT_EQ(InspectAvi(path), AviFileState::Complete) << "the writer completed what was on disk";
    const test::FileFacts facts = test::ReadFacts(path);
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.size(), 2u);
    const size_t kept = facts.streams[0].packets.size();
    std::printf("refused past %llu bytes: %zu frames kept, %zu fitted\n",
        static_cast<unsigned long long>(kLimit), kept, fitting);
    EXPECT_GE(kept + 60, fitting) << "more than two seconds before the failure were lost";
    for (size_t k = 0; k < kept; ++k)
        ASSERT_EQ(facts.streams[0].packets[k], packets[k]) << "frame " << k;
    EXPECT_EQ(test::FfprobeVideoPackets(path), static_cast<long>(kept));
    std::string errors;
    EXPECT_TRUE(test::FfmpegDecodesCleanly(path, &errors)) << errors;
}

// Records the simulated Full HD camera into a real small disk.
class SmallDiskRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SelectSimulatedCamera("fullhd"));
        UseAudioBackendForMicrophones(audio_);
    }
    void TearDown() override
    {
        UseAudioBackendForMicrophones(nullptr);
        SetCameraProvider(nullptr);
    }

    struct Outcome {
        uint64_t deliveredAtFailure = 0;
        uint64_t delivered = 0;
        double secondsToStopped = 0; // from the failure report to a completed file
        std::string message;
        bool stoppedOk = true;
    };

    // Records `path` until the write error arrives (or 40 s pass); `during` runs once
    // after two seconds of recording.
    Outcome RecordUntilFailure(const std::string& path, const std::function<void()>& during = {})
    {
        Outcome out;
        std::atomic<uint64_t> delivered { 0 };
        std::mutex mutex;
        std::atomic<bool> failed { false };
        Clock::time_point failedAt;
        RecordGraph graph(audio_);
        graph.AddPacketConsumer([&](const std::shared_ptr<const CameraPacket>&) { ++delivered; });
        graph.SetWriteErrorCallback([&](const std::string& message) {
            std::lock_guard lock(mutex);
            out.deliveredAtFailure = delivered.load();
            out.message = message;
            failedAt = Clock::now();
            failed = true;
        });
        EXPECT_TRUE(graph.Build(path, true)) << graph.LastError();
        graph.SetResolution(Res1080);
        graph.SetQuality(QualityHigh);
        graph.SetFrameRate(Fps30);
        EXPECT_TRUE(graph.Start()) << graph.LastError();
        const Clock::time_point begin = Clock::now();
        bool ran = false;
        while (!failed && Clock::now() - begin < 40s) {
            std::this_thread::sleep_for(20ms);
            if (!ran && during && Clock::now() - begin > 2s) {
                during();
                ran = true;
            }
        }
        // What the station does on the report: stop, which completes the file.
        out.stoppedOk = graph.Stop();
        graph.Teardown();
        std::lock_guard lock(mutex);
        if (failed)
            out.secondsToStopped = std::chrono::duration<double>(Clock::now() - failedAt).count();
        out.delivered = delivered.load();
        return out;
    }

    void ExpectPlaysToTheFailure(const std::string& path, const Outcome& out)
    {
        EXPECT_FALSE(out.message.empty()) << "the disk never filled";
        EXPECT_NE(out.message.find("No space left on device"), std::string::npos) << out.message;
        EXPECT_FALSE(out.stoppedOk) << "the stop reports the incomplete recording";
        std::string why;
        EXPECT_EQ(InspectAvi(path, &why), AviFileState::Complete) << why;
        const test::FileFacts facts = test::ReadFacts(path);
        ASSERT_TRUE(facts.opened);
        ASSERT_EQ(facts.streams.size(), 2u);
        const uint64_t kept = facts.streams[0].packets.size();
        std::printf("disk full after %llu packets: %llu kept, %llu delivered in all, completed %.2f s after "
                    "the report\n",
            static_cast<unsigned long long>(out.deliveredAtFailure), static_cast<unsigned long long>(kept),
            static_cast<unsigned long long>(out.delivered), out.secondsToStopped);
        EXPECT_GE(kept + 60, out.deliveredAtFailure) << "more than two seconds before the failure were lost";
        EXPECT_LE(kept, out.delivered);
        EXPECT_EQ(test::FfprobeVideoPackets(path), static_cast<long>(kept));
        EXPECT_TRUE(test::ProbeFindsPicture(path));
    }

    std::shared_ptr<SimulatedAudioBackend> audio_ = std::make_shared<SimulatedAudioBackend>();
};

TEST_F(SmallDiskRecording, AFillingDiskEndsTheRecordingWhileTheFileCanStillBeCompleted)
{
    test::SmallDisk disk(12 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.WhyNot();
    const Outcome out = RecordUntilFailure(disk.Path("filling.avi"));
    ExpectPlaysToTheFailure(disk.Path("filling.avi"), out);

    // The next recording, on a disk with room, works.
    test::TempDir roomy;
    const std::string next = (roomy / "next.avi").string();
    RecordGraph graph(audio_);
    ASSERT_TRUE(graph.Build(next, true)) << graph.LastError();
    graph.SetResolution(Res1080);
    ASSERT_TRUE(graph.Start()) << graph.LastError();
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(graph.Stop()) << graph.LastError();
    EXPECT_EQ(InspectAvi(next), AviFileState::Complete);
    EXPECT_GT(test::FfprobeVideoPackets(next), 30);
}

TEST_F(SmallDiskRecording, ADiskFilledAtOnceBySomeoneElseKeepsWhatWasWritten)
{
    test::SmallDisk disk(64 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.WhyNot();
    const Outcome out = RecordUntilFailure(disk.Path("abrupt.avi"), [&disk] { disk.Fill(); });
    ExpectPlaysToTheFailure(disk.Path("abrupt.avi"), out);
}

} // namespace
} // namespace kestovar
