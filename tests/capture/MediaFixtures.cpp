#include "MediaFixtures.h"

#include "capture/MediaHandles.h"
#include "platform/AudioBackend.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestovar::test {

namespace {

void PaintPicture(AVFrame* frame, int index)
{
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x + y * 2 + index * 5);
    for (int plane = 1; plane < 3; ++plane) {
        int h = frame->format == AV_PIX_FMT_YUVJ422P ? frame->height : frame->height / 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < frame->width / 2; ++x)
                frame->data[plane][y * frame->linesize[plane] + x]
                    = static_cast<uint8_t>(128 + plane * 20 + index);
    }
}

std::vector<Packet> Encode(
    const char* name, AVPixelFormat format, int width, int height, int fps, int frames, int gop)
{
    std::vector<Packet> out;
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    EXPECT_NE(codec, nullptr) << name;
    if (!codec)
        return out;
    media::CodecPtr ctx(avcodec_alloc_context3(codec));
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = format;
    ctx->time_base = AVRational { 1, fps };
    ctx->framerate = AVRational { fps, 1 };
    ctx->gop_size = gop;
    ctx->max_b_frames = 0;
    ctx->thread_count = 1;
    if (std::string(name) == "libx264") {
        av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
        av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
        av_opt_set(ctx->priv_data, "x264-params",
            ("keyint=" + std::to_string(gop) + ":min-keyint=" + std::to_string(gop) + ":scenecut=0").c_str(),
            0);
    }
    EXPECT_GE(avcodec_open2(ctx.get(), codec, nullptr), 0);
    media::FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame.get(), 0);
    media::PacketPtr packet(av_packet_alloc());
    auto drain = [&] {
        while (avcodec_receive_packet(ctx.get(), packet.get()) >= 0) {
            out.emplace_back(packet->data, packet->data + packet->size);
            av_packet_unref(packet.get());
        }
    };
    for (int i = 0; i < frames; ++i) {
        av_frame_make_writable(frame.get());
        PaintPicture(frame.get(), i);
        frame->pts = i;
        avcodec_send_frame(ctx.get(), frame.get());
        drain();
    }
    avcodec_send_frame(ctx.get(), nullptr);
    drain();
    return out;
}

} // namespace

std::vector<Packet> EncodeH264(int width, int height, int fps, int frames, int gop)
{
    return Encode("libx264", AV_PIX_FMT_YUV420P, width, height, fps, frames, gop);
}

std::vector<Packet> EncodeMjpeg(int width, int height, int frames)
{
    return Encode("mjpeg", AV_PIX_FMT_YUVJ422P, width, height, 30, frames, 1);
}

std::vector<float> Tone(double seconds, double hz, float amplitude)
{
    auto frames = static_cast<size_t>(seconds * kAudioRate);
    std::vector<float> out(frames * kAudioChannels);
    for (size_t i = 0; i < frames; ++i) {
        auto v = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kAudioRate));
        out[2 * i] = out[2 * i + 1] = v;
    }
    return out;
}

bool MakeRecordedAvi(const std::string& path, int width, int height, int fps, double seconds, bool withAudio)
{
    const int frames = static_cast<int>(seconds * fps);
    auto packets = EncodeH264(width, height, fps, frames, fps);
    AviWriter writer;
    AviWriterSettings settings;
    settings.path = path;
    settings.width = width;
    settings.height = height;
    settings.frameRateNum = fps;
    settings.withAudio = withAudio;
    std::string error;
    EXPECT_TRUE(writer.Open(settings, &error)) << error;
    if (!writer.Failed() && error.empty()) {
        const int64_t start = 1'000'000;
        auto tone = Tone(seconds + 0.1);
        const size_t block = kAudioRate / 50;
        size_t audioAt = 0;
        for (int i = 0; i < frames; ++i) {
            int64_t ts = start + static_cast<int64_t>(i) * 1000000 / fps;
            writer.PushVideo(
                packets[static_cast<size_t>(i)].data(), packets[static_cast<size_t>(i)].size(), ts);
            while (withAudio && start + static_cast<int64_t>(audioAt) * 1000000 / kAudioRate <= ts) {
                writer.PushAudio(tone.data() + audioAt * kAudioChannels, block,
                    start + static_cast<int64_t>(audioAt) * 1000000 / kAudioRate);
                audioAt += block;
            }
        }
        EXPECT_TRUE(writer.Close(start + static_cast<int64_t>(seconds * 1e6), &error)) << error;
    }
    return error.empty();
}

FileFacts ReadFacts(const std::string& path)
{
    FileFacts facts;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return facts;
    media::InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return facts;
    facts.opened = true;
    facts.duration = input->duration > 0 ? static_cast<double>(input->duration) / AV_TIME_BASE : 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        StreamFacts s;
        s.codec = avcodec_get_name(st->codecpar->codec_id);
        s.type = st->codecpar->codec_type;
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        s.sampleRate = st->codecpar->sample_rate;
        s.channels = st->codecpar->ch_layout.nb_channels;
        s.codecTag = st->codecpar->codec_tag;
        s.frameRate = st->avg_frame_rate.den ? av_q2d(st->avg_frame_rate) : 0;
        facts.streams.push_back(std::move(s));
    }
    media::PacketPtr packet(av_packet_alloc());
    std::vector<int64_t> end(input->nb_streams, 0);
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        auto& s = facts.streams[static_cast<size_t>(packet->stream_index)];
        if (packet->size > 0) {
            s.packets.emplace_back(packet->data, packet->data + packet->size);
            s.pts.push_back(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts);
            s.keys.push_back((packet->flags & AV_PKT_FLAG_KEY) != 0);
        } else {
            ++s.emptyPackets;
        }
        int64_t last = (packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts) + packet->duration;
        end[static_cast<size_t>(packet->stream_index)]
            = std::max(end[static_cast<size_t>(packet->stream_index)], last);
        av_packet_unref(packet.get());
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        int64_t first = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        facts.streams[i].duration = static_cast<double>(end[i] - first) * av_q2d(st->time_base);
    }
    return facts;
}

float DecodedSoundPeak(const std::string& path)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    media::InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return -1;
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index < 0 || !codec)
        return -1;
    media::CodecPtr decoder(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(decoder.get(), input->streams[index]->codecpar);
    decoder->request_sample_fmt = AV_SAMPLE_FMT_FLTP;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return -1;
    media::PacketPtr packet(av_packet_alloc());
    media::FramePtr frame(av_frame_alloc());
    float peak = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            if (frame->format == AV_SAMPLE_FMT_FLTP)
                for (int c = 0; c < frame->ch_layout.nb_channels; ++c)
                    for (int i = 0; i < frame->nb_samples; ++i)
                        peak = std::max(
                            peak, std::fabs(reinterpret_cast<const float*>(frame->extended_data[c])[i]));
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder.get(), packet.get()) >= 0)
            drain();
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    drain();
    return peak;
}

} // namespace kestovar::test
