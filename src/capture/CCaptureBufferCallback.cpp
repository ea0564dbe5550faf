#include "capture/CCaptureBufferCallback.h"

#include "capture/FrameConvert.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>

namespace kestovar {
namespace {

// Scaling YUV to YUV: as fast as bilinear or area when shrinking 1080p to the window
// (about 1 ms here), clearly faster when enlarging a 640x480 MJPG picture.
constexpr int kScaleFlags = SWS_FAST_BILINEAR;

// libswscale's SIMD YUV-to-RGB conversion writes whole blocks of pixels, up to this
// many bytes past the end of each row it converts.
constexpr int kRowOverrun = 128;

// A window picture whose rows have room for that overrun, so a width that is not a
// multiple of the block never writes outside the picture.
QImage MakeWindowImage(int width, int height)
{
    const qsizetype stride = (qsizetype(width) * 4 + kRowOverrun + 63) & ~qsizetype(63);
    auto* data = static_cast<uchar*>(av_malloc(size_t(stride) * height));
    if (!data)
        return {};
    return QImage(
        data, width, height, stride, QImage::Format_RGB32, [](void* p) { av_free(p); }, data);
}

// KESTOVAR_REPORT_FIRST_FRAME set: the process writes one line to stderr when its
// first picture has been handed to the video window (the start-up benchmark waits
// for it). Costs one atomic load a frame otherwise.
void ReportFirstPicture(QSize size)
{
    static const bool wanted = !qEnvironmentVariableIsEmpty("KESTOVAR_REPORT_FIRST_FRAME");
    static std::atomic<bool> reported { false };
    if (wanted && !reported.exchange(true))
        std::fprintf(stderr, "kestovar: first frame shown (%dx%d)\n", size.width(), size.height());
}

// AMD processors run AVX2 gathers in microcode, which FFmpeg 5.1 does not know: its
// gathering AVX2 horizontal scaler is then slower than the SSSE3 one it falls back to
// when told gathers are slow (0.70 against 0.88 ms for 1080p to 720p on this
// machine's EPYC). Process-wide, so done once, before the first scaler is made.
void PreferFastScalers()
{
    static std::once_flag once;
    std::call_once(once, [] {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_cpu_init();
        if (__builtin_cpu_is("amd"))
            av_force_cpu_flags(av_get_cpu_flags() | AV_CPU_FLAG_SLOW_GATHER);
#endif
    });
}

} // namespace

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
    sws_freeContext(toScaled_);
    toScaled_ = nullptr;
    sws_freeContext(toWindow_);
    toWindow_ = nullptr;
    toWindowShape_ = {};
    turned_.reset();
    scaled_.reset();
    view_.reset();
    decoded_.reset();
    packet_.reset();
    decoder_.reset();
    for (auto& image : images_)
        image = QImage();
    for (auto& layout : imageLayouts_)
        layout = 0;
    std::lock_guard lock(lastFrameMutex_);
    lastFrame_.reset();
}

bool CCaptureBufferCallback::InitDecoder(int codec, RotationMode rotation)
{
    PreferFastScalers();
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
    av::FramePtr view = av::MakeFrame();
    av::FramePtr scaled = av::MakeFrame();
    av::FramePtr turned = av::MakeFrame();
    if (!packet || !decoded || !view || !scaled || !turned)
        return false;
    codec_ = codec;
    decoder_ = std::move(ctx);
    packet_ = std::move(packet);
    decoded_ = std::move(decoded);
    view_ = std::move(view);
    scaled_ = std::move(scaled);
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
    // Built for the picture as it will reach the turn: scaled to the sink's size when
    // it is known. H.264 decodes to yuv420p, MJPG (as UVC cameras send it) to
    // yuvj422p; a stream or window that turns out different rebuilds it at a frame.
    const QSize target = sink_ ? sink_->TargetSize() : QSize();
    const Layout layout = LayoutFor(
        rotation, width_, height_, target.isValid() && !target.isEmpty() ? target : QSize(width_, height_));
    const AVPixelFormat expected = codec_ == CodecMjpeg ? AV_PIX_FMT_YUVJ422P : AV_PIX_FMT_YUV420P;
    const bool scaled = layout.scaledWidth != layout.cropWidth || layout.scaledHeight != layout.cropHeight;
    return filter_.Build(rotation, layout.scaledWidth, layout.scaledHeight,
        scaled && expected == AV_PIX_FMT_YUVJ422P ? AV_PIX_FMT_YUV422P : expected, { 1, 1 }, false);
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
        // The kept picture's frame is reused; only its reference moves on.
        std::lock_guard lock(lastFrameMutex_);
        if (!lastFrame_)
            lastFrame_ = av::MakeFrame();
        if (lastFrame_) {
            av_frame_unref(lastFrame_.get());
            if (av_frame_ref(lastFrame_.get(), frame) < 0)
                lastFrame_.reset();
        }
    }
    frameCount_.fetch_add(1, std::memory_order_relaxed);
    if (snapshotFlag_.load(std::memory_order_acquire))
        ServeSnapshot(frame);
    Present(frame);
}

CCaptureBufferCallback::Layout CCaptureBufferCallback::LayoutFor(
    RotationMode rotation, int width, int height, QSize target)
{
    Layout l;
    const int tw = target.width(), th = target.height();
    l.cropWidth = width;
    l.cropHeight = height;
    l.areaWidth = tw;
    l.areaHeight = th;
    if (RotationFilter::QuarterTurn(rotation)) {
        // The kept square lands where the padded turn would put it, stretched as the
        // whole picture is stretched over the window.
        const RotationFilter::Square sq = RotationFilter::KeptSquare(width, height);
        l.cropX = sq.x;
        l.cropY = sq.y;
        l.cropWidth = l.cropHeight = sq.side;
        auto map = [](int v, int to, int from) { return int((int64_t(v) * to + from / 2) / from); };
        l.areaX = map(sq.x, tw, width);
        l.areaY = map(sq.y, th, height);
        l.areaWidth = std::max(1, map(sq.x + sq.side, tw, width) - l.areaX);
        l.areaHeight = std::max(1, map(sq.y + sq.side, th, height) - l.areaY);
        l.partial = l.areaWidth != tw || l.areaHeight != th;
        // A quarter turn swaps the sides: scale to the area's size turned back.
        l.scaledWidth = l.areaHeight;
        l.scaledHeight = l.areaWidth;
    } else {
        l.scaledWidth = tw;
        l.scaledHeight = th;
        // A window up to 1 % larger than half or two thirds of the picture shows
        // exactly that, centred on a thin black edge (the station's own default window
        // is such a one): those two scales have their own fast code (HalveYuv,
        // ScaleYuvTwoThirds), several times faster than a bilinear scale to the odd
        // size, and give the sharper picture.
        for (const int parts : { 2, 3 }) {
            const int sw = width / parts * (parts - 1), sh = height / parts * (parts - 1);
            if (width % parts == 0 && height % parts == 0 && tw >= sw && th >= sh && (tw - sw) * 100 <= sw
                && (th - sh) * 100 <= sh) {
                l.scaledWidth = l.areaWidth = sw;
                l.scaledHeight = l.areaHeight = sh;
                l.areaX = (tw - sw) / 2;
                l.areaY = (th - sh) / 2;
                l.partial = tw != sw || th != sh;
                break;
            }
        }
    }
    return l;
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
        out = MakeWindowImage(width, height);
        return -1;
    }
    out = std::move(images_[reuse]);
    images_[reuse] = QImage();
    if (out.width() != width || out.height() != height) {
        out = MakeWindowImage(width, height);
        imageLayouts_[reuse] = 0;
    }
    return reuse;
}

void CCaptureBufferCallback::Present(const AVFrame* decoded)
{
    if (!sink_)
        return;
    // A grabber that only presents (the player decodes itself) makes these here.
    for (av::FramePtr* f : { &view_, &scaled_, &turned_ })
        if (!*f && !(*f = av::MakeFrame()))
            return;
    const QSize target = sink_->TargetSize();
    if (target.width() <= 0 || target.height() <= 0)
        return;
    bool full = false;
    const AVPixelFormat format = SwsInputFormat(decoded, full);
    const Layout l = LayoutFor(rotation_, decoded->width, decoded->height, target);

    // The part shown, as a view into the decoded picture (no copy).
    if (av_frame_ref(view_.get(), decoded) < 0)
        return;
    if (l.cropWidth != decoded->width || l.cropHeight != decoded->height) {
        view_->crop_left = l.cropX;
        view_->crop_top = l.cropY;
        view_->crop_right = decoded->width - l.cropX - l.cropWidth;
        view_->crop_bottom = decoded->height - l.cropY - l.cropHeight;
        if (av_frame_apply_cropping(view_.get(), AV_FRAME_CROP_UNALIGNED) < 0) {
            av_frame_unref(view_.get());
            return;
        }
    }

    // Scaled as YUV to its size in the window (the same format, so no colour change).
    // Two thirds with no turn is scaled a few rows at a time with the conversion below.
    const AVFrame* picture = view_.get();
    const bool twoThirdsWithConversion = rotation_ == 0 && l.scaledWidth * 3 == l.cropWidth * 2
        && l.scaledHeight * 3 == l.cropHeight * 2 && TakesTwoThirds(view_.get(), format);
    if (!twoThirdsWithConversion && (l.scaledWidth != l.cropWidth || l.scaledHeight != l.cropHeight)) {
        if (scaled_->width != l.scaledWidth || scaled_->height != l.scaledHeight || scaled_->format != format
            || !av_frame_is_writable(scaled_.get())) {
            av_frame_unref(scaled_.get());
            scaled_->width = l.scaledWidth;
            scaled_->height = l.scaledHeight;
            scaled_->format = format;
            if (av_frame_get_buffer(scaled_.get(), 0) < 0) {
                av_frame_unref(view_.get());
                return;
            }
        }
        if (!HalveYuv(view_.get(), format, scaled_.get())
            && !ScaleYuvTwoThirds(view_.get(), format, scaled_.get())) {
            toScaled_ = sws_getCachedContext(toScaled_, l.cropWidth, l.cropHeight, format, l.scaledWidth,
                l.scaledHeight, format, kScaleFlags, nullptr, nullptr, nullptr);
            if (!toScaled_) {
                av_frame_unref(view_.get());
                return;
            }
            sws_scale(toScaled_, view_->data, view_->linesize, 0, l.cropHeight, scaled_->data, scaled_->linesize);
        }
        scaled_->sample_aspect_ratio = decoded->sample_aspect_ratio;
        picture = scaled_.get();
    }

    // Turned and mirrored on the smaller picture.
    if (rotation_ != 0) {
        if ((!filter_.Fits(picture) || filter_.Padded())
            && !filter_.Build(rotation_, picture->width, picture->height,
                static_cast<AVPixelFormat>(picture->format), picture->sample_aspect_ratio, false)) {
            std::fprintf(stderr, "capture: the turn for rotation %d cannot be built for %dx%d\n", rotation_,
                picture->width, picture->height);
            av_frame_unref(view_.get());
            return;
        }
        const bool turned = filter_.Process(picture, turned_.get());
        av_frame_unref(view_.get());
        if (!turned)
            return;
        picture = turned_.get();
    }
    if (!twoThirdsWithConversion && (picture->width != l.areaWidth || picture->height != l.areaHeight)) {
        av_frame_unref(turned_.get());
        av_frame_unref(view_.get());
        return; // a filter that changed the size: nothing sensible to draw
    }

    // Converted 1:1 into the window's picture: by libyuv for the planar formats that
    // cameras and movies give, by libswscale for anything else.
    bool unusedFull = false;
    const AVPixelFormat pictureFormat = SwsInputFormat(picture, unusedFull);
    const bool byLibyuv = pictureFormat == AV_PIX_FMT_YUV420P || pictureFormat == AV_PIX_FMT_YUV422P
        || pictureFormat == AV_PIX_FMT_YUV444P;
    SwsContext* ctx = nullptr;
    if (!byLibyuv) {
        ctx = sws_getCachedContext(toWindow_, l.areaWidth, l.areaHeight, pictureFormat, l.areaWidth,
            l.areaHeight, AV_PIX_FMT_RGB32, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
        if (ctx) {
            // Setting the colour details rebuilds the scaler's tables: only when anything
            // changed (a rebuilt context may sit at the old address, so the shape counts too).
            const std::array<int, 6> shape { l.areaWidth, l.areaHeight, int(pictureFormat), int(format),
                (full ? 1 : 0) | (int(decoded->colorspace) << 1), 0 };
            if (ctx != toWindow_ || shape != toWindowShape_) {
                SetSwsColorDetails(ctx, decoded, full);
                toWindowShape_ = shape;
            }
            toWindow_ = ctx;
        }
    }
    if (byLibyuv || ctx) {
        QImage image;
        const int slot = TakeImage(target.width(), target.height(), image);
        if (!image.isNull()) {
            // Black sides are drawn once per picture buffer and layout; the turned
            // picture then only ever overwrites its own area.
            const uint64_t layoutKey = l.partial ? (uint64_t(l.areaX) << 48 | uint64_t(l.areaY) << 32
                                           | uint64_t(l.areaWidth) << 16 | uint64_t(l.areaHeight))
                                                 : 0;
            if (layoutKey != 0 && (slot < 0 || imageLayouts_[slot] != layoutKey))
                image.fill(qRgb(0, 0, 0));
            uint8_t* dst[4]
                = { image.bits() + qsizetype(l.areaY) * image.bytesPerLine() + qsizetype(l.areaX) * 4,
                      nullptr, nullptr, nullptr };
            int stride[4] = { static_cast<int>(image.bytesPerLine()), 0, 0, 0 };
            if (twoThirdsWithConversion)
                ScaleYuvTwoThirdsToRgb32(picture, format, full, decoded->colorspace, dst[0], stride[0]);
            else if (byLibyuv)
                ConvertYuvToRgb32(picture, pictureFormat, full, decoded->colorspace, dst[0], stride[0], l.areaWidth,
                    l.areaHeight);
            else
                sws_scale(ctx, picture->data, picture->linesize, 0, l.areaHeight, dst, stride);
            if (l.partial && !byLibyuv) {
                // What the conversion wrote past the area's right edge lands on the
                // black side: paint it black again.
                const int from = l.areaX + l.areaWidth;
                const int count = std::min(kRowOverrun / 4, image.width() - from);
                for (int y = l.areaY; count > 0 && y < l.areaY + l.areaHeight; ++y)
                    std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)) + from, count, qRgb(0, 0, 0));
            }
            if (slot >= 0) {
                images_[slot] = image;
                imageLayouts_[slot] = layoutKey;
            }
            av_frame_unref(turned_.get());
            av_frame_unref(view_.get());
            sink_->Present(std::move(image));
            ReportFirstPicture(target);
            return;
        }
    }
    av_frame_unref(turned_.get());
    av_frame_unref(view_.get());
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

bool CCaptureBufferCallback::HasLastFrame()
{
    std::lock_guard lock(lastFrameMutex_);
    return lastFrame_ != nullptr;
}

bool CCaptureBufferCallback::TakeStill(const std::string& path, bool fromShownPicture)
{
    if (fromShownPicture && HasLastFrame()) {
        std::string message;
        if (SaveLastFrameAsJpeg(path, &message))
            return true;
        std::fprintf(stderr, "capture: still picture %s: %s\n", path.c_str(), message.c_str());
        return false;
    }
    RequestSnapshot(path);
    return true;
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
