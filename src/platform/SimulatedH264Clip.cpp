#include "platform/SimulatedH264Clip.h"

#include "platform/CameraAvPtr.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

namespace kestovar {
namespace {

constexpr size_t kCacheSize = 6;

bool Drain(AVCodecContext* ctx, AVPacket* pkt, SimulatedClip& clip)
{
    for (;;) {
        const int r = avcodec_receive_packet(ctx, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return false;
        clip.packets.emplace_back(pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
    }
}

std::shared_ptr<const SimulatedClip> Encode(const SimulatedClipKey& key)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec || key.width == 0 || key.height == 0 || key.fps == 0)
        return nullptr;
    av::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx)
        return nullptr;
    ctx->width = static_cast<int>(key.width);
    ctx->height = static_cast<int>(key.height);
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = { 1, static_cast<int>(key.fps) };
    ctx->framerate = { static_cast<int>(key.fps), 1 };
    ctx->gop_size = static_cast<int>(key.fps);
    ctx->keyint_min = static_cast<int>(key.fps);
    ctx->max_b_frames = 0;
    ctx->bit_rate = key.bitrateBps;
    ctx->rc_max_rate = key.bitrateBps;
    ctx->rc_buffer_size = static_cast<int>(key.bitrateBps);
    ctx->thread_count = 1;
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    // No scene-cut I frames: the only intra frames are the IDR frames, once a second.
    av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:repeat-headers=1:log=-1", 0);
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return nullptr;

    av::FramePtr frame = av::MakeFrame();
    av::PacketPtr pkt = av::MakePacket();
    if (!frame || !pkt)
        return nullptr;
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = ctx->width;
    frame->height = ctx->height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;

    auto clip = std::make_shared<SimulatedClip>();
    clip->key = key;
    const uint32_t frames = key.fps * 2;
    for (uint32_t i = 0; i < frames; ++i) {
        if (av_frame_make_writable(frame.get()) < 0)
            return nullptr;
        DrawSimulatedPicture(frame.get(), i, key.adjust);
        frame->pts = i;
        frame->pict_type = (i % key.fps == 0) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (avcodec_send_frame(ctx.get(), frame.get()) < 0 || !Drain(ctx.get(), pkt.get(), *clip))
            return nullptr;
    }
    if (avcodec_send_frame(ctx.get(), nullptr) < 0 || !Drain(ctx.get(), pkt.get(), *clip))
        return nullptr;
    if (clip->packets.size() != frames) {
        std::fprintf(stderr, "camera: simulated encoder gave %zu packets for %u frames\n",
            clip->packets.size(), frames);
        return nullptr;
    }
    return clip;
}

} // namespace

std::shared_ptr<const SimulatedClip> SimulatedH264Clip(const SimulatedClipKey& key)
{
    static std::mutex mutex;
    static std::deque<std::shared_ptr<const SimulatedClip>> cache;
    {
        std::lock_guard lock(mutex);
        for (const auto& c : cache)
            if (c->key == key)
                return c;
    }
    // Encoded outside the lock: another camera may want a different clip meanwhile.
    auto clip = Encode(key);
    if (!clip)
        return nullptr;
    std::lock_guard lock(mutex);
    cache.push_front(clip);
    if (cache.size() > kCacheSize)
        cache.pop_back();
    return clip;
}

} // namespace kestovar
