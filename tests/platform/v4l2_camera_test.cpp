// V4l2Camera against replayed answers of an H.264 UVC camera and an MJPG-only one.

#include "FakeV4l2Io.h"
#include "platform/V4l2Camera.h"

#include <gtest/gtest.h>

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <algorithm>

using namespace kestovar;
using namespace kestovar::test;

namespace {

std::shared_ptr<FakeV4l2Io> MakeIo()
{
    auto io = std::make_shared<FakeV4l2Io>();
    io->cameras["/dev/video0"] = H264Camera();
    io->cameras["/dev/video1"] = MetadataNode();
    io->cameras["/dev/video2"] = MjpegOnlyCamera();
    return io;
}

const CameraFormatInfo* Find(const std::vector<CameraFormatInfo>& formats, uint32_t fourcc)
{
    auto it = std::find_if(
        formats.begin(), formats.end(), [fourcc](const auto& f) { return f.fourcc == fourcc; });
    return it == formats.end() ? nullptr : &*it;
}

} // namespace

TEST(V4l2CameraTest, OpensCaptureNodesAndRefusesTheMetadataNode)
{
    auto io = MakeIo();
    {
        V4l2Camera camera(io, "/dev/video0");
        ASSERT_TRUE(camera.Open());
        EXPECT_EQ(camera.CardName(), "HD Pro Webcam C920");
        V4l2Camera meta(io, "/dev/video1");
        EXPECT_FALSE(meta.Open());
        EXPECT_NE(meta.LastError().find("not a streaming capture node"), std::string::npos);
        V4l2Camera missing(io, "/dev/video9");
        EXPECT_FALSE(missing.Open());
    }
    EXPECT_EQ(io->openFds, 0) << "every opened node is closed again";
}

TEST(V4l2CameraTest, ListsFormatsSizesAndIntervalsOfEachCamera)
{
    auto io = MakeIo();
    V4l2Camera h264(io, "/dev/video0");
    ASSERT_TRUE(h264.Open());
    const auto formats = h264.Formats();
    ASSERT_EQ(formats.size(), 3u);
    const CameraFormatInfo* f = Find(formats, V4L2_PIX_FMT_H264);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->sizes.size(), 3u);
    EXPECT_EQ(f->sizes[2].width, 1920u);
    EXPECT_EQ(f->sizes[2].height, 1080u);
    ASSERT_EQ(f->sizes[2].intervals.size(), 4u);
    EXPECT_EQ(f->sizes[2].intervals[1].denominator, 25u);
    EXPECT_TRUE(h264.Offers(V4L2_PIX_FMT_H264));

    V4l2Camera mjpeg(io, "/dev/video2");
    ASSERT_TRUE(mjpeg.Open());
    EXPECT_FALSE(mjpeg.Offers(V4L2_PIX_FMT_H264));
    EXPECT_TRUE(mjpeg.Offers(V4L2_PIX_FMT_MJPEG));
}

TEST(V4l2CameraTest, SetFormatAcceptsOfferedSizesAndRefusesAdjustedOnes)
{
    auto io = MakeIo();
    V4l2Camera camera(io, "/dev/video0");
    ASSERT_TRUE(camera.Open());
    EXPECT_TRUE(camera.SetFormat(V4L2_PIX_FMT_H264, 1280, 720));
    CameraCurrentFormat current;
    ASSERT_TRUE(camera.GetFormat(current));
    EXPECT_EQ(current.fourcc, uint32_t(V4L2_PIX_FMT_H264));
    EXPECT_EQ(current.width, 1280u);
    EXPECT_EQ(current.height, 720u);
    // The driver answers 1280x720 for 1280x960: that is a refusal, not a success.
    EXPECT_FALSE(camera.SetFormat(V4L2_PIX_FMT_H264, 1280, 960));
    EXPECT_NE(camera.LastError().find("adjusted"), std::string::npos);
    // A format the camera lacks comes back as another one.
    V4l2Camera plain(io, "/dev/video2");
    ASSERT_TRUE(plain.Open());
    EXPECT_FALSE(plain.SetFormat(V4L2_PIX_FMT_H264, 640, 480));
    EXPECT_TRUE(plain.SetFormat(V4L2_PIX_FMT_MJPEG, 320, 240));
}

TEST(V4l2CameraTest, FrameIntervalGoesThroughSParm)
{
    auto io = MakeIo();
    V4l2Camera camera(io, "/dev/video0");
    ASSERT_TRUE(camera.Open());
    ASSERT_TRUE(camera.SetFrameInterval({ 1, 20 }));
    EXPECT_EQ(io->cameras["/dev/video0"].fps, 20u);
    CameraCurrentFormat current;
    ASSERT_TRUE(camera.GetFormat(current));
    EXPECT_EQ(current.interval.denominator, 20u);
    EXPECT_FALSE(camera.SetFrameInterval({ 0, 20 }));
}

TEST(V4l2CameraTest, ExtensionUnitQueriesReachTheDriverUnchanged)
{
    auto io = MakeIo();
    V4l2Camera camera(io, "/dev/video0");
    ASSERT_TRUE(camera.Open());
    uint8_t len[2] = {};
    EXPECT_EQ(camera.ExtensionUnitQuery(2, 7, UVC_GET_LEN, len, 2), 0);
    EXPECT_EQ(len[0], 11);
    uint8_t value[11] = { 0x9A, 0x03 };
    EXPECT_EQ(camera.ExtensionUnitQuery(2, 7, UVC_SET_CUR, value, 11), 0);
    ASSERT_EQ(io->xuCalls.size(), 2u);
    EXPECT_EQ(io->xuCalls[1].unit, 2);
    EXPECT_EQ(io->xuCalls[1].selector, 7);
    EXPECT_EQ(io->xuCalls[1].query, UVC_SET_CUR);
    EXPECT_EQ(io->xuCalls[1].size, 11);
    EXPECT_EQ(io->xuCalls[1].data[0], 0x9A);
    EXPECT_EQ(io->xuCalls[1].data[1], 0x03);
    // The MJPG-only camera has no such unit: the errno is passed on.
    V4l2Camera plain(io, "/dev/video2");
    ASSERT_TRUE(plain.Open());
    EXPECT_EQ(plain.ExtensionUnitQuery(2, 2, UVC_GET_LEN, len, 2), ENOENT);
}

TEST(V4l2CameraTest, StreamsBuffersInOrderSkipsDamagedOnesAndReportsUnplugging)
{
    auto io = MakeIo();
    auto& d = io->deliveries["/dev/video0"];
    d.push_back({ { 0, 0, 0, 1, 0x67, 1 }, 0, 5000000 });
    d.push_back({ { 0, 0, 0, 1, 0x41, 2 }, V4L2_BUF_FLAG_ERROR, 5033333 });
    d.push_back({ { 0, 0, 0, 1, 0x41, 3 }, 0, 5066666 });
    V4l2Camera camera(io, "/dev/video0");
    ASSERT_TRUE(camera.Open());
    ASSERT_TRUE(camera.SetFormat(V4L2_PIX_FMT_H264, 1920, 1080));
    ASSERT_TRUE(camera.StartStreaming());
    EXPECT_EQ(io->mappedBuffers, 4);

    CameraPacket p;
    ASSERT_EQ(camera.ReadPacket(p, 10), CameraReadStatus::Packet);
    EXPECT_EQ(p.data, (std::vector<uint8_t> { 0, 0, 0, 1, 0x67, 1 }));
    EXPECT_EQ(p.ptsUs, 0);
    EXPECT_EQ(p.sequence, 0u);
    EXPECT_EQ(p.fourcc, uint32_t(V4L2_PIX_FMT_H264));
    EXPECT_EQ(p.width, 1920u);
    // The damaged buffer is not handed on.
    EXPECT_EQ(camera.ReadPacket(p, 10), CameraReadStatus::Timeout);
    ASSERT_EQ(camera.ReadPacket(p, 10), CameraReadStatus::Packet);
    EXPECT_EQ(p.data.back(), 3);
    EXPECT_EQ(p.ptsUs, 66666);
    EXPECT_EQ(p.sequence, 1u);
    EXPECT_EQ(camera.ReadPacket(p, 10), CameraReadStatus::Timeout);
    io->unplugWhenEmpty = true;
    EXPECT_EQ(camera.ReadPacket(p, 10), CameraReadStatus::Gone);

    camera.StopStreaming();
    EXPECT_EQ(io->mappedBuffers, 0);
    EXPECT_NE(std::find(io->requests.begin(), io->requests.end(), (unsigned long)VIDIOC_STREAMOFF),
        io->requests.end());
}

TEST(V4l2CameraTest, ImageControlsReadRangesAndRefuseOutOfRangeValues)
{
    auto io = MakeIo();
    V4l2Camera camera(io, "/dev/video0");
    ASSERT_TRUE(camera.Open());
    CameraControlInfo info;
    ASSERT_TRUE(camera.QueryControl(V4L2_CID_BRIGHTNESS, info));
    EXPECT_EQ(info.maximum, 255);
    EXPECT_EQ(info.defaultValue, 128);
    ASSERT_TRUE(camera.QueryControl(V4L2_CID_WHITE_BALANCE_TEMPERATURE, info));
    EXPECT_TRUE(info.flags & V4L2_CTRL_FLAG_INACTIVE);
    EXPECT_TRUE(camera.SetControl(V4L2_CID_BRIGHTNESS, 200));
    int32_t v = 0;
    ASSERT_TRUE(camera.GetControl(V4L2_CID_BRIGHTNESS, v));
    EXPECT_EQ(v, 200);
    EXPECT_FALSE(camera.SetControl(V4L2_CID_BRIGHTNESS, 300));
    EXPECT_FALSE(camera.QueryControl(V4L2_CID_HUE, info));
}
