#include "platform/SimulatedH264Clip.h"

#include "platform/AtomicFile.h"
#include "platform/CameraAvPtr.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

extern "C" {
#include <libavutil/opt.h>
}

#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

namespace kestovar {
namespace {

constexpr size_t kCacheSize = 6;
constexpr char kClipMagic[8] = { 'K', 'S', 'T', 'V', 'C', 'L', 'P', '1' };

// The clip file's header: the magic, then these words (little endian, as written by
// this machine), then each packet's length and the packets one after another.
std::vector<uint32_t> HeaderWords(const SimulatedClipKey& key, uint32_t packets)
{
    return { key.width, key.height, key.fps, key.bitrateBps, uint32_t(key.adjust.brightness),
        uint32_t(key.adjust.contrast), uint32_t(key.adjust.saturation), LIBAVCODEC_VERSION_INT, packets };
}

std::string Serialise(const SimulatedClip& clip)
{
    std::string out(kClipMagic, sizeof kClipMagic);
    auto put = [&out](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); };
    for (uint32_t w : HeaderWords(clip.key, uint32_t(clip.packets.size())))
        put(w);
    for (const auto& p : clip.packets)
        put(uint32_t(p.size()));
    for (const auto& p : clip.packets)
        out.append(reinterpret_cast<const char*>(p.data()), p.size());
    return out;
}

// The clip in `bytes` when it is whole and of `key`; null otherwise.
std::shared_ptr<const SimulatedClip> Deserialise(const std::string& bytes, const SimulatedClipKey& key)
{
    const uint32_t frames = key.fps * 2;
    const std::vector<uint32_t> expected = HeaderWords(key, frames);
    size_t at = sizeof kClipMagic;
    if (bytes.size() < at || std::memcmp(bytes.data(), kClipMagic, at) != 0)
        return nullptr;
    auto get = [&](uint32_t& v) {
        if (bytes.size() - at < sizeof v)
            return false;
        std::memcpy(&v, bytes.data() + at, sizeof v);
        at += sizeof v;
        return true;
    };
    for (uint32_t want : expected) {
        uint32_t v = 0;
        if (!get(v) || v != want)
            return nullptr;
    }
    std::vector<uint32_t> lengths(frames);
    uint64_t total = 0;
    for (auto& length : lengths) {
        if (!get(length) || length == 0)
            return nullptr;
        total += length;
    }
    if (bytes.size() - at != total)
        return nullptr;
    auto clip = std::make_shared<SimulatedClip>();
    clip->key = key;
    clip->packets.reserve(frames);
    for (uint32_t length : lengths) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
        clip->packets.emplace_back(p, p + length);
        at += length;
    }
    return clip;
}

std::shared_ptr<const SimulatedClip> ReadClipFile(const SimulatedClipKey& key)
{
    const std::string path = SimulatedClipCachePath(key);
    if (path.empty())
        return nullptr;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return nullptr;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Deserialise(bytes, key);
}

void WriteClipFile(const SimulatedClip& clip)
{
    const std::string path = SimulatedClipCachePath(clip.key);
    if (path.empty() || !QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath()))
        return;
    const AtomicWriteResult r = WriteFileAtomically(path, Serialise(clip), false);
    if (!r.ok())
        std::fprintf(stderr, "camera: the simulated clip cannot be kept in %s (%s: %s)\n", path.c_str(), r.step,
            std::strerror(r.error));
}

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
    // Read or encoded outside the lock: another camera may want a different clip meanwhile.
    auto clip = ReadClipFile(key);
    if (!clip) {
        clip = Encode(key);
        if (!clip)
            return nullptr;
        WriteClipFile(*clip);
    }
    std::lock_guard lock(mutex);
    cache.push_front(clip);
    if (cache.size() > kCacheSize)
        cache.pop_back();
    return clip;
}

std::string SimulatedClipCachePath(const SimulatedClipKey& key)
{
    QString folder = qEnvironmentVariable("KESTOVAR_CLIP_CACHE");
    if (folder.isEmpty()) {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        if (cache.isEmpty())
            return {};
        folder = cache + "/kestovar/simulated-camera";
    }
    char name[96];
    std::snprintf(name, sizeof name, "/h264-%ux%u-%u-%u-%d-%d-%d.clip", key.width, key.height, key.fps,
        key.bitrateBps, key.adjust.brightness, key.adjust.contrast, key.adjust.saturation);
    return folder.toStdString() + name;
}

} // namespace kestovar
