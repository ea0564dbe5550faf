#include "capture/CCaptureBufferCallback.h"

#include "capture/FrameConvert.h"

#include <cstdio>

namespace kestovar {

CCaptureBufferCallback::CCaptureBufferCallback() = default;

CCaptureBufferCallback::~CCaptureBufferCallback()
{
    Release();
}

void CCaptureBufferCallback::SetFrameSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void CCaptureBufferCallback::Release()
{
    filter_.Reset();
    sws_freeContext(toWindow_);
    toWindow_ = nullptr;
    toWindowShape_ = {};
    turned_.reset();
    decoded_.reset();
    packet_.reset();
    decoder_.reset();
    for (auto& image : images_)
        image = QImage();
    std::lock_guard lock(lastFrameMutex_);
    lastFrame_.reset();
}

bool CCaptureBufferCallback::InitDecoder(int codec, RotationMode rotation)
{
    Release();
    if (rotation < 0 || rotation > 7)
        return false;
    const AVCodecID id = codec == CodecH264 ? AV_CODEC_ID_H264
        : codec == CodecMjpeg               ? AV_CODEC_ID_MJPEG
                                            : AV_CODEC_ID_NONE;
    const AVCodec* decoder = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!decoder)
        return false;
    av::CodecContextPtr ctx(avcodec_alloc_context3(decoder));
    if (!ctx)
        return false;
    ctx->width = width_;
    ctx->height = height_;
    ctx->thread_count = decoderThreads_;
    // The camera sends no B-frames: hand out each picture as soon as it is decoded.
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(ctx.get(), decoder, nullptr) < 0)
        return false;
    av::PacketPtr packet = av::MakePacket();
    av::FramePtr decoded = av::MakeFrame();
    av::FramePtr turned = av::MakeFrame();
    if (!packet || !decoded || !turned)
        return false;
    codec_ = codec;
    decoder_ = std::move(ctx);
    packet_ = std::move(packet);
    decoded_ = std::move(decoded);
    turned_ = std::move(turned);
    if (!BuildRotateFilter(rotation)) {
        Release();
        return false;
    }
    return true;
}

bool CCaptureBufferCallback::BuildRotateFilter(RotationMode rotation)
{
    if (rotation < 0 || rotation > 7)
        return false;
    rotation_ = rotation;
    if (rotation == 0 || width_ <= 0 || height_ <= 0) {
        // Nothing to build for 0; without a known size the first frame builds it.
        filter_.Reset();
        return true;
    }
    // H.264 decodes to yuv420p, MJPG (as UVC cameras send it) to yuvj422p; a stream
    // that turns out different rebuilds the filter at its first frame.
    const AVPixelFormat expected = codec_ == CodecMjpeg ? AV_PIX_FMT_YUVJ422P : AV_PIX_FMT_YUV420P;
    return filter_.Build(rotation, width_, height_, expected, { 1, 1 });
}

bool CCaptureBufferCallback::BufferCB(double, const uint8_t* buffer, size_t length)
{
    if (!decoder_ || !buffer || length == 0)
        return false;
    packet_->data = const_cast<uint8_t*>(buffer);
    packet_->size = static_cast<int>(length);
    const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
    packet_->data = nullptr;
    packet_->size = 0;
    if (sent < 0 && sent != AVERROR(EAGAIN))
        return false; // a damaged buffer: nothing is drawn for it
    bool produced = false;
    while (avcodec_receive_frame(decoder_.get(), decoded_.get()) == 0) {
        PresentDecodedFrame(decoded_.get());
        av_frame_unref(decoded_.get());
        produced = true;
    }
    return produced;
}

void CCaptureBufferCallback::PresentDecodedFrame(const AVFrame* frame)
{
    if (!frame || !frame->data[0] || frame->width <= 0 || frame->height <= 0)
        return;
    {
        av::FramePtr keep = av::MakeFrame();
        if (keep && av_frame_ref(keep.get(), frame) == 0) {
            std::lock_guard lock(lastFrameMutex_);
            lastFrame_ = std::move(keep);
        }
    }
    frameCount_.fetch_add(1, std::memory_order_relaxed);
    if (snapshotFlag_.load(std::memory_order_acquire))
        ServeSnapshot(frame);

    if (rotation_ == 0) {
        Present(frame);
        return;
    }
    if (!turned_)
        turned_ = av::MakeFrame();
    if (!filter_.Fits(frame)
        && !filter_.Build(rotation_, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
            frame->sample_aspect_ratio)) {
        std::fprintf(stderr, "capture: the turn for rotation %d cannot be built for %dx%d\n", rotation_,
            frame->width, frame->height);
        return;
    }
    if (turned_ && filter_.Process(frame, turned_.get())) {
        Present(turned_.get());
        av_frame_unref(turned_.get());
    }
}

int CCaptureBufferCallback::TakeImage(int width, int height, QImage& out)
{
    // A slot whose image the sink has let go of (only the slot holds it) is written
    // again; the image is taken out of its slot while it is written so that writing
    // never makes Qt copy it. An image the sink still holds is never touched.
    int reuse = -1;
    for (int i = 0; i < kImageSlots; ++i) {
        const QImage& image = images_[i];
        if (image.isNull() || image.isDetached()) {
            if (!image.isNull() && image.width() == width && image.height() == height) {
                reuse = i;
                break;
            }
            if (reuse < 0)
                reuse = i;
        }
    }
    if (reuse < 0) {
        out = QImage(width, height, QImage::Format_RGB32);
        return -1;
    }
    out = std::move(images_[reuse]);
    images_[reuse] = QImage();
    if (out.width() != width || out.height() != height)
        out = QImage(width, height, QImage::Format_RGB32);
    return reuse;
}

void CCaptureBufferCallback::Present(const AVFrame* picture)
{
    if (!sink_)
        return;
    const QSize target = sink_->TargetSize();
    if (target.width() <= 0 || target.height() <= 0)
        return;
    bool full = false;
    const AVPixelFormat in = SwsInputFormat(picture, full);
    SwsContext* ctx = sws_getCachedContext(toWindow_, picture->width, picture->height, in, target.width(),
        target.height(), AV_PIX_FMT_RGB32, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (!ctx)
        return;
    // Setting the colour details rebuilds the scaler's tables: only when anything
    // changed (a rebuilt context may sit at the old address, so the shape counts too).
    const std::array<int, 6> shape { picture->width, picture->height, int(in), target.width(),
        target.height(), (full ? 1 : 0) | (int(picture->colorspace) << 1) };
    if (ctx != toWindow_ || shape != toWindowShape_) {
        SetSwsColorDetails(ctx, picture, full);
        toWindowShape_ = shape;
    }
    toWindow_ = ctx;
    QImage image;
    const int slot = TakeImage(target.width(), target.height(), image);
    if (image.isNull())
        return;
    uint8_t* dst[4] = { image.bits(), nullptr, nullptr, nullptr };
    int stride[4] = { static_cast<int>(image.bytesPerLine()), 0, 0, 0 };
    sws_scale(ctx, picture->data, picture->linesize, 0, picture->height, dst, stride);
    if (slot >= 0)
        images_[slot] = image;
    sink_->Present(std::move(image));
}

void CCaptureBufferCallback::RequestSnapshot(const std::string& path)
{
    {
        std::lock_guard lock(snapshotMutex_);
        snapshotPath_ = path;
    }
    snapshotFlag_.store(true, std::memory_order_release);
}

void CCaptureBufferCallback::ServeSnapshot(const AVFrame* decoded)
{
    std::string path;
    {
        std::lock_guard lock(snapshotMutex_);
        path = snapshotPath_;
        snapshotFlag_.store(false, std::memory_order_release);
    }
    std::string message;
    const bool ok = WriteFrameAsJpeg(decoded, path, &message);
    if (!ok)
        std::fprintf(stderr, "capture: still picture %s: %s\n", path.c_str(), message.c_str());
    if (snapshotCallback_)
        snapshotCallback_(path, ok, message);
}

bool CCaptureBufferCallback::SaveLastFrameAsJpeg(const std::string& path, std::string* message)
{
    av::FramePtr frame = av::MakeFrame();
    {
        std::lock_guard lock(lastFrameMutex_);
        if (!lastFrame_ || !frame || av_frame_ref(frame.get(), lastFrame_.get()) < 0) {
            if (message)
                *message = "no picture has been decoded yet";
            return false;
        }
    }
    return WriteFrameAsJpeg(frame.get(), path, message);
}

} // namespace kestovar
