// The live preview with the simulated cameras, and without a camera.

#include "CaptureTestSupport.h"
#include "GrabberTestSupport.h"
#include "TestSupport.h"
#include "capture/PreviewGraph.h"
#include "platform/SimulatedCameraProvider.h"

#include <gtest/gtest.h>

#include <QImageReader>

#include <linux/videodev2.h>

#include <condition_variable>
#include <filesystem>

using namespace kestovar;
using namespace kestovar::test;

namespace {

struct Simulated {
    std::shared_ptr<SimulatedCameraProvider> provider;
    ProviderScope scope;
    explicit Simulated(SimulatedModel model)
        : provider(std::make_shared<SimulatedCameraProvider>(model))
        , scope(provider)
    {
    }
    SimulatedCameraDevice& device() { return *provider->Device(); }
};

// Collects packet times from the capture thread.
struct PacketLog {
    std::mutex mutex;
    std::vector<CameraPacket> packets;
    CaptureThread::PacketConsumer Consumer()
    {
        return [this](const std::shared_ptr<const CameraPacket>& p) {
            std::lock_guard lock(mutex);
            CameraPacket copy = *p;
            copy.data.resize(std::min<size_t>(copy.data.size(), 16));
            packets.push_back(std::move(copy));
        };
    }
};

// Waits for a still picture's result (a deadline against hanging, not a speed check).
struct StillResult {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false, ok = false;
    uint64_t atFrame = 0;
    bool Wait()
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; });
    }
};

void WatchStill(PreviewGraph& graph, StillResult& result)
{
    CCaptureBufferCallback* grabber = graph.Grabber();
    grabber->SetSnapshotCallback([&result, grabber](const std::string&, bool ok, const std::string&) {
        std::lock_guard lock(result.mutex);
        result.done = true;
        result.ok = ok;
        result.atFrame = grabber->FrameCount();
        result.cv.notify_all();
    });
}

bool Configure(
    PreviewGraph& graph, ResolutionChoice res, QualityLevel q, FrameRateChoice fps, RotationMode rot)
{
    return graph.SetResolution(res) && graph.SetQuality(q) && graph.SetFrameRate(fps)
        && graph.SetRotation(rot);
}

} // namespace

TEST(PreviewGraphTest, WithoutACameraBuildFailsAndEverythingIsSafe)
{
    auto none = std::make_shared<ListedCameraProvider>();
    none->devices.push_back({ "Integrated Camera", "usb#VID_04F2&PID_B604#0001#/dev/video0", "/dev/video0" });
    ProviderScope scope(none);
    MemoryVideoSink sink(QSize(640, 360));
    PreviewGraph graph;
    graph.SetVideoWindow(&sink);
    EXPECT_FALSE(graph.Build());
    EXPECT_FALSE(graph.IsBuilt());
    EXPECT_FALSE(graph.SetResolution(Res1080));
    EXPECT_FALSE(graph.SetQuality(QualityHigh));
    EXPECT_FALSE(graph.SetFrameRate(Fps30));
    EXPECT_FALSE(graph.SetRotation(1));
    EXPECT_FALSE(graph.Start());
    EXPECT_FALSE(graph.Stop());
    EXPECT_FALSE(graph.UpdateVideoPosition());
    EXPECT_FALSE(graph.TakeSnapshot("/tmp/never.jpg"));
    graph.Teardown();
    graph.Teardown();
    EXPECT_EQ(sink.Count(), 0);
}

TEST(PreviewGraphTest, FullHdDeliversTheChosenSizeAtEachFrameRate)
{
    Simulated sim(SimulatedModel::FullHd);
    for (auto [choice, fps] : { std::pair { Fps30, 30 }, std::pair { Fps25, 25 }, std::pair { Fps20, 20 } }) {
        MemoryVideoSink sink(QSize(320, 180));
        PacketLog log;
        PreviewGraph graph;
        graph.SetVideoWindow(&sink);
        graph.AddPacketConsumer(log.Consumer());
        ASSERT_TRUE(graph.Build());
        EXPECT_EQ(graph.Kind(), SourceKind::Encoded);
        ASSERT_TRUE(Configure(graph, Res720, QualityNormal, choice, 0));
        EXPECT_EQ(graph.AppliedResolution(), 1);
        EXPECT_EQ(graph.FrameRate(), choice);
        EXPECT_DOUBLE_EQ(sim.device().BitrateKbps(), 2295) << "Normal quality at 1280x720";
        ASSERT_TRUE(graph.Start());
        EXPECT_TRUE(graph.IsRunning());
        ASSERT_TRUE(sink.WaitForCount(8));
        ASSERT_TRUE(graph.Stop());
        EXPECT_FALSE(graph.IsRunning());

        EXPECT_EQ(sink.Latest().size(), QSize(320, 180)) << "converted to the window's size";
        std::lock_guard lock(log.mutex);
        ASSERT_GE(log.packets.size(), 8u);
        // Stamped at the frame rate; a frame the camera had to skip under load leaves
        // a gap in the sequence, not a wrong time.
        for (size_t i = 0; i < log.packets.size(); ++i) {
            EXPECT_EQ(log.packets[i].width, 1280u);
            EXPECT_EQ(log.packets[i].height, 720u);
            EXPECT_NEAR(double(log.packets[i].ptsUs), log.packets[i].sequence * 1e6 / fps, 1.0) << fps;
            if (i > 0) {
                EXPECT_GT(log.packets[i].sequence, log.packets[i - 1].sequence);
            }
        }
        TempDir dir;
        const std::string still = (dir / "last.jpg").string();
        ASSERT_TRUE(graph.Grabber()->SaveLastFrameAsJpeg(still));
        EXPECT_EQ(QImageReader(QString::fromStdString(still)).size(), QSize(1280, 720))
            << "decoded at the camera's size";
        graph.Teardown();
    }
}

TEST(PreviewGraphTest, StartPreparesTheEncoderAndSendsTheClockInOrder)
{
    Simulated sim(SimulatedModel::FullHd2);
    MemoryVideoSink sink(QSize(160, 90));
    PreviewGraph graph;
    graph.SetVideoWindow(&sink);
    ASSERT_TRUE(graph.Build());
    ASSERT_TRUE(Configure(graph, Res480, QualityHighest, Fps30, 0));
    sim.device().ClearCommandLog();
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(graph.Start());
    const auto log = sim.device().CommandLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(std::make_pair(log[0].selector, log[0].code), std::make_pair(uint8_t(7), uint8_t(0x03)));
    EXPECT_EQ(std::make_pair(log[1].selector, log[1].code), std::make_pair(uint8_t(2), uint8_t(0x04)));
    EXPECT_EQ(log[1].value[0], 0x01);
    EXPECT_EQ(std::make_pair(log[2].selector, log[2].code), std::make_pair(uint8_t(4), uint8_t(0x01)));
    EXPECT_EQ(std::make_pair(log[3].selector, log[3].code), std::make_pair(uint8_t(7), uint8_t(0x02)));
    EXPECT_TRUE(log[3].query);
    std::tm local {};
    localtime_r(&before, &local);
    EXPECT_EQ(log[2].value[3], local.tm_mday);
    EXPECT_EQ((log[2].value[5] << 8) | log[2].value[6], local.tm_year + 1900);
    EXPECT_TRUE(sim.device().StreamPrepared());
    ASSERT_TRUE(sink.WaitForCount(2));
    graph.Teardown();
}

TEST(PreviewGraphTest, Rotation1At1080pShowsBlackSidesAndStillsStayUpright)
{
    Simulated sim(SimulatedModel::FullHd);
    {
        MemoryVideoSink sink(QSize(1920, 1080));
        PreviewGraph graph;
        graph.SetVideoWindow(&sink);
        ASSERT_TRUE(graph.Build());
        ASSERT_TRUE(Configure(graph, Res1080, QualityHigh, Fps30, 1));
        EXPECT_EQ(graph.AppliedResolution(), 0);
        ASSERT_TRUE(graph.Start());
        ASSERT_TRUE(sink.WaitForCount(2));
        graph.Stop();
        const QImage shown = sink.Latest();
        ASSERT_EQ(shown.size(), QSize(1920, 1080));
        EXPECT_TRUE(IsBlack(shown.pixel(100, 540)));
        EXPECT_TRUE(IsBlack(shown.pixel(1820, 540)));
        EXPECT_FALSE(IsBlack(shown.pixel(960, 700)));
    }
    {
        TempDir dir;
        MemoryVideoSink sink(QSize(640, 360));
        PreviewGraph graph;
        graph.SetVideoWindow(&sink);
        ASSERT_TRUE(graph.Build());
        ASSERT_TRUE(Configure(graph, Res1080, QualityHigh, Fps30, 6));
        StillResult result;
        WatchStill(graph, result);
        const std::string path = (dir / "260101_120000.jpg").string();
        EXPECT_FALSE(graph.TakeSnapshot(path)) << "not running: nothing would ever write it";
        ASSERT_TRUE(graph.Start());
        ASSERT_TRUE(sink.WaitForCount(1));
        const uint64_t requestedAt = graph.Grabber()->FrameCount();
        ASSERT_TRUE(graph.TakeSnapshot(path));
        ASSERT_TRUE(result.Wait());
        graph.Teardown();
        EXPECT_TRUE(result.ok);
        EXPECT_LE(result.atFrame, requestedAt + 2) << "written at the next decoded picture";
        QImageReader reader(QString::fromStdString(path));
        EXPECT_EQ(reader.format(), "jpeg");
        const QImage still = reader.read();
        ASSERT_EQ(still.size(), QSize(1920, 1080));
        EXPECT_EQ(MarkCorner(still, 1920, 1080), Corner::TopLeft);
        EXPECT_EQ(MarkCorner(sink.Latest(), 1920, 1080), Corner::BottomLeft);
    }
}

TEST(PreviewGraphTest, ProRunsTheMjpgPathWithFlipsOnly)
{
    Simulated sim(SimulatedModel::Pro);
    MemoryVideoSink sink(QSize(640, 480));
    PreviewGraph graph;
    graph.SetVideoWindow(&sink);
    ASSERT_TRUE(graph.Build());
    EXPECT_EQ(graph.Kind(), SourceKind::Mjpeg);
    ASSERT_TRUE(graph.SetResolution(Res1080));
    CameraCurrentFormat f;
    ASSERT_TRUE(graph.Camera()->GetFormat(f));
    EXPECT_EQ(f.fourcc, uint32_t(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(f.width, 640u) << "the camera keeps its 640x480";
    EXPECT_EQ(f.height, 480u);
    EXPECT_FALSE(graph.SetQuality(QualityHighest)) << "the Pro camera has no encoder";
    EXPECT_EQ(graph.Quality(), QualityHigh) << "the previous level stays";
    ASSERT_TRUE(graph.SetFrameRate(Fps25));
    ASSERT_TRUE(graph.SetRotation(5));
    EXPECT_EQ(graph.ShownFlip(), 0) << "the mixer cannot turn by 90 degrees";
    ASSERT_TRUE(graph.Start());
    ASSERT_TRUE(sink.WaitForCount(2));
    ASSERT_TRUE(graph.Stop());
    EXPECT_EQ(MarkCorner(sink.Latest(), 640, 480), Corner::TopLeft)
        << "rotation 5 shows the picture unchanged";

    ASSERT_TRUE(graph.SetRotation(4));
    const int seen = sink.Count();
    ASSERT_TRUE(graph.Start());
    ASSERT_TRUE(sink.WaitForCount(seen + 2));
    EXPECT_EQ(MarkCorner(sink.Latest(), 640, 480), Corner::TopRight) << "rotation 4 mirrors";

    // An MJPG camera's still is the last decoded picture, written before the call returns.
    TempDir dir;
    const std::string path = (dir / "pro.jpg").string();
    ASSERT_TRUE(graph.TakeSnapshot(path));
    EXPECT_FALSE(graph.Grabber()->SnapshotPending()) << "it waits for the next picture";
    EXPECT_TRUE(std::filesystem::exists(path));
    graph.Teardown();
    const QImage still = QImageReader(QString::fromStdString(path)).read();
    EXPECT_EQ(still.size(), QSize(640, 480));
    EXPECT_EQ(MarkCorner(still, 640, 480), Corner::TopLeft) << "stills are not mirrored";
}

TEST(PreviewGraphTest, UnpluggingEndsTheStreamAndTeardownIsClean)
{
    Simulated sim(SimulatedModel::FullHd);
    MemoryVideoSink sink(QSize(320, 180));
    std::mutex mutex;
    std::condition_variable cv;
    std::string ended;
    PreviewGraph graph;
    graph.SetVideoWindow(&sink);
    graph.SetStreamEndedCallback([&](const std::string& message) {
        std::lock_guard lock(mutex);
        ended = message;
        cv.notify_all();
    });
    ASSERT_TRUE(graph.Build());
    ASSERT_TRUE(Configure(graph, Res480, QualityHigh, Fps30, 3));
    ASSERT_TRUE(graph.Start());
    ASSERT_TRUE(sink.WaitForCount(2));
    sim.provider->Pull();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return !ended.empty(); }));
    }
    EXPECT_EQ(ended, "the camera was unplugged");
    graph.Teardown();

    PreviewGraph again;
    EXPECT_FALSE(again.Build()) << "no camera while it is pulled";
    sim.provider->Plug();
    ASSERT_TRUE(again.Build());
    ASSERT_TRUE(again.Start());
    // Torn down while running: the thread is joined before anything is freed.
    again.Teardown();
    EXPECT_FALSE(again.IsRunning());
}
