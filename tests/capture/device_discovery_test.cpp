// Binding the supported camera and microphone; the source kind decision against
// replayed V4L2 cameras; the USB presence rule.

#include "../platform/FakeV4l2Io.h"
#include "CaptureTestSupport.h"
#include "capture/DeviceDiscovery.h"
#include "capture/StreamFormat.h"
#include "platform/V4l2Camera.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

using namespace kestovar;
using namespace kestovar::test;

namespace {

struct V4l2Setup {
    std::shared_ptr<FakeV4l2Io> io = std::make_shared<FakeV4l2Io>();
    std::shared_ptr<ListedCameraProvider> provider = std::make_shared<ListedCameraProvider>();

    V4l2Setup()
    {
        provider->open = [io = io](const VideoDeviceInfo& d) -> std::unique_ptr<CameraBackend> {
            auto camera = std::make_unique<V4l2Camera>(io, d.node);
            if (!camera->Open())
                return nullptr;
            return camera;
        };
    }
    void Add(const std::string& node, const std::string& path, RecordedCamera camera)
    {
        io->cameras[node] = camera;
        provider->devices.push_back({ camera.card, path, node });
    }
};

} // namespace

TEST(DeviceDiscoveryTest, FindsTheFirstSupportedCameraAndSkipsOthers)
{
    V4l2Setup s;
    s.Add("/dev/video0", "usb#VID_046D&PID_082D#A#/dev/video0", H264Camera()); // not supported
    s.Add(
        "/dev/video2", "usb#VID_06F8&PID_0001#B#/dev/video2", MjpegOnlyCamera()); // Pro vendor, other product
    s.Add("/dev/video4", "usb#VID_0C45&PID_6366#C#/dev/video4", H264Camera());
    s.Add("/dev/video6", "usb#VID_05A3&PID_9422#D#/dev/video6", H264Camera());
    ProviderScope scope(s.provider);

    std::string name;
    std::unique_ptr<CameraBackend> camera;
    VideoDeviceInfo info;
    ASSERT_TRUE(FindVideoDevice(name, camera, &info));
    EXPECT_EQ(info.node, "/dev/video4");
    EXPECT_EQ(name, "HD Pro Webcam C920");
    ASSERT_EQ(s.provider->opened.size(), 1u) << "nothing but the match is opened";
    EXPECT_TRUE(IsSupportedCameraPresent());
}

TEST(DeviceDiscoveryTest, AMatchThatCannotBeOpenedGivesWayToTheNext)
{
    V4l2Setup s;
    s.Add("/dev/video1", "usb#VID_05A3&PID_9422#A#/dev/video1", MetadataNode());
    s.Add("/dev/video3", "usb#VID_06F8&PID_4148#B#/dev/video3", MjpegOnlyCamera());
    ProviderScope scope(s.provider);
    std::string name;
    std::unique_ptr<CameraBackend> camera;
    VideoDeviceInfo info;
    ASSERT_TRUE(FindVideoDevice(name, camera, &info));
    EXPECT_EQ(info.node, "/dev/video3");
}

TEST(DeviceDiscoveryTest, H264CameraIsEncodedAndSwitchedToH264)
{
    V4l2Setup s;
    s.Add("/dev/video0", "usb#VID_05A3&PID_9422#A#/dev/video0", H264Camera());
    ProviderScope scope(s.provider);
    CaptureSource source;
    ASSERT_TRUE(AddVideoSource(source));
    EXPECT_EQ(source.kind, SourceKind::Encoded);
    EXPECT_EQ(source.captureFormat, uint32_t(V4L2_PIX_FMT_H264));
    EXPECT_EQ(s.io->cameras["/dev/video0"].currentFourcc, uint32_t(V4L2_PIX_FMT_H264))
        << "the camera powered up in YUYV and now captures H.264";

    // Width-only matching of the resolution choice; the applied index follows.
    int applied = 2;
    ASSERT_TRUE(ApplyResolution(source, Res720, applied, nullptr));
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(s.io->cameras["/dev/video0"].currentWidth, 1280u);
    ASSERT_TRUE(ApplyFrameRate(source, Fps20));
    EXPECT_EQ(s.io->cameras["/dev/video0"].fps, 20u);
    source.Release();
    EXPECT_EQ(s.io->openFds, 0);
}

TEST(DeviceDiscoveryTest, CameraWithoutA1280CapabilityFallsBackToTheFirstColumn)
{
    V4l2Setup s;
    RecordedCamera cam = H264Camera();
    cam.formats[1].sizes = { { 1920, 1080 }, { 640, 480 } };
    s.Add("/dev/video0", "usb#VID_05A3&PID_9422#A#/dev/video0", cam);
    ProviderScope scope(s.provider);
    CaptureSource source;
    ASSERT_TRUE(AddVideoSource(source));
    int applied = 2;
    ASSERT_TRUE(ApplyResolution(source, Res720, applied, nullptr));
    EXPECT_EQ(applied, 0) << "so the quality uses the 1920x1080 bit rates";
}

TEST(DeviceDiscoveryTest, MjpegOnlyCameraIsMjpegAndKeepsItsFormat)
{
    V4l2Setup s;
    s.Add("/dev/video0", "usb#VID_06F8&PID_4148#A#/dev/video0", MjpegOnlyCamera());
    ProviderScope scope(s.provider);
    CaptureSource source;
    ASSERT_TRUE(AddVideoSource(source));
    EXPECT_EQ(source.kind, SourceKind::Mjpeg);
    EXPECT_EQ(source.captureFormat, uint32_t(V4L2_PIX_FMT_MJPEG));
    auto& cam = s.io->cameras["/dev/video0"];
    EXPECT_EQ(cam.currentFourcc, uint32_t(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(cam.currentWidth, 640u) << "its current size, which MJPG offers";

    // The choice is ignored: the camera keeps the format it has.
    int applied = 0;
    ASSERT_TRUE(ApplyResolution(source, Res1080, applied, nullptr));
    EXPECT_EQ(cam.currentWidth, 640u);
    EXPECT_EQ(cam.currentHeight, 480u);
    EXPECT_EQ(cam.currentFourcc, uint32_t(V4L2_PIX_FMT_MJPEG));

    // Without a 640x480 MJPG capability nothing is touched.
    cam.formats[0].sizes = { { 320, 240 } };
    ASSERT_TRUE(ApplyResolution(source, Res480, applied, nullptr));
    EXPECT_EQ(cam.currentWidth, 640u);
}

TEST(DeviceDiscoveryTest, NoCameraBindsNothing)
{
    V4l2Setup s;
    s.Add("/dev/video0", "usb#VID_046D&PID_082D#A#/dev/video0", H264Camera());
    ProviderScope scope(s.provider);
    CaptureSource source;
    EXPECT_FALSE(AddVideoSource(source));
    EXPECT_FALSE(source.camera);
    EXPECT_EQ(source.captureFormat, 0u);
    EXPECT_FALSE(IsSupportedCameraPresent());
    EXPECT_EQ(s.io->openFds, 0);

    RecordedCamera yuyvOnly = MjpegOnlyCamera();
    yuyvOnly.formats.erase(yuyvOnly.formats.begin());
    V4l2Setup t;
    t.Add("/dev/video0", "usb#VID_06F8&PID_4148#A#/dev/video0", yuyvOnly);
    ProviderScope scope2(t.provider);
    EXPECT_FALSE(AddVideoSource(source)) << "a camera with neither H.264 nor MJPG cannot be shown";
    EXPECT_EQ(t.io->openFds, 0);
}

TEST(DeviceDiscoveryTest, TheLastMatchingMicrophoneIsBound)
{
    SetAudioInputLister([] {
        return std::vector<AudioInputDevice> { { "Built-in Audio Analog Stereo", "alsa_input.pci" },
            { "USB Audio ADC Ver1.0 Analog Mono", "alsa_input.usb-1" }, { "kestovar (lower case)", "x" },
            { "Kestovar Simulated Microphone", "kestovar_sim" } };
    });
    std::string name;
    AudioInputDevice device;
    ASSERT_TRUE(FindAudioDevice(name, device));
    EXPECT_EQ(name, "Kestovar Simulated Microphone");
    EXPECT_EQ(device.sourceName, "kestovar_sim");
    CaptureSource source;
    ASSERT_TRUE(AddAudioSource(source));
    EXPECT_EQ(source.microphone->sourceName, "kestovar_sim");

    SetAudioInputLister([] { return std::vector<AudioInputDevice> { { "Built-in Audio", "a" } }; });
    CaptureSource none;
    EXPECT_FALSE(AddAudioSource(none));
    EXPECT_FALSE(none.microphone.has_value());
    SetAudioInputLister(nullptr);
    EXPECT_FALSE(FindAudioDevice(name, device));
}

TEST(DeviceDiscoveryTest, UsbPresenceNeedsBothIdsPastTheFirstCharacter)
{
    auto provider = std::make_shared<ListedCameraProvider>();
    provider->usbIds = { "USB\\VID_06F8&PID_4148\\PRO1", "VID_05A3USB&PID_9422\\X" };
    ProviderScope scope(provider);
    EXPECT_TRUE(IsUsbDevicePresent("vid_06f8", "pid_4148", 0x8000));
    EXPECT_TRUE(IsUsbDevicePresent("VID_06F8", "PID_4148", 0x8004));
    EXPECT_FALSE(IsUsbDevicePresent("VID_05A3", "PID_9422", 0x8000)) << "the vendor stands at index 0";
    EXPECT_FALSE(IsUsbDevicePresent("VID_0C45", "PID_6366", 0x8000));
    EXPECT_FALSE(IsUsbDevicePresent("", "PID_4148", 0x8000));
}
