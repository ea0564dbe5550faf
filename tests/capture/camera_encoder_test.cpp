// The encoder's extension unit of a real UVC camera, found from its descriptors, and
// what the station does when the encoder refuses its commands: the camera streams at
// its own setting, the operator is told once, and only a camera that is gone ends the
// start. Every camera answer comes through the V4L2 ioctl seam (FakeV4l2Io).

#include "app/CKestovarApp.h"
#include "capture/EncoderXu.h"
#include "capture/PreviewGraph.h"
#include "capture/RecordGraph.h"
#include "platform/SimulatedAudioBackend.h"
#include "platform/UvcDescriptors.h"
#include "platform/V4l2Camera.h"

#include "../platform/FakeV4l2Io.h"
#include "CaptureTestSupport.h"
#include "MediaFixtures.h"
#include "TestSupport.h"
#include "UvcDescriptorFixtures.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <atomic>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include <linux/usb/video.h>

namespace kestovar {
namespace {

using test::FixtureXu;

TEST(EncoderUnitTest, FoundByItsGuidOrItsLengthAmongTheVideoControlUnits)
{
    const FixtureXu encoder2 { 2, kEncoderXuGuid };
    const FixtureXu encoder6 { 6, kEncoderXuGuid };
    const FixtureXu other3 { 3, test::kOtherXuGuid };
    auto lengths = [](std::map<int, int> answers) {
        return [answers](uint8_t unit) {
            auto it = answers.find(unit);
            return it == answers.end() ? -1 : it->second;
        };
    };

    auto units = ParseExtensionUnits(test::CameraDescriptors({ encoder2 }));
    ASSERT_EQ(units.size(), 1u) << "the MJPG format and the audio feature unit are no extension units";
    EXPECT_EQ(ChooseEncoderUnit(units, nullptr), 2);
    EXPECT_EQ(ChooseEncoderUnit(ParseExtensionUnits(test::CameraDescriptors({ encoder6 })), nullptr), 6);
    // Beside another vendor's unit that answers 11 bytes too: the GUID decides.
    units = ParseExtensionUnits(test::CameraDescriptors({ other3, { 9, kEncoderXuGuid } }));
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].id, 3);
    EXPECT_EQ(ChooseEncoderUnit(units, lengths({ { 3, 11 }, { 9, 11 } })), 9);
    // A firmware naming its encoder differently: the unit whose control 2 is 11 bytes.
    units = ParseExtensionUnits(test::CameraDescriptors({ other3, { 5, test::kRenamedEncoderGuid } }));
    EXPECT_EQ(ChooseEncoderUnit(units, lengths({ { 3, 4 }, { 5, 11 } })), 5);
    // None.
    EXPECT_EQ(ChooseEncoderUnit(ParseExtensionUnits(test::CameraDescriptors({})), lengths({})), -1);
    EXPECT_EQ(ChooseEncoderUnit(ParseExtensionUnits(test::CameraDescriptors({ other3 })), lengths({ { 3, 4 } })), -1);
    // A descriptor cut short ends the walk without reading past it.
    auto cut = test::CameraDescriptors({ other3, encoder6 });
    cut.resize(cut.size() - 80);
    EXPECT_LE(ParseExtensionUnits(cut).size(), 2u);
}

struct UnitCase {
    const char* name;
    std::vector<FixtureXu> units;
    uint8_t cameraUnit; // where the camera answers
    bool sysfs; // descriptors readable
    int expected; // unit the commands go to, -1: none sent
};

TEST(EncoderUnitTest, TheCommandsGoToTheUnitTheCameraNames)
{
    const UnitCase cases[] = {
        { "unit 2", { { 2, kEncoderXuGuid } }, 2, true, 2 },
        { "unit 6", { { 6, kEncoderXuGuid } }, 6, true, 6 },
        { "beside another unit", { { 3, test::kOtherXuGuid }, { 4, kEncoderXuGuid } }, 4, true, 4 },
        { "renamed, found by length", { { 3, test::kOtherXuGuid }, { 7, test::kRenamedEncoderGuid } }, 7, true, 7 },
        { "none", { { 3, test::kOtherXuGuid } }, 2, true, -1 },
        { "descriptors unreadable", {}, 2, false, 2 },
    };
    int devnum = 10;
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir sys;
        if (c.sysfs)
            test::LayOutSysfs(sys.path(), "video0", test::CameraDescriptors(c.units), ++devnum);
        auto io = std::make_shared<test::FakeV4l2Io>();
        io->cameras["/dev/video0"] = test::H264Camera();
        io->cameras["/dev/video0"].xuUnit = c.cameraUnit;
        V4l2Camera camera(io, "/dev/video0", sys.str());
        ASSERT_TRUE(camera.Open());
        const EncoderResult set = SetEncoderBitrate(&camera, 5163.75);
        EXPECT_EQ(camera.EncoderUnit(), c.expected);
        std::vector<test::XuCall> commands;
        for (const auto& call : io->xuCalls)
            if (call.query == UVC_SET_CUR)
                commands.push_back(call);
        if (c.expected < 0) {
            EXPECT_EQ(set.error, ENOENT);
            EXPECT_TRUE(commands.empty()) << "a command went to a unit that is not the encoder";
            continue;
        }
        EXPECT_TRUE(set) << set.error;
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_EQ(commands[0].unit, c.expected);
        EXPECT_EQ(commands[1].unit, c.expected);
        EXPECT_EQ(commands[1].data[0], 0x4E);

        // Remembered for this camera: a second camera object on it probes nothing.
        io->xuCalls.clear();
        V4l2Camera again(io, "/dev/video0", sys.str());
        ASSERT_TRUE(again.Open());
        EXPECT_EQ(again.EncoderUnit(), c.expected);
        EXPECT_TRUE(io->xuCalls.empty());
    }
}

// ---- The encoder refusing ----

constexpr int kFrames = 30;

struct FaultCase {
    const char* name;
    std::function<int(const test::XuCall&)> fault;
    bool qualityTaken; // SetQuality succeeded
    bool refusal; // the quality is not what was asked
    bool gone;
};

std::vector<FaultCase> FaultCases()
{
    auto header = [](const test::XuCall& c) { return c.query == UVC_SET_CUR && c.data.at(0) == 0x9A; };
    auto nth = std::make_shared<int>(0);
    return {
        { "header write refused", [header](const test::XuCall& c) { return header(c) ? EPIPE : 0; }, false, true,
            false },
        { "value write refused",
            [header](const test::XuCall& c) { return c.query == UVC_SET_CUR && !header(c) ? EPIPE : 0; }, false,
            true, false },
        { "length get refused", [](const test::XuCall& c) { return c.query == UVC_GET_LEN ? EIO : 0; }, false, true,
            false },
        { "status get refused", [](const test::XuCall& c) { return c.query == UVC_GET_CUR ? EIO : 0; }, true, false,
            false },
        // The bit rate taken, then EIO from the middle of the stream preparation on.
        { "EIO mid-sequence", [nth](const test::XuCall&) { return ++*nth > 4 ? EIO : 0; }, true, true, false },
        { "ENODEV during the commands", [](const test::XuCall&) { return ENODEV; }, false, false, true },
    };
}

std::shared_ptr<test::FakeV4l2Io> CameraWithFrames(const std::vector<test::Packet>& packets)
{
    auto io = std::make_shared<test::FakeV4l2Io>();
    io->cameras["/dev/video0"] = test::H264Camera();
    for (size_t i = 0; i < packets.size(); ++i)
        io->deliveries["/dev/video0"].push_back({ packets[i], 0, static_cast<int64_t>(i) * 33'333 });
    return io;
}

std::shared_ptr<test::ListedCameraProvider> ProviderOf(std::shared_ptr<test::FakeV4l2Io> io)
{
    auto provider = std::make_shared<test::ListedCameraProvider>();
    provider->devices.push_back({ "HD Pro Webcam C920", "usb#VID_05A3&PID_9422#D#/dev/video0", "/dev/video0" });
    provider->open = [io](const VideoDeviceInfo& d) -> std::unique_ptr<CameraBackend> {
        // No sysfs here: the encoder is taken to be unit 2, where the fake answers.
        auto camera = std::make_unique<V4l2Camera>(io, d.node, "/nonexistent");
        return camera->Open() ? std::move(camera) : nullptr;
    };
    return provider;
}

TEST(EncoderRefusalTest, ThePreviewStreamsAtTheCamerasOwnSettingUnlessTheCameraIsGone)
{
    const auto packets = test::EncodeH264(320, 240, 30, kFrames, 30);
    for (const FaultCase& c : FaultCases()) {
        SCOPED_TRACE(c.name);
        auto io = CameraWithFrames(packets);
        io->xuFault = c.fault;
        test::ProviderScope scope(ProviderOf(io));
        test::MemoryVideoSink sink(QSize(320, 240));
        PreviewGraph graph;
        graph.SetVideoWindow(&sink);
        ASSERT_TRUE(graph.Build());
        graph.SetResolution(Res1080);
        EXPECT_EQ(graph.SetQuality(QualityHigh), c.qualityTaken);
        const bool started = graph.Start();
        EXPECT_EQ(started, !c.gone);
        EXPECT_EQ(graph.Encoder().cameraGone, c.gone);
        EXPECT_EQ(graph.Encoder().refusal != 0, c.refusal);
        if (started) {
            EXPECT_TRUE(sink.WaitForCount(5)) << "no picture";
        }
        graph.Stop();
        graph.Teardown();
    }
}

TEST(EncoderRefusalTest, TheRecordingCopiesTheCamerasStreamWhenTheBitRateIsRefused)
{
    const auto packets = test::EncodeH264(320, 240, 30, kFrames, 30);
    auto io = CameraWithFrames(packets);
    io->unplugWhenEmpty = true; // the stream ends after the last frame
    io->xuFault = [](const test::XuCall& c) { return c.query == UVC_SET_CUR && c.data.at(0) != 0x9A ? EPIPE : 0; };
    test::ProviderScope scope(ProviderOf(io));
    auto audio = std::make_shared<SimulatedAudioBackend>();
    UseAudioBackendForMicrophones(audio);
    test::TempDir dir;
    const std::string path = (dir / "own-setting.avi").string();
    std::atomic<int> ended { 0 };
    {
        RecordGraph graph(audio);
        graph.SetStreamEndedCallback([&](const std::string&) { ++ended; });
        ASSERT_TRUE(graph.Build(path, false)) << graph.LastError();
        graph.SetResolution(Res1080);
        EXPECT_FALSE(graph.SetQuality(QualityHighest));
        ASSERT_TRUE(graph.Start()) << graph.LastError();
        EXPECT_NE(graph.Encoder().refusal, 0);
        for (int i = 0; i < 500 && ended == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(graph.Stop()) << graph.LastError();
        graph.Teardown();
    }
    UseAudioBackendForMicrophones(nullptr);
    const test::FileFacts facts = test::ReadFacts(path);
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.at(0).packets.size(), packets.size());
    for (size_t i = 0; i < packets.size(); ++i)
        ASSERT_EQ(facts.streams[0].packets[i], packets[i]) << "frame " << i;
}

TEST(EncoderRefusalTest, TheStationGoesLiveTellsOnceAndSaysNothingOfAPreviewErrorForAGoneCamera)
{
    test::TempDir dir;
    qputenv("KESTOVAR_REGISTRY_DIR", (dir.str() + "/registry").c_str());
    const auto packets = test::EncodeH264(320, 240, 30, kFrames, 30);
    auto io = CameraWithFrames(packets);
    int refusals = 0;
    io->xuFault = [&refusals](const test::XuCall& c) {
        return c.query == UVC_SET_CUR && c.data.at(0) != 0x9A ? (++refusals, EPIPE) : 0;
    };
    test::ProviderScope scope(ProviderOf(io));
    CKestovarApp app(AppOptions {}, QString::fromStdString(dir.str()));
    QStringList errors;
    app.SetErrorReporter([&errors](const QString& m) { errors << m; });
    QSignalSpy notices(&app, &CKestovarApp::cameraNotice);
    QSignalSpy ended(&app, &CKestovarApp::streamEnded);
    test::MemoryVideoSink sink(QSize(320, 240));
    app.videoWindow = &sink;

    ASSERT_TRUE(app.StartPreview());
    EXPECT_EQ(app.mode, AppMode::Live);
    EXPECT_TRUE(sink.WaitForCount(3)) << "no picture";
    ASSERT_TRUE(app.StartPreview()) << "the Live action again";
    EXPECT_GT(refusals, 1);
    ASSERT_EQ(notices.count(), 1) << "told at every start";
    EXPECT_EQ(notices.at(0).at(0).toString(),
        "The camera did not accept the quality setting; it records at its own setting.");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(", ").toStdString();

    // The camera pulled while its encoder is being set up: not a preview error.
    app.CloseAll();
    io->xuFault = [](const test::XuCall&) { return ENODEV; };
    EXPECT_FALSE(app.StartPreview());
    EXPECT_EQ(app.mode, AppMode::Idle);
    QCoreApplication::processEvents();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(", ").toStdString();
    EXPECT_EQ(ended.count(), 1);

    // A camera that cannot be streamed at all is still a preview error.
    io->xuFault = nullptr;
    io->cameras.clear();
    EXPECT_FALSE(app.StartPreview());
    EXPECT_EQ(errors, QStringList { "preview error" });
    app.CloseAll();
}

} // namespace
} // namespace kestovar
