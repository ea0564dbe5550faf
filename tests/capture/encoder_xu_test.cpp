// The bytes that reach the camera's encoder.

#include "CaptureTestSupport.h"
#include "capture/EncoderXu.h"
#include "platform/SimulatedCamera.h"

#include <gtest/gtest.h>

#include <linux/usb/video.h>

using namespace kestovar;
using test::RecordingCamera;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> first)
{
    std::vector<uint8_t> v(first);
    v.resize(11, 0);
    return v;
}

} // namespace

TEST(EncoderXuTest, BitRateGoesAsHeaderThenTwentyFourBitBigEndianValue)
{
    RecordingCamera camera;
    ASSERT_TRUE(SetEncoderBitrate(&camera, 5163.75));
    ASSERT_EQ(camera.calls.size(), 3u);
    EXPECT_EQ(camera.calls[0].query, UVC_GET_LEN);
    for (const auto& c : camera.calls) {
        EXPECT_EQ(c.unit, 2);
        EXPECT_EQ(c.selector, 2);
    }
    EXPECT_EQ(camera.calls[1].query, UVC_SET_CUR);
    EXPECT_EQ(camera.calls[1].data, Bytes({ 0x9A, 0x02 }));
    EXPECT_EQ(camera.calls[2].query, UVC_SET_CUR);
    EXPECT_EQ(camera.calls[2].data, Bytes({ 0x4E, 0xCA, 0xE6 })) << "5163750 bit/s";

    EncoderBytes b;
    ASSERT_TRUE(EncoderBitrateBytes(8505, b));
    EXPECT_EQ((b[0] << 16) | (b[1] << 8) | b[2], 8505000);
    ASSERT_TRUE(EncoderBitrateBytes(0.0019, b)) << "1.9 bit/s truncates to 1";
    EXPECT_EQ(b[2], 1);
    EXPECT_FALSE(EncoderBitrateBytes(20000, b)) << "20 Mbit/s does not fit 24 bits: refused, not wrapped";
    EXPECT_FALSE(EncoderBitrateBytes(0, b));
    EXPECT_FALSE(SetEncoderBitrate(&camera, -5));
}

TEST(EncoderXuTest, PrepareSendsItsTwoCommandsInOrderAndStopsAtAFailure)
{
    RecordingCamera camera;
    ASSERT_TRUE(PrepareEncoderStream(&camera));
    ASSERT_EQ(camera.calls.size(), 6u);
    EXPECT_EQ(camera.calls[1].selector, 7);
    EXPECT_EQ(camera.calls[1].data, Bytes({ 0x9A, 0x03 }));
    EXPECT_EQ(camera.calls[2].data, Bytes({}));
    EXPECT_EQ(camera.calls[4].selector, 2);
    EXPECT_EQ(camera.calls[4].data, Bytes({ 0x9A, 0x04 }));
    EXPECT_EQ(camera.calls[5].data, Bytes({ 0x01 }));

    RecordingCamera failing;
    failing.failAt = 2; // the first command's value
    EXPECT_FALSE(PrepareEncoderStream(&failing));
    EXPECT_EQ(failing.calls.size(), 3u) << "the second command is not sent";
}

TEST(EncoderXuTest, RefusedHeaderIsAFailureAndItsValueIsNotSent)
{
    RecordingCamera camera;
    camera.failAt = 1;
    EXPECT_FALSE(SendEncoderCommand(&camera, 2, 0x02, EncoderBytes { 1, 2, 3 }));
    EXPECT_EQ(camera.calls.size(), 2u);

    RecordingCamera wrongLength;
    wrongLength.length = 8;
    EXPECT_FALSE(SendEncoderCommand(&wrongLength, 2, 0x02, EncoderBytes {}));
    EXPECT_EQ(wrongLength.calls.size(), 1u) << "nothing is written to a control of another size";

    RecordingCamera noUnit;
    noUnit.failAt = 0;
    noUnit.failErrno = ENOENT;
    EXPECT_FALSE(SendEncoderCommand(&noUnit, 4, 0x01, EncoderBytes {}));
    EXPECT_FALSE(SendEncoderCommand(nullptr, 4, 0x01, EncoderBytes {}));
}

TEST(EncoderXuTest, ClockCarriesTheLocalTime)
{
    std::tm t {};
    t.tm_sec = 7;
    t.tm_min = 59;
    t.tm_hour = 23;
    t.tm_mday = 31;
    t.tm_mon = 11; // December
    t.tm_year = 2025 - 1900;
    RecordingCamera camera;
    ASSERT_TRUE(SetEncoderClock(&camera, t));
    ASSERT_EQ(camera.calls.size(), 3u);
    EXPECT_EQ(camera.calls[1].selector, 4);
    EXPECT_EQ(camera.calls[1].data, Bytes({ 0x9A, 0x01 }));
    EXPECT_EQ(camera.calls[2].data, Bytes({ 7, 59, 23, 31, 12, 0x07, 0xE9 }));

    // Without a given time it is the local time now (not UTC).
    RecordingCamera now;
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(SetEncoderClock(&now));
    const std::time_t after = std::time(nullptr);
    const auto& v = now.calls[2].data;
    std::tm sent {};
    sent.tm_sec = v[0];
    sent.tm_min = v[1];
    sent.tm_hour = v[2];
    sent.tm_mday = v[3];
    sent.tm_mon = v[4] - 1;
    sent.tm_year = ((v[5] << 8) | v[6]) - 1900;
    sent.tm_isdst = -1;
    const std::time_t back = std::mktime(&sent); // interprets as local time
    EXPECT_GE(back, before - 1);
    EXPECT_LE(back, after + 1);
}

TEST(EncoderXuTest, QueryReturnsTheElevenReplyBytes)
{
    RecordingCamera camera;
    EncoderBytes reply {};
    ASSERT_TRUE(QueryEncoderCommand(&camera, 7, 0x02, reply));
    ASSERT_EQ(camera.calls.size(), 3u);
    EXPECT_EQ(camera.calls[1].data, Bytes({ 0x9A, 0x02 }));
    EXPECT_EQ(camera.calls[2].query, UVC_GET_CUR);
    EXPECT_EQ(reply[0], 0x10);
    EXPECT_EQ(reply[10], 0x1A);
}

TEST(EncoderXuTest, TheSimulatedCameraLogsWhatItReceived)
{
    auto device = std::make_shared<SimulatedCameraDevice>(SimulatedModel::FullHd2);
    SimulatedCamera camera(device);
    ASSERT_TRUE(PrepareEncoderStream(&camera));
    ASSERT_TRUE(SetEncoderBitrate(&camera, 5163.75));
    ASSERT_TRUE(SetEncoderClock(&camera));
    const auto log = device->CommandLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].selector, 7);
    EXPECT_EQ(log[0].code, 0x03);
    EXPECT_EQ(log[1].selector, 2);
    EXPECT_EQ(log[1].code, 0x04);
    EXPECT_EQ(log[1].value[0], 0x01);
    EXPECT_EQ(log[2].code, 0x02);
    EXPECT_EQ(log[2].value[0], 0x4E);
    EXPECT_EQ(log[2].value[1], 0xCA);
    EXPECT_EQ(log[2].value[2], 0xE6);
    EXPECT_EQ(log[3].selector, 4);
    EXPECT_TRUE(device->StreamPrepared());
    EXPECT_DOUBLE_EQ(device->BitrateKbps(), 5163.75);

    SimulatedCamera pro(std::make_shared<SimulatedCameraDevice>(SimulatedModel::Pro));
    EXPECT_FALSE(SetEncoderBitrate(&pro, 765));
}
