// The camera's image controls on the simulated camera and on a replayed V4L2 camera,
// and which graph's camera they reach.

#include "../platform/FakeV4l2Io.h"
#include "CaptureTestSupport.h"
#include "TestSupport.h"
#include "capture/CameraImageControls.h"
#include "capture/PreviewGraph.h"
#include "capture/RecordGraph.h"
#include "platform/SimulatedAudioBackend.h"
#include "platform/SimulatedCamera.h"
#include "platform/SimulatedCameraProvider.h"
#include "platform/V4l2Camera.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <algorithm>

using namespace kestovar;
using namespace kestovar::test;

namespace {

struct SimulatedControls : ::testing::Test {
    std::shared_ptr<SimulatedCameraDevice> device
        = std::make_shared<SimulatedCameraDevice>(SimulatedModel::FullHd);
    SimulatedCamera camera { device };
    CameraImageControls controls { &camera };

    int32_t Control(uint32_t id) const
    {
        int32_t v = -9999;
        device->GetControl(id, v);
        return v;
    }
};

constexpr ImageControlReading kUntouched { 11, 22, 33, 44, 55 };

bool Same(const ImageControlReading& a, const ImageControlReading& b)
{
    return a.minimum == b.minimum && a.maximum == b.maximum && a.defaultValue == b.defaultValue
        && a.flags == b.flags && a.value == b.value;
}

} // namespace

TEST(ImageControlsWithoutCamera, EveryCallFailsAndWritesNothing)
{
    CameraImageControls none;
    EXPECT_FALSE(none.HasCamera());
    ImageControlReading r = kUntouched;
    for (int i = 0; i < ImageControlCount; ++i) {
        EXPECT_FALSE(none.GetImageControl(i, r));
        EXPECT_FALSE(none.SetImageControl(i, 1, kControlFlagManual));
    }
    EXPECT_FALSE(none.GetExposure(r));
    EXPECT_FALSE(none.SetExposure(100, kControlFlagManual));
    EXPECT_TRUE(Same(r, kUntouched));
    int32_t value = 7, flags = 8;
    EXPECT_FALSE(none.GetPowerLineFrequency(value, flags));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(flags, 8);
    EXPECT_FALSE(none.SetPowerLineFrequency(kPowerLine60Hz));
    EXPECT_EQ(none.ApplyRows({}, {}), 0);
}

TEST_F(SimulatedControls, ReadingsGiveRangesAndWhichModesExistButWhiteBalanceGivesItsMode)
{
    ImageControlReading r;
    ASSERT_TRUE(controls.GetImageControl(ImageBrightness, r));
    EXPECT_EQ(r.minimum, -64);
    EXPECT_EQ(r.maximum, 64);
    EXPECT_EQ(r.defaultValue, 0);
    EXPECT_EQ(r.flags, kControlFlagsBoth) << "brightness can be automatic and manual";

    ASSERT_TRUE(controls.GetImageControl(ImageContrast, r));
    EXPECT_EQ(r.flags, kControlFlagManual) << "contrast has no automatic mode";
    EXPECT_EQ(r.value, 32);

    ASSERT_TRUE(controls.GetImageControl(ImageWhiteBalance, r));
    EXPECT_EQ(r.flags, kControlFlagAuto) << "white balance is automatic now";
    EXPECT_EQ(r.minimum, 2800);
    ASSERT_TRUE(controls.SetImageControl(ImageWhiteBalance, 5000, kControlFlagManual));
    ASSERT_TRUE(controls.GetImageControl(ImageWhiteBalance, r));
    EXPECT_EQ(r.flags, kControlFlagManual) << "and manual after switching";
    EXPECT_EQ(r.value, 5000);

    ASSERT_TRUE(controls.GetExposure(r));
    EXPECT_EQ(r.flags, kControlFlagsBoth);
    EXPECT_EQ(r.minimum, 3);
    EXPECT_EQ(r.maximum, 2047);
    EXPECT_EQ(r.value, 250);
}

TEST_F(SimulatedControls, MissingPropertiesAndBadIndicesLeaveTheReadingAlone)
{
    ImageControlReading r = kUntouched;
    EXPECT_FALSE(controls.GetImageControl(ImageColorEnable, r)) << "V4L2 has no colour enable";
    EXPECT_FALSE(controls.GetImageControl(-1, r));
    EXPECT_FALSE(controls.GetImageControl(ImageControlCount, r)) << "exposure is not an image control";
    EXPECT_TRUE(Same(r, kUntouched));
    EXPECT_FALSE(controls.SetImageControl(ImageColorEnable, 1, kControlFlagManual));
    EXPECT_FALSE(controls.SetImageControl(12, 1, kControlFlagManual));
    EXPECT_TRUE(controls.GetRow(kExposureRow, r));
    EXPECT_EQ(r.maximum, 2047) << "row 10 is the exposure";
}

TEST_F(SimulatedControls, ManualValuesReachTheCameraAndItsPicture)
{
    const PictureAdjust before = device->Adjust();
    EXPECT_TRUE(controls.SetImageControl(ImageBrightness, 40, kControlFlagManual));
    EXPECT_TRUE(controls.SetImageControl(ImageContrast, 50, kControlFlagManual));
    EXPECT_TRUE(controls.SetImageControl(ImageSaturation, 10, kControlFlagsBoth));
    const PictureAdjust after = device->Adjust();
    EXPECT_NE(before.brightness, after.brightness);
    EXPECT_EQ(after.brightness, 40);
    EXPECT_EQ(after.contrast, 50);
    EXPECT_EQ(after.saturation, 10) << "3 (both modes) sets the value as manual";

    EXPECT_FALSE(controls.SetImageControl(ImageBrightness, 500, kControlFlagManual)) << "outside the range";
    EXPECT_EQ(Control(V4L2_CID_BRIGHTNESS), 40);
}

TEST_F(SimulatedControls, FlagsSwitchTheAutomaticPartner)
{
    // White balance: 3 is how a manual white balance is kept.
    ASSERT_TRUE(controls.SetImageControl(ImageWhiteBalance, 3200, kControlFlagsBoth));
    EXPECT_EQ(Control(V4L2_CID_AUTO_WHITE_BALANCE), 0);
    EXPECT_EQ(Control(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 3200);
    ASSERT_TRUE(controls.SetImageControl(ImageWhiteBalance, 3200, kControlFlagAuto));
    EXPECT_EQ(Control(V4L2_CID_AUTO_WHITE_BALANCE), 1);

    ASSERT_TRUE(controls.SetImageControl(ImageGain, 60, kControlFlagAuto));
    EXPECT_EQ(Control(V4L2_CID_AUTOGAIN), 1);
    EXPECT_EQ(Control(V4L2_CID_GAIN), 0) << "automatic: the camera picks the value";
    ASSERT_TRUE(controls.SetImageControl(ImageGain, 60, kControlFlagManual));
    EXPECT_EQ(Control(V4L2_CID_AUTOGAIN), 0);
    EXPECT_EQ(Control(V4L2_CID_GAIN), 60);

    EXPECT_FALSE(controls.SetImageControl(ImageContrast, 20, kControlFlagAuto)) << "no automatic contrast";
    EXPECT_EQ(Control(V4L2_CID_CONTRAST), 32);
}

TEST_F(SimulatedControls, ExposureIsManualOnlyForFlagTwo)
{
    ASSERT_TRUE(controls.SetExposure(800, kControlFlagManual));
    EXPECT_EQ(Control(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
    EXPECT_EQ(Control(V4L2_CID_EXPOSURE_ABSOLUTE), 800);
    ASSERT_TRUE(controls.SetExposure(900, kControlFlagsBoth));
    EXPECT_EQ(Control(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY)
        << "3 shows and acts automatic";
    EXPECT_EQ(Control(V4L2_CID_EXPOSURE_ABSOLUTE), 800);
    ASSERT_TRUE(controls.SetExposure(900, kControlFlagAuto));
    EXPECT_EQ(Control(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
}

TEST_F(SimulatedControls, PowerLineFrequency)
{
    int32_t value = -1, flags = -1;
    ASSERT_TRUE(controls.GetPowerLineFrequency(value, flags));
    EXPECT_EQ(value, kPowerLine50Hz);
    EXPECT_EQ(flags, kControlFlagManual);
    ASSERT_TRUE(controls.SetPowerLineFrequency(kPowerLine60Hz));
    ASSERT_TRUE(controls.GetPowerLineFrequency(value, flags));
    EXPECT_EQ(value, kPowerLine60Hz);
    EXPECT_FALSE(controls.SetPowerLineFrequency(7));
    EXPECT_EQ(Control(V4L2_CID_POWER_LINE_FREQUENCY), kPowerLine60Hz);
}

TEST_F(SimulatedControls, ApplyRowsSendsEveryRowTheCameraHas)
{
    CameraRowValues values { 10, 20, 5, 100, 6000, 200, 2, 50, 1, 4, 600 };
    CameraRowValues flags;
    flags.fill(kControlFlagManual);
    flags[ImageWhiteBalance] = kControlFlagsBoth;
    EXPECT_EQ(controls.ApplyRows(values, flags), 10) << "all but colour enable";
    EXPECT_EQ(Control(V4L2_CID_BRIGHTNESS), 10);
    EXPECT_EQ(Control(V4L2_CID_HUE), 5);
    EXPECT_EQ(Control(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 6000);
    EXPECT_EQ(Control(V4L2_CID_AUTO_WHITE_BALANCE), 0);
    EXPECT_EQ(Control(V4L2_CID_SHARPNESS), 4);
    EXPECT_EQ(Control(V4L2_CID_EXPOSURE_ABSOLUTE), 600);

    values[ImageGamma] = 9999; // refused by the camera; the rows after it still go
    values[ImageSharpness] = 1;
    EXPECT_EQ(controls.ApplyRows(values, flags), 9);
    EXPECT_EQ(Control(V4L2_CID_GAMMA), 200);
    EXPECT_EQ(Control(V4L2_CID_SHARPNESS), 1);
}

// ---- replayed V4L2 camera --------------------------------------------------------

namespace {

RecordedCamera WebcamWithImageControls()
{
    RecordedCamera c = H264Camera();
    c.controls[V4L2_CID_CONTRAST] = { 0, 255, 1, 128, 140 };
    c.controls[V4L2_CID_EXPOSURE_AUTO] = { 0, 3, 1, 3, 3 };
    c.controls[V4L2_CID_EXPOSURE_ABSOLUTE] = { 3, 2047, 1, 250, 166, V4L2_CTRL_FLAG_INACTIVE };
    c.controls[V4L2_CID_POWER_LINE_FREQUENCY] = { 0, 2, 1, 2, 2 };
    return c;
}

struct ReplayedControls : ::testing::Test {
    std::shared_ptr<FakeV4l2Io> io = std::make_shared<FakeV4l2Io>();
    std::unique_ptr<V4l2Camera> camera;

    void Open(RecordedCamera recorded)
    {
        io->cameras["/dev/video0"] = std::move(recorded);
        camera = std::make_unique<V4l2Camera>(io, "/dev/video0");
        ASSERT_TRUE(camera->Open());
    }
    int32_t Value(uint32_t id) { return io->cameras["/dev/video0"].controls.at(id).value; }
    size_t SetCalls() const
    {
        return size_t(std::count(io->requests.begin(), io->requests.end(), VIDIOC_S_CTRL));
    }
};

} // namespace

TEST_F(ReplayedControls, ReadsWhatTheDriverAnswers)
{
    Open(WebcamWithImageControls());
    CameraImageControls controls(camera.get());
    ImageControlReading r;
    ASSERT_TRUE(controls.GetImageControl(ImageBrightness, r));
    EXPECT_EQ(r.maximum, 255);
    EXPECT_EQ(r.value, 128);
    EXPECT_EQ(r.flags, kControlFlagManual) << "this camera has no automatic brightness";
    ASSERT_TRUE(controls.GetImageControl(ImageWhiteBalance, r));
    EXPECT_EQ(r.flags, kControlFlagAuto);
    EXPECT_EQ(r.value, 4000);
    ASSERT_TRUE(controls.GetExposure(r));
    EXPECT_EQ(r.flags, kControlFlagsBoth);
    EXPECT_EQ(r.value, 166);
    ImageControlReading untouched = kUntouched;
    EXPECT_FALSE(controls.GetImageControl(ImageGamma, untouched)) << "not offered by this camera";
    EXPECT_TRUE(Same(untouched, kUntouched));
    int32_t hz = 0, flags = 0;
    ASSERT_TRUE(controls.GetPowerLineFrequency(hz, flags));
    EXPECT_EQ(hz, kPowerLine60Hz);
}

TEST_F(ReplayedControls, ManualWritesSwitchTheAutomaticModeOffOnlyOnce)
{
    Open(WebcamWithImageControls());
    CameraImageControls controls(camera.get());
    const size_t before = SetCalls();
    ASSERT_TRUE(controls.SetImageControl(ImageWhiteBalance, 5100, kControlFlagsBoth));
    EXPECT_EQ(Value(V4L2_CID_AUTO_WHITE_BALANCE), 0);
    EXPECT_EQ(Value(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5100);
    EXPECT_EQ(SetCalls() - before, 2u) << "switch off, then the value";
    ASSERT_TRUE(controls.SetImageControl(ImageWhiteBalance, 5200, kControlFlagsBoth));
    EXPECT_EQ(SetCalls() - before, 3u) << "a drag writes only the values after that";

    ASSERT_TRUE(controls.SetExposure(300, kControlFlagManual));
    EXPECT_EQ(Value(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
    EXPECT_EQ(Value(V4L2_CID_EXPOSURE_ABSOLUTE), 300);
    ASSERT_TRUE(controls.SetPowerLineFrequency(kPowerLine50Hz));
    EXPECT_EQ(Value(V4L2_CID_POWER_LINE_FREQUENCY), kPowerLine50Hz);
}

TEST_F(ReplayedControls, AutomaticExposureFallsBackToTheFullyAutomaticMode)
{
    RecordedCamera cam = WebcamWithImageControls();
    cam.controls[V4L2_CID_EXPOSURE_AUTO] = { 0, 1, 1, 0, 1 }; // auto (0) and manual (1) only
    Open(std::move(cam));
    CameraImageControls controls(camera.get());
    ASSERT_TRUE(controls.SetExposure(0, kControlFlagAuto));
    EXPECT_EQ(Value(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_AUTO);
    ImageControlReading r;
    ASSERT_TRUE(controls.GetRow(kExposureRow, r));
    EXPECT_EQ(r.flags, kControlFlagsBoth);
}

// ---- which graph's camera ----------------------------------------------------------

TEST(OpenGraphCamera, PreviewFirstThenRecordingThenNothing)
{
    EXPECT_EQ(OpenGraphCamera(nullptr, nullptr), nullptr);
    EXPECT_FALSE(OpenGraphKind(nullptr, nullptr).has_value());

    auto provider = std::make_shared<SimulatedCameraProvider>(SimulatedModel::Pro);
    ProviderScope scope(provider);
    auto audio = std::make_shared<SimulatedAudioBackend>();
    UseAudioBackendForMicrophones(audio);

    PreviewGraph unbuilt;
    EXPECT_EQ(OpenGraphCamera(&unbuilt, nullptr), nullptr);
    EXPECT_FALSE(OpenGraphKind(&unbuilt, nullptr).has_value()) << "no camera bound yet";

    TempDir dir;
    RecordGraph record(audio);
    ASSERT_TRUE(record.Build((dir / "r.avi").string(), false)) << record.LastError();
    ASSERT_NE(record.Camera(), nullptr);
    EXPECT_EQ(OpenGraphCamera(nullptr, &record), record.Camera()) << "while recording";
    EXPECT_EQ(OpenGraphKind(nullptr, &record), SourceKind::Mjpeg);

    // The image controls of the recording graph's camera act on the device.
    CameraImageControls controls(OpenGraphCamera(nullptr, &record));
    ASSERT_TRUE(controls.SetImageControl(ImageBrightness, -20, kControlFlagManual));
    int32_t v = 0;
    provider->Device()->GetControl(V4L2_CID_BRIGHTNESS, v);
    EXPECT_EQ(v, -20);
    record.Teardown();

    PreviewGraph preview;
    ASSERT_TRUE(preview.Build());
    EXPECT_EQ(OpenGraphCamera(&preview, nullptr), preview.Camera());
    EXPECT_EQ(OpenGraphKind(&preview, nullptr), SourceKind::Mjpeg);
    UseAudioBackendForMicrophones(nullptr);
}
