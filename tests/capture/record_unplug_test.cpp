// A V4L2 camera pulled out during a recording: its reads fail with ENODEV (no USB
// event needed), the graph reports the stream's end, and the file completed on Stop
// holds every frame the camera delivered before it went.
#include "capture/AviRepair.h"
#include "capture/RecordGraph.h"
#include "platform/SimulatedAudioBackend.h"
#include "platform/V4l2Camera.h"

#include "../platform/FakeV4l2Io.h"
#include "AviPlayCheck.h"
#include "CaptureTestSupport.h"
#include "MediaFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kestovar {
namespace {

using namespace std::chrono_literals;

TEST(RecordUnplug, AV4l2CameraVanishingMidRecordingLeavesEveryDeliveredFrameInTheFile)
{
    auto io = std::make_shared<test::FakeV4l2Io>();
    io->cameras["/dev/video0"] = test::H264Camera();
    io->unplugWhenEmpty = true;
    const auto packets = test::EncodeH264(320, 240, 30, 75, 30);
    for (size_t i = 0; i < packets.size(); ++i)
        io->deliveries["/dev/video0"].push_back({ packets[i], 0, static_cast<int64_t>(i) * 33'333 });
    auto provider = std::make_shared<test::ListedCameraProvider>();
    provider->devices.push_back(
        { "HD Pro Webcam C920", "usb#VID_05A3&PID_9422#D#/dev/video0", "/dev/video0" });
    provider->open = [io](const VideoDeviceInfo& d) -> std::unique_ptr<CameraBackend> {
        auto camera = std::make_unique<V4l2Camera>(io, d.node);
        return camera->Open() ? std::move(camera) : nullptr;
    };
    test::ProviderScope scope(provider);
    auto audio = std::make_shared<SimulatedAudioBackend>();
    UseAudioBackendForMicrophones(audio);

    test::TempDir dir;
    const std::string path = (dir / "pulled.avi").string();
    std::mutex mutex;
    std::string ended;
    std::atomic<int> endings { 0 };
    {
        RecordGraph graph(audio);
        graph.SetStreamEndedCallback([&](const std::string& message) {
            std::lock_guard lock(mutex);
            ended = message;
            ++endings;
        });
        ASSERT_TRUE(graph.Build(path, true)) << graph.LastError();
        graph.SetResolution(Res1080);
        ASSERT_TRUE(graph.Start()) << graph.LastError();
        for (int i = 0; i < 500 && endings == 0; ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_EQ(endings.load(), 1) << "the end of the stream was not reported once";
        // The owner's answer to the report: stop, which completes the file.
        EXPECT_TRUE(graph.Stop()) << graph.LastError();
        graph.Teardown();
    }
    UseAudioBackendForMicrophones(nullptr);
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(ended, "the camera was unplugged");
    }
    EXPECT_EQ(io->openFds, 0) << "the vanished camera's node was left open";

    EXPECT_EQ(InspectAvi(path), AviFileState::Complete);
    const test::FileFacts facts = test::ReadFacts(path);
    ASSERT_TRUE(facts.opened);
    ASSERT_FALSE(facts.streams.empty());
    ASSERT_EQ(facts.streams[0].packets.size(), packets.size())
        << "a frame delivered before the pull was lost";
    for (size_t i = 0; i < packets.size(); ++i)
        ASSERT_EQ(facts.streams[0].packets[i], packets[i]) << "frame " << i;
    EXPECT_EQ(test::FfprobeVideoPackets(path), static_cast<long>(packets.size()));
}

} // namespace
} // namespace kestovar
