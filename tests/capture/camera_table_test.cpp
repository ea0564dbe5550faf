// The supported camera table, the microphone names and the encoder bit-rate table.

#include "capture/CameraTable.h"

#include <gtest/gtest.h>

using namespace kestovar;

TEST(CameraTableTest, EnumerationNeedsBothIdsOfOneRow)
{
    EXPECT_EQ(MatchCameraTable("usb#vid_05a3&pid_9422#SN#/dev/video0"), CameraModelKind::FullHd);
    EXPECT_EQ(MatchCameraTable("usb#VID_0C45&PID_6366#1-2#/dev/video2"), CameraModelKind::FullHd);
    EXPECT_EQ(MatchCameraTable("usb#VID_06F8&PID_4148#x#/dev/video4"), CameraModelKind::Pro);
    // Both strings anywhere, each independently of the other.
    EXPECT_EQ(MatchCameraTable("PID_4148 ... VID_06F8"), CameraModelKind::Pro);
    // Ids of two different rows make no match.
    EXPECT_EQ(MatchCameraTable("usb#VID_05A3&PID_4148#x#/dev/video0"), CameraModelKind::NotSupported);
    EXPECT_EQ(MatchCameraTable("usb#VID_06F8&PID_0001#x#/dev/video0"), CameraModelKind::NotSupported);
    EXPECT_EQ(MatchCameraTable("usb#VID_046D&PID_082D#x#/dev/video0"), CameraModelKind::NotSupported);
}

TEST(CameraTableTest, DeviceChangeRuleNeedsOneStringAndTellsTheModel)
{
    // The Pro vendor with a different product is still a supported Pro camera here.
    EXPECT_EQ(ClassifyDevicePath("usb#VID_06F8&PID_0001#x#/dev/video0"), CameraModelKind::Pro);
    EXPECT_EQ(ClassifyDevicePath("usb#vid_1234&pid_9422#x"), CameraModelKind::FullHd);
    EXPECT_EQ(ClassifyDevicePath("usb#VID_0C45&PID_0000"), CameraModelKind::Pro)
        << "a Full HD vendor without a Full HD product counts as Pro";
    EXPECT_EQ(ClassifyDevicePath("usb#VID_0C45&PID_6366"), CameraModelKind::FullHd);
    EXPECT_EQ(ClassifyDevicePath("usb#VID_046D&PID_082D"), CameraModelKind::NotSupported);
    EXPECT_EQ(CameraModelName(CameraModelKind::FullHd), "Kestovar Full HD camera");
    EXPECT_EQ(CameraModelName(CameraModelKind::Pro), "Kestovar Pro camera");
}

TEST(CameraTableTest, MicrophoneNamesAreCaseSensitiveSubstrings)
{
    EXPECT_TRUE(IsSupportedMicrophoneName("Kestovar Simulated Microphone"));
    EXPECT_TRUE(IsSupportedMicrophoneName("Monitor of USB Audio ADC Ver1.0 Analog"));
    EXPECT_TRUE(IsSupportedMicrophoneName("마이크(USB 2.0 Camera)"));
    EXPECT_FALSE(IsSupportedMicrophoneName("kestovar mic"));
    EXPECT_FALSE(IsSupportedMicrophoneName("Built-in Audio Analog Stereo"));
}

TEST(CameraTableTest, BitRateTableFollowsQualityAndAppliedResolution)
{
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(0, 0), 8505);
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(1, 1), 2970);
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(2, 0), 5163.75);
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(2, 2), 765);
    // Every cell is width x height x 30 x r / 1024.
    const double r[3] = { 0.14, 0.11, 0.085 };
    const int sizes[3][2] = { { 1920, 1080 }, { 1280, 720 }, { 640, 480 } };
    for (int q = 0; q < 3; ++q)
        for (int s = 0; s < 3; ++s)
            EXPECT_NEAR(EncoderBitrateTable(q, s), sizes[s][0] * sizes[s][1] * 30 * r[q] / 1024, 1e-6);
    // A level outside 0..2 uses the first row; any other resolution the last column.
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(7, 0), 8505);
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(-1, 1), 3780);
    EXPECT_DOUBLE_EQ(EncoderBitrateTable(1, 5), 990);
}
