// The simulated cameras behave like the real ones: real H.264 and MJPG streams, the
// encoder's extension unit, image controls with ranges, unplugging.

#include "platform/CameraAvPtr.h"
#include "platform/SimulatedCamera.h"
#include "platform/SimulatedCameraProvider.h"

#include <gtest/gtest.h>

#include <linux/usb/video.h>
#include <linux/videodev2.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <numeric>

using namespace kestovar;

namespace {

// NAL unit types of an Annex B access unit.
std::vector<int> NalTypes(const std::vector<uint8_t>& au)
{
    std::vector<int> types;
    for (size_t i = 0; i + 3 < au.size(); ++i)
        if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
            types.push_back(au[i + 3] & 0x1F);
            i += 3;
        }
    return types;
}

bool Has(const std::vector<int>& v, int x)
{
    return std::find(v.begin(), v.end(), x) != v.end();
}

std::vector<CameraPacket> ReadPackets(CameraBackend& camera, size_t count)
{
    std::vector<CameraPacket> packets;
    for (int guard = 0; packets.size() < count && guard < 1000; ++guard) {
        CameraPacket p;
        const auto status = camera.ReadPacket(p, 100);
        if (status == CameraReadStatus::Packet)
            packets.push_back(std::move(p));
        else if (status != CameraReadStatus::Timeout)
            break;
    }
    return packets;
}

struct Decoded {
    int width = 0, height = 0, format = -1;
    double meanLuma = 0;
    bool anyB = false;
    int frames = 0;
    std::vector<uint8_t> firstLuma;
};

Decoded Decode(AVCodecID id, const std::vector<CameraPacket>& packets)
{
    Decoded out;
    const AVCodec* codec = avcodec_find_decoder(id);
    av::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return out;
    av::PacketPtr pkt = av::MakePacket();
    av::FramePtr frame = av::MakeFrame();
    double lumaSum = 0;
    for (const auto& p : packets) {
        pkt->data = const_cast<uint8_t*>(p.data.data());
        pkt->size = static_cast<int>(p.data.size());
        if (avcodec_send_packet(ctx.get(), pkt.get()) < 0)
            continue;
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            out.width = frame->width;
            out.height = frame->height;
            out.format = frame->format;
            out.anyB = out.anyB || frame->pict_type == AV_PICTURE_TYPE_B;
            uint64_t sum = 0;
            for (int y = 0; y < frame->height; ++y)
                for (int x = 0; x < frame->width; ++x)
                    sum += frame->data[0][y * frame->linesize[0] + x];
            lumaSum += double(sum) / (frame->width * frame->height);
            if (out.frames == 0)
                out.firstLuma.assign(frame->data[0], frame->data[0] + frame->linesize[0] * frame->height);
            ++out.frames;
            av_frame_unref(frame.get());
        }
    }
    out.meanLuma = out.frames ? lumaSum / out.frames : 0;
    return out;
}

int XuSet(SimulatedCameraDevice& d, uint8_t selector, std::array<uint8_t, 11> bytes)
{
    return d.ExtensionUnitQuery(2, selector, UVC_SET_CUR, bytes.data(), 11);
}

} // namespace

TEST(SimulatedCameraDeviceTest, ModelsCarryTheirUsbIdsAndFormats)
{
    EXPECT_EQ(SimulatedCameraDevice::ModelFromName("fullhd"), SimulatedModel::FullHd);
    EXPECT_EQ(SimulatedCameraDevice::ModelFromName("fullhd2"), SimulatedModel::FullHd2);
    EXPECT_EQ(SimulatedCameraDevice::ModelFromName("pro"), SimulatedModel::Pro);
    EXPECT_FALSE(SimulatedCameraDevice::ModelFromName("FullHD").has_value());

    SimulatedCameraDevice fullhd(SimulatedModel::FullHd), fullhd2(SimulatedModel::FullHd2),
        pro(SimulatedModel::Pro);
    EXPECT_EQ(fullhd.DevicePath(), "usb#VID_05A3&PID_9422#KSTSIM0001#/dev/video0");
    EXPECT_NE(fullhd2.DevicePath().find("VID_0C45&PID_6366"), std::string::npos);
    EXPECT_EQ(pro.InstanceId(), "USB\\VID_06F8&PID_4148\\KSTSIM0001");
    EXPECT_EQ(fullhd.Formats().front().fourcc, uint32_t(V4L2_PIX_FMT_H264));
    EXPECT_EQ(fullhd.Formats().front().sizes.size(), 3u);
    ASSERT_EQ(pro.Formats().size(), 1u);
    EXPECT_EQ(pro.Formats().front().fourcc, uint32_t(V4L2_PIX_FMT_MJPEG));
}

TEST(SimulatedCameraDeviceTest, ExtensionUnitTakesHeaderThenValueAndLogsTheCommand)
{
    SimulatedCameraDevice d(SimulatedModel::FullHd);
    uint8_t len[2] = {};
    ASSERT_EQ(d.ExtensionUnitQuery(2, 2, UVC_GET_LEN, len, 2), 0);
    EXPECT_EQ(len[0], 11);
    EXPECT_EQ(XuSet(d, 2, { 0x4E, 0xCA, 0xE6 }), EPIPE) << "a value without its header stalls";
    EXPECT_EQ(XuSet(d, 2, { 0x9A, 0x02 }), 0);
    EXPECT_TRUE(d.CommandLog().empty()) << "the header alone is not a command";
    EXPECT_EQ(XuSet(d, 2, { 0x4E, 0xCA, 0xE6 }), 0);
    const auto log = d.CommandLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].selector, 2);
    EXPECT_EQ(log[0].code, 0x02);
    EXPECT_EQ(log[0].value[0], 0x4E);
    EXPECT_DOUBLE_EQ(d.BitrateKbps(), 5163.75);

    EXPECT_EQ(d.ExtensionUnitQuery(2, 3, UVC_GET_LEN, len, 2), ENOENT);
    EXPECT_EQ(d.ExtensionUnitQuery(1, 2, UVC_GET_LEN, len, 2), ENOENT);

    // Stream preparation: control 7 code 3, then control 2 code 4 {1}.
    EXPECT_FALSE(d.StreamPrepared());
    XuSet(d, 7, { 0x9A, 0x03 });
    XuSet(d, 7, {});
    XuSet(d, 2, { 0x9A, 0x04 });
    XuSet(d, 2, { 0x01 });
    EXPECT_TRUE(d.StreamPrepared());

    // A query answers the status after its header.
    XuSet(d, 7, { 0x9A, 0x02 });
    std::array<uint8_t, 11> reply {};
    ASSERT_EQ(d.ExtensionUnitQuery(2, 7, UVC_GET_CUR, reply.data(), 11), 0);
    EXPECT_EQ(reply[0], 1);
    EXPECT_TRUE(d.CommandLog().back().query);

    SimulatedCameraDevice pro(SimulatedModel::Pro);
    EXPECT_EQ(pro.ExtensionUnitQuery(2, 2, UVC_GET_LEN, len, 2), ENOENT) << "the Pro camera has no encoder";
}

TEST(SimulatedCameraDeviceTest, ImageControlsHaveRangesAndAutoPartners)
{
    SimulatedCameraDevice d(SimulatedModel::FullHd);
    const uint32_t ids[] = { V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_HUE, V4L2_CID_SATURATION,
        V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_GAMMA, V4L2_CID_BACKLIGHT_COMPENSATION, V4L2_CID_GAIN,
        V4L2_CID_SHARPNESS, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_POWER_LINE_FREQUENCY };
    for (uint32_t id : ids) {
        CameraControlInfo info;
        ASSERT_TRUE(d.QueryControl(id, info)) << id;
        EXPECT_LT(info.minimum, info.maximum) << id;
        EXPECT_GE(info.defaultValue, info.minimum) << id;
        EXPECT_LE(info.defaultValue, info.maximum) << id;
    }
    CameraControlInfo wb;
    ASSERT_TRUE(d.QueryControl(V4L2_CID_WHITE_BALANCE_TEMPERATURE, wb));
    EXPECT_TRUE(wb.flags & V4L2_CTRL_FLAG_INACTIVE) << "automatic white balance is on by default";
    ASSERT_TRUE(d.SetControl(V4L2_CID_AUTO_WHITE_BALANCE, 0));
    ASSERT_TRUE(d.QueryControl(V4L2_CID_WHITE_BALANCE_TEMPERATURE, wb));
    EXPECT_FALSE(wb.flags & V4L2_CTRL_FLAG_INACTIVE);

    CameraControlInfo exposure;
    ASSERT_TRUE(d.QueryControl(V4L2_CID_EXPOSURE_ABSOLUTE, exposure));
    EXPECT_TRUE(exposure.flags & V4L2_CTRL_FLAG_INACTIVE);
    EXPECT_FALSE(d.SetControl(V4L2_CID_EXPOSURE_AUTO, 2)) << "only manual (1) and aperture priority (3)";
    ASSERT_TRUE(d.SetControl(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL));
    ASSERT_TRUE(d.QueryControl(V4L2_CID_EXPOSURE_ABSOLUTE, exposure));
    EXPECT_FALSE(exposure.flags & V4L2_CTRL_FLAG_INACTIVE);

    EXPECT_FALSE(d.SetControl(V4L2_CID_BRIGHTNESS, 65));
    EXPECT_EQ(errno, ERANGE);
    EXPECT_TRUE(d.SetControl(V4L2_CID_BRIGHTNESS, 40));
    EXPECT_EQ(d.Adjust().brightness, 40);
    CameraControlInfo colour;
    EXPECT_FALSE(d.QueryControl(V4L2_CID_COLORFX, colour));
}

TEST(SimulatedCameraTest, FullHdDeliversH264WithAnIdrEverySecondAndNoBFrames)
{
    auto device = std::make_shared<SimulatedCameraDevice>(SimulatedModel::FullHd);
    SimulatedCamera camera(device);
    ASSERT_TRUE(camera.SetFormat(V4L2_PIX_FMT_H264, 640, 480));
    ASSERT_TRUE(camera.SetFrameInterval({ 1, 20 }));
    ASSERT_TRUE(camera.StartStreaming());
    const auto packets = ReadPackets(camera, 41);
    camera.StopStreaming();
    ASSERT_EQ(packets.size(), 41u);
    for (size_t i = 0; i < packets.size(); ++i) {
        const auto types = NalTypes(packets[i].data);
        ASSERT_FALSE(types.empty()) << "Annex B start codes in packet " << i;
        const bool idr = Has(types, 5);
        EXPECT_EQ(idr, i % 20 == 0) << "packet " << i;
        if (idr) {
            EXPECT_TRUE(Has(types, 7) && Has(types, 8)) << "SPS and PPS travel with each IDR";
        }
        EXPECT_EQ(packets[i].ptsUs, int64_t(packets[i].sequence) * 50000) << "20 frames per second";
        if (i > 0) {
            EXPECT_GT(packets[i].sequence, packets[i - 1].sequence);
        }
        EXPECT_EQ(packets[i].width, 640u);
    }
    const Decoded d = Decode(AV_CODEC_ID_H264, packets);
    EXPECT_EQ(d.frames, 41) << "every packet is one picture";
    EXPECT_EQ(d.width, 640);
    EXPECT_EQ(d.height, 480);
    EXPECT_FALSE(d.anyB);
}

TEST(SimulatedCameraTest, BitRateFollowsTheEncoderCommand)
{
    auto device = std::make_shared<SimulatedCameraDevice>(SimulatedModel::FullHd);
    auto clipBytes = [&](double kbps) {
        std::array<uint8_t, 11> header { 0x9A, 0x02 };
        const uint32_t bps = uint32_t(kbps * 1000);
        std::array<uint8_t, 11> value { uint8_t(bps >> 16), uint8_t(bps >> 8), uint8_t(bps) };
        device->ExtensionUnitQuery(2, 2, UVC_SET_CUR, header.data(), 11);
        device->ExtensionUnitQuery(2, 2, UVC_SET_CUR, value.data(), 11);
        SimulatedClipKey key { 640, 480, 30, bps, device->Adjust() };
        auto clip = SimulatedH264Clip(key);
        size_t total = 0;
        for (const auto& p : clip->packets)
            total += p.size();
        return total;
    };
    const size_t low = clipBytes(300);
    const size_t high = clipBytes(3000);
    EXPECT_GT(high, low * 3) << "3000 kbit/s against 300 kbit/s";
    // Two seconds at 3000 kbit/s are about 750 kB; the encoder keeps near its target.
    EXPECT_GT(high, 750000u / 3);
    EXPECT_LT(high, 750000u * 2);
}

TEST(SimulatedCameraTest, TheClipIsKeptOnDiskAndADamagedFileIsEncodedAnew)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    qputenv("KESTOVAR_CLIP_CACHE", folder.path().toUtf8());
    const SimulatedClipKey key { 96, 64, 30, 200000, {} };
    // The process keeps six clips: six others push `key` out, so the next call reads the disk.
    auto forget = [] {
        for (uint32_t i = 1; i <= 6; ++i)
            ASSERT_TRUE(SimulatedH264Clip({ 32, 32 + 2 * i, 30, 100000, {} }));
    };
    auto encoded = SimulatedH264Clip(key);
    ASSERT_TRUE(encoded);
    const std::string path = SimulatedClipCachePath(key);
    ASSERT_TRUE(std::filesystem::exists(path));
    const auto size = std::filesystem::file_size(path);

    // A mark in the last packet's last byte comes back: the clip was read, not encoded.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(-1, std::ios::end);
        f.put(char(encoded->packets.back().back() ^ 0x5A));
    }
    forget();
    auto read = SimulatedH264Clip(key);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->packets.size(), encoded->packets.size());
    EXPECT_EQ(read->packets.back().back(), uint8_t(encoded->packets.back().back() ^ 0x5A));
    EXPECT_EQ(read->packets.front(), encoded->packets.front());

    // Cut short: encoded anew and the file made whole again.
    std::filesystem::resize_file(path, size / 2);
    forget();
    auto again = SimulatedH264Clip(key);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->packets, encoded->packets);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    qunsetenv("KESTOVAR_CLIP_CACHE");
}

TEST(SimulatedCameraTest, ProDeliversMjpgThatChangesWithBrightness)
{
    auto device = std::make_shared<SimulatedCameraDevice>(SimulatedModel::Pro);
    SimulatedCamera camera(device);
    CameraCurrentFormat f;
    ASSERT_TRUE(camera.GetFormat(f));
    EXPECT_EQ(f.fourcc, uint32_t(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(f.width, 640u);
    EXPECT_FALSE(camera.SetFormat(V4L2_PIX_FMT_H264, 640, 480));
    ASSERT_TRUE(camera.StartStreaming());
    const auto normal = ReadPackets(camera, 2);
    ASSERT_TRUE(camera.SetControl(V4L2_CID_BRIGHTNESS, 64));
    const auto bright = ReadPackets(camera, 2);
    camera.StopStreaming();
    ASSERT_EQ(normal.size(), 2u);
    ASSERT_EQ(bright.size(), 2u);
    const Decoded a = Decode(AV_CODEC_ID_MJPEG, normal);
    const Decoded b = Decode(AV_CODEC_ID_MJPEG, bright);
    EXPECT_EQ(a.format, AV_PIX_FMT_YUVJ422P);
    EXPECT_EQ(a.width, 640);
    EXPECT_EQ(a.height, 480);
    EXPECT_GT(b.meanLuma, a.meanLuma + 30) << "brightness 64 lifts the picture";
}

TEST(SimulatedCameraTest, ThePictureMovesFromFrameToFrame)
{
    auto device = std::make_shared<SimulatedCameraDevice>(SimulatedModel::Pro);
    SimulatedCamera camera(device);
    ASSERT_TRUE(camera.StartStreaming());
    const auto packets = ReadPackets(camera, 2);
    camera.StopStreaming();
    ASSERT_EQ(packets.size(), 2u);
    const Decoded first = Decode(AV_CODEC_ID_MJPEG, { packets[0] });
    const Decoded second = Decode(AV_CODEC_ID_MJPEG, { packets[1] });
    ASSERT_EQ(first.firstLuma.size(), second.firstLuma.size());
    EXPECT_NE(first.firstLuma, second.firstLuma);
}

TEST(SimulatedCameraProviderTest, PullAndPlugReportDeviceChangesAndEndTheStream)
{
    SimulatedCameraProvider provider(SimulatedModel::FullHd);
    std::vector<std::pair<uint32_t, std::string>> events;
    provider.SetDeviceChangeCallback(
        [&](uint32_t code, const std::string& path) { events.emplace_back(code, path); });
    const auto devices = provider.ListVideoDevices();
    ASSERT_EQ(devices.size(), 1u);
    auto camera = provider.Open(devices[0]);
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SetFormat(V4L2_PIX_FMT_H264, 640, 480));
    ASSERT_TRUE(camera->StartStreaming());
    EXPECT_EQ(ReadPackets(*camera, 1).size(), 1u);

    provider.Pull();
    provider.Pull(); // already out: no second event
    CameraPacket p;
    EXPECT_EQ(camera->ReadPacket(p, 100), CameraReadStatus::Gone);
    EXPECT_TRUE(provider.ListVideoDevices().empty());
    EXPECT_FALSE(provider.Open(devices[0]));
    EXPECT_TRUE(provider.UsbInstanceIds(true).empty());
    EXPECT_EQ(provider.UsbInstanceIds(false).size(), 1u);

    provider.Plug();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, kDeviceRemoval);
    EXPECT_EQ(events[0].second, devices[0].devicePath);
    EXPECT_EQ(events[1].first, kDeviceArrival);
    EXPECT_EQ(provider.ListVideoDevices().size(), 1u);
    camera->StopStreaming();
}

TEST(SimulatedCameraTest, H264PictureFollowsBrightnessWithoutBreakingTheStream)
{
    auto device = std::make_shared<SimulatedCameraDevice>(SimulatedModel::FullHd);
    SimulatedCamera camera(device);
    ASSERT_TRUE(camera.SetFormat(V4L2_PIX_FMT_H264, 640, 480));
    ASSERT_TRUE(camera.SetFrameInterval({ 1, 30 }));
    ASSERT_TRUE(camera.StartStreaming());
    auto packets = ReadPackets(camera, 5);
    ASSERT_TRUE(camera.SetControl(V4L2_CID_BRIGHTNESS, -64));
    // The new picture is encoded in the background and taken at the next IDR frame,
    // at most two clip lengths later.
    auto later = ReadPackets(camera, 150);
    camera.StopStreaming();
    ASSERT_EQ(later.size(), 150u);
    packets.insert(packets.end(), later.begin(), later.end());
    const Decoded all = Decode(AV_CODEC_ID_H264, packets);
    EXPECT_EQ(all.frames, 155) << "the switch happens at an IDR frame: every packet still decodes";
    const Decoded before = Decode(AV_CODEC_ID_H264, { packets.begin(), packets.begin() + 5 });
    const Decoded after = Decode(AV_CODEC_ID_H264, { packets.end() - 30, packets.end() });
    EXPECT_LT(after.meanLuma, before.meanLuma - 30) << "brightness -64 darkens the picture";
}
