// Recordings from the simulated cameras and microphone, read back with libavformat.
#include "capture/RecordGraph.h"
#include "platform/PulseAudioBackend.h"
#include "platform/SimulatedAudioBackend.h"
#include "platform/SimulatedCameraProvider.h"

#include "CaptureTestSupport.h"
#include "MediaFixtures.h"
#include "PrivatePulse.h"
#include "PulseTestLock.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace kestovar {
namespace {

using namespace std::chrono_literals;

// The simulated sound, counting how often a microphone is opened.
class CountingAudio final : public AudioBackend {
public:
    explicit CountingAudio(std::vector<AudioDeviceInfo> inputs = {})
        : inputs_(std::move(inputs))
    {
    }
    std::atomic<int> opened { 0 };

    bool Available() const override { return true; }
    std::vector<AudioDeviceInfo> ListInputDevices() override
    {
        return inputs_.empty() ? inner_.ListInputDevices() : inputs_;
    }
    std::unique_ptr<AudioRecordStream> OpenRecordStream(
        const std::string& name, AudioBlockCallback cb, std::string* error) override
    {
        ++opened;
        return inner_.OpenRecordStream(name, std::move(cb), error);
    }
    std::unique_ptr<AudioPlaybackStream> OpenPlaybackStream(std::string* e) override
    {
        return inner_.OpenPlaybackStream(e);
    }
    std::optional<float> DefaultInputPeak() override { return inner_.DefaultInputPeak(); }
    std::optional<float> DefaultInputVolume() override { return inner_.DefaultInputVolume(); }
    bool SetDefaultInputVolume(float v) override { return inner_.SetDefaultInputVolume(v); }
    bool SetDefaultInputMuted(bool m) override { return inner_.SetDefaultInputMuted(m); }
    std::optional<float> DefaultOutputVolume() override { return inner_.DefaultOutputVolume(); }
    bool SetDefaultOutputVolume(float v) override { return inner_.SetDefaultOutputVolume(v); }

private:
    SimulatedAudioBackend inner_;
    std::vector<AudioDeviceInfo> inputs_;
};

// Every packet the camera delivered, whole.
struct PacketLog {
    std::mutex mutex;
    std::vector<test::Packet> packets;
    CaptureThread::PacketConsumer Consumer()
    {
        return [this](const std::shared_ptr<const CameraPacket>& p) {
            std::lock_guard lock(mutex);
            packets.push_back(p->data);
        };
    }
};

class RecordGraphTest : public ::testing::Test {
protected:
    void UseCamera(SimulatedModel model)
    {
        scope_.reset(); // its end puts the default provider back
        provider_ = std::make_shared<SimulatedCameraProvider>(model);
        scope_ = std::make_unique<test::ProviderScope>(provider_);
    }
    void SetUp() override
    {
        UseCamera(SimulatedModel::FullHd);
        UseAudioBackendForMicrophones(audio_);
    }
    void TearDown() override { UseAudioBackendForMicrophones(nullptr); }

    // Builds, applies the choices as the application does and starts.
    void Begin(RecordGraph& graph, const std::string& path, bool withAudio, ResolutionChoice res = Res1080,
        RotationMode rotation = 0)
    {
        graph.SetVideoWindow(&sink_);
        ASSERT_TRUE(graph.Build(path, withAudio)) << graph.LastError();
        graph.SetResolution(res);
        graph.SetQuality(QualityHigh);
        graph.SetFrameRate(Fps30);
        graph.SetRotation(rotation);
        ASSERT_TRUE(graph.Start()) << graph.LastError();
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    test::TempDir dir_;
    std::shared_ptr<CountingAudio> audio_ = std::make_shared<CountingAudio>();
    test::MemoryVideoSink sink_ { QSize(320, 180) };
    std::shared_ptr<SimulatedCameraProvider> provider_;
    std::unique_ptr<test::ProviderScope> scope_;
};

TEST_F(RecordGraphTest, SixSecondsOfFullHdWithSound)
{
    RecordGraph graph(audio_);
    PacketLog log;
    graph.AddPacketConsumer(log.Consumer());
    Begin(graph, Path("fullhd.avi"), true, Res1080, 3); // turned on screen only
    std::this_thread::sleep_for(6s);
    ASSERT_TRUE(graph.Stop()) << graph.LastError();

    auto facts = test::ReadFacts(Path("fullhd.avi"));
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.size(), 2u);
    const auto& video = facts.streams[0];
    const auto& sound = facts.streams[1];
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.width, 1920);
    EXPECT_EQ(video.height, 1080);
    EXPECT_EQ(sound.codec, "mp3");
    EXPECT_EQ(sound.channels, 2);
    EXPECT_NEAR(video.duration, 6.0, 0.2);
    EXPECT_NEAR(sound.duration, 6.0, 0.2);
    EXPECT_EQ(video.emptyPackets, 0);
    // The simulated microphone's tone, not silence.
    EXPECT_NEAR(test::DecodedSoundPeak(Path("fullhd.avi")), SimulatedAudioBackend::kToneAmplitude, 0.05f);

    // The file holds the camera's packets byte for byte, from its first key frame on.
    std::lock_guard lock(log.mutex);
    ASSERT_FALSE(video.packets.empty());
    auto first = std::find(log.packets.begin(), log.packets.end(), video.packets.front());
    ASSERT_NE(first, log.packets.end());
    const auto skipped = static_cast<size_t>(first - log.packets.begin());
    std::printf("recorded: video %.3f s, sound %.3f s, %zu packets, %zu before the first key frame\n",
        video.duration, sound.duration, video.packets.size(), skipped);
    ASSERT_EQ(video.packets.size(), log.packets.size() - skipped);
    for (size_t i = 0; i < video.packets.size(); ++i)
        ASSERT_EQ(video.packets[i], log.packets[skipped + i]) << "packet " << i;
    EXPECT_GT(sink_.Count(), 60); // the live picture went on meanwhile
    EXPECT_EQ(sink_.Latest().size(), QSize(320, 180));
}

TEST_F(RecordGraphTest, WithoutSoundOneStreamButTheMicrophoneIsStillOpened)
{
    RecordGraph graph(audio_);
    Begin(graph, Path("silent.avi"), false, Res720);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(graph.Stop()) << graph.LastError();
    EXPECT_EQ(audio_->opened.load(), 1);
    auto facts = test::ReadFacts(Path("silent.avi"));
    ASSERT_EQ(facts.streams.size(), 1u);
    EXPECT_EQ(facts.streams[0].codec, "h264");
    EXPECT_EQ(facts.streams[0].width, 1280);
    EXPECT_NEAR(facts.streams[0].duration, 2.0, 0.2);
}

TEST_F(RecordGraphTest, ProCameraRecordsMjpeg)
{
    UseCamera(SimulatedModel::Pro);
    RecordGraph graph(audio_);
    Begin(graph, Path("pro.avi"), true, Res1080); // records whatever the camera delivers
    EXPECT_EQ(graph.Kind(), SourceKind::Mjpeg);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(graph.Stop()) << graph.LastError();
    auto facts = test::ReadFacts(Path("pro.avi"));
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_EQ(facts.streams[0].codec, "mjpeg");
    EXPECT_EQ(facts.streams[0].width, 640);
    EXPECT_EQ(facts.streams[0].height, 480);
    EXPECT_NEAR(facts.streams[0].duration, 2.0, 0.2);
    EXPECT_NEAR(facts.streams[1].duration, 2.0, 0.2);
}

TEST_F(RecordGraphTest, PauseInTheMiddleLeavesNoGap)
{
    RecordGraph graph(audio_);
    Begin(graph, Path("paused.avi"), true, Res480);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(graph.Pause());
    EXPECT_EQ(graph.GetState(), RecordGraph::RunState::Paused);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(graph.Resume());
    EXPECT_EQ(graph.GetState(), RecordGraph::RunState::Running);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(graph.Stop()) << graph.LastError();
    EXPECT_EQ(graph.GetState(), RecordGraph::RunState::Stopped);

    auto facts = test::ReadFacts(Path("paused.avi"));
    ASSERT_EQ(facts.streams.size(), 2u);
    const auto& video = facts.streams[0];
    std::printf("paused recording: video %.3f s, sound %.3f s\n", video.duration, facts.streams[1].duration);
    EXPECT_NEAR(video.duration, 4.0, 0.3);
    EXPECT_NEAR(facts.streams[1].duration, video.duration, 0.2);
    // No empty chunks: the picture never freezes where the pause was.
    EXPECT_EQ(video.emptyPackets, 0);
    for (size_t i = 1; i < video.pts.size(); ++i)
        ASSERT_EQ(video.pts[i], video.pts[i - 1] + 1) << "at packet " << i;
    // A graph writes one file: it does not start again after Stop.
    EXPECT_FALSE(graph.Start());
}

TEST_F(RecordGraphTest, TearingDownWithoutStopStillCompletesTheFile)
{
    {
        RecordGraph graph(audio_);
        Begin(graph, Path("torn.avi"), true, Res480);
        std::this_thread::sleep_for(1500ms);
        graph.Teardown();
        EXPECT_FALSE(graph.IsBuilt());
    }
    auto facts = test::ReadFacts(Path("torn.avi"));
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_NEAR(facts.streams[0].duration, 1.5, 0.3);
}

TEST_F(RecordGraphTest, BuildNeedsCameraMicrophoneAndAWritableFolder)
{
    {
        // No supported microphone: fails with sound and without.
        auto builtIn = std::make_shared<CountingAudio>(
            std::vector<AudioDeviceInfo> { { "alsa_input.pci", "Built-in Audio", {} } });
        UseAudioBackendForMicrophones(builtIn);
        for (bool withAudio : { true, false }) {
            RecordGraph graph(builtIn);
            graph.SetVideoWindow(&sink_);
            EXPECT_FALSE(graph.Build(Path("nomic.avi"), withAudio));
            EXPECT_NE(graph.LastError().find("microphone"), std::string::npos);
        }
        UseAudioBackendForMicrophones(audio_);
    }
    {
        RecordGraph graph(audio_);
        EXPECT_FALSE(graph.Build(Path("missing-folder/x.avi"), true));
        EXPECT_NE(graph.LastError().find("missing-folder"), std::string::npos);
    }
    {
        provider_->Pull();
        RecordGraph graph(audio_);
        EXPECT_FALSE(graph.Build(Path("nocamera.avi"), true));
        EXPECT_FALSE(graph.Start());
        EXPECT_FALSE(graph.Pause());
        provider_->Plug();
    }
    EXPECT_FALSE(std::filesystem::exists(Path("nomic.avi")));
    EXPECT_FALSE(std::filesystem::exists(Path("nocamera.avi")));
}

TEST_F(RecordGraphTest, SizeAndRateAreFixedOnceTheFileIsStarted)
{
    RecordGraph graph(audio_);
    Begin(graph, Path("fixed.avi"), false, Res480);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(graph.SetResolution(Res1080));
    EXPECT_FALSE(graph.SetFrameRate(Fps20));
    // Turning the live picture is fine; the stream goes on in the same file.
    EXPECT_TRUE(graph.SetRotation(2));
    ASSERT_TRUE(graph.Start());
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(graph.Stop());
    auto facts = test::ReadFacts(Path("fixed.avi"));
    ASSERT_EQ(facts.streams.size(), 1u);
    EXPECT_EQ(facts.streams[0].width, 640);
    EXPECT_EQ(facts.streams[0].emptyPackets, 0);
}

TEST_F(RecordGraphTest, CameraMicrophoneOnTheSoundServer)
{
    if (!test::PulseAudioAvailable())
        GTEST_SKIP() << "no PulseAudio daemon answers at $PULSE_SERVER "
                        "(scripts/test starts one; by hand: source scripts/lib.sh; kestovar_pulse_start)";
    test::PulseTestLock lock;
    auto pulse = std::make_shared<PulseAudioBackend>("kestovar-test");
    UseAudioBackendForMicrophones(pulse);
    RecordGraph graph(pulse);
    Begin(graph, Path("pulse.avi"), true, Res480);
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(graph.Stop()) << graph.LastError();
    auto facts = test::ReadFacts(Path("pulse.avi"));
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_EQ(facts.streams[1].codec, "mp3");
    EXPECT_NEAR(facts.streams[0].duration, 3.0, 0.2);
    EXPECT_NEAR(facts.streams[1].duration, facts.streams[0].duration, 0.2);
}

TEST_F(RecordGraphTest, SoundServerRestartedDuringARecordingKeepsSoundAndPictureInStep)
{
    test::PrivatePulse server;
    if (!server.Start())
        GTEST_SKIP() << server.Why();
    auto pulse = std::make_shared<PulseAudioBackend>("kestovar-test");
    UseAudioBackendForMicrophones(pulse);
    RecordGraph graph(pulse);
    Begin(graph, Path("restart.avi"), true, Res480);
    std::this_thread::sleep_for(1500ms);
    server.Stop();
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(server.Start()) << server.Why();
    // The station tries again after 0.5, 1 and 2 s: back by 3.5 s after the loss.
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(graph.SoundInterrupted()); // the operator is told
    ASSERT_TRUE(graph.Stop()) << graph.LastError();
    auto facts = test::ReadFacts(Path("restart.avi"));
    ASSERT_EQ(facts.streams.size(), 2u);
    std::printf("picture %.3f s, sound %.3f s\n", facts.streams[0].duration, facts.streams[1].duration);
    EXPECT_NEAR(facts.streams[0].duration, 7.0, 0.3);
    // Silence stands in for the gap: sound and picture end together.
    EXPECT_NEAR(facts.streams[1].duration, facts.streams[0].duration, 0.1);
}

} // namespace
} // namespace kestovar
