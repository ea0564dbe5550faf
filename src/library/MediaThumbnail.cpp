#include "library/MediaThumbnail.h"
#include "platform/CameraAvPtr.h"

#include "capture/FrameConvert.h"
#include "capture/MediaHandles.h"

#include <QImageReader>

#include <chrono>
#include <vector>

namespace kestovar {

namespace {

using Clock = std::chrono::steady_clock;

struct Interruption {
    Clock::time_point deadline;
    const std::atomic<bool>* cancel = nullptr;

    bool Due() const
    {
        return (cancel && cancel->load(std::memory_order_relaxed)) || Clock::now() > deadline;
    }
};

// libavformat asks this between blocking steps; 1 ends the step with AVERROR_EXIT.
int InterruptCallback(void* opaque)
{
    return static_cast<const Interruption*>(opaque)->Due() ? 1 : 0;
}

ThumbnailResult Failure(std::string why)
{
    ThumbnailResult r;
    r.why = std::move(why);
    return r;
}

ThumbnailResult Success(QImage image)
{
    ThumbnailResult r;
    r.image = std::move(image);
    return r;
}

QImage ScaleFrame(const AVFrame* frame, QSize size)
{
    bool fullRange = false;
    const AVPixelFormat in = SwsInputFormat(frame, fullRange);
    // Area averaging keeps a strong downscale free of aliasing.
    media::SwsPtr sws(sws_getContext(frame->width, frame->height, in, size.width(), size.height(),
        AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr));
    if (!sws)
        return {};
    SetSwsColorDetails(sws.get(), frame, fullRange);
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t* dst[4] = { image.bits(), nullptr, nullptr, nullptr };
    const int dstStride[4] = { static_cast<int>(image.bytesPerLine()), 0, 0, 0 };
    if (sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride) <= 0)
        return {};
    return image;
}

bool StreamKnown(const AVFormatContext* input, int index)
{
    if (index < 0)
        return false;
    const AVCodecParameters* par = input->streams[index]->codecpar;
    return par->codec_id != AV_CODEC_ID_NONE && par->width > 0 && par->height > 0;
}

// avformat_find_stream_info decodes a first picture of some files (a picture named
// .avi, for one) with decoders it opens itself: they get the same pixel limit and a
// single thread, so a header claiming a giant picture allocates nothing.
int FindStreamInfo(AVFormatContext* input, const ThumbnailLimits& limits)
{
    std::vector<AVDictionary*> options(input->nb_streams, nullptr);
    for (AVDictionary*& o : options) {
        av_dict_set_int(&o, "max_pixels", limits.maxPixels, 0);
        av_dict_set_int(&o, "threads", 1, 0);
    }
    const int err = avformat_find_stream_info(input, options.empty() ? nullptr : options.data());
    for (AVDictionary*& o : options)
        av_dict_free(&o);
    return err;
}

} // namespace

ThumbnailResult MakeMovieThumbnail(
    const std::string& path, QSize pixelSize, const ThumbnailLimits& limits, const std::atomic<bool>* cancel)
{
    if (pixelSize.isEmpty())
        return Failure("no thumbnail size");
    Interruption interruption { Clock::now() + std::chrono::milliseconds(limits.timeoutMs), cancel };

    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return Failure("out of memory");
    raw->interrupt_callback.callback = InterruptCallback;
    raw->interrupt_callback.opaque = &interruption;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "probesize", limits.probeBytes, 0);
    av_dict_set_int(&options, "analyzeduration", limits.analyzeMicros, 0);
    // On failure avformat_open_input frees the context itself.
    av::LimitAllocations();
    int err = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (err < 0)
        return Failure("cannot open: " + media::ErrorText(err));
    media::InputPtr input(raw);

    // AVI headers name the codec and size already; only other files need the (slower)
    // look at the first packets.
    const AVCodec* decoder = nullptr;
    int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (!StreamKnown(input.get(), index)) {
        if ((err = FindStreamInfo(input.get(), limits)) < 0)
            return Failure("no stream information: " + media::ErrorText(err));
        index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    }
    if (index < 0 || !decoder)
        return Failure(index == AVERROR_DECODER_NOT_FOUND ? "no decoder for the video" : "no video stream");
    const AVCodecParameters* par = input->streams[index]->codecpar;
    if (par->width <= 0 || par->height <= 0)
        return Failure("no picture size");
    if (static_cast<int64_t>(par->width) * par->height > limits.maxPixels)
        return Failure("picture too large");

    media::CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), par) < 0)
        return Failure("cannot set up the decoder");
    // One thread: many thumbnails are made side by side, and frame threading would
    // hold the first picture back behind a pipeline.
    codec->thread_count = 1;
    codec->max_pixels = limits.maxPixels;
    if ((err = avcodec_open2(codec.get(), decoder, nullptr)) < 0)
        return Failure("cannot open the decoder: " + media::ErrorText(err));

    media::PacketPtr packet(av_packet_alloc());
    media::FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return Failure("out of memory");
    int packets = 0;
    int videoPackets = 0;
    bool draining = false;
    for (;;) {
        if (interruption.Due())
            return Failure(cancel && cancel->load() ? "cancelled" : "timed out");
        if (!draining) {
            const bool spent = packets >= limits.maxPackets || videoPackets >= limits.maxVideoPackets;
            err = spent ? AVERROR_EOF : av_read_frame(input.get(), packet.get());
            ++packets;
            if (err == AVERROR(EAGAIN))
                continue;
            if (err < 0) {
                // End of file, a damaged tail or the limits: whatever the decoder holds
                // may still give a picture.
                draining = true;
                avcodec_send_packet(codec.get(), nullptr);
            } else if (packet->stream_index != index) {
                av_packet_unref(packet.get());
                continue;
            } else {
                ++videoPackets;
                err = avcodec_send_packet(codec.get(), packet.get());
                av_packet_unref(packet.get());
                if (err < 0 && err != AVERROR(EAGAIN))
                    continue; // a damaged packet; the next one may decode
            }
        }
        while ((err = avcodec_receive_frame(codec.get(), frame.get())) >= 0) {
            if (frame->width > 0 && frame->height > 0) {
                QImage image = ScaleFrame(frame.get(), pixelSize);
                if (!image.isNull())
                    return Success(std::move(image));
            }
            av_frame_unref(frame.get());
        }
        if (draining)
            return Failure("no decodable picture");
    }
}

ThumbnailResult MakePictureThumbnail(const std::string& path, QSize pixelSize)
{
    if (pixelSize.isEmpty())
        return Failure("no thumbnail size");
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return Failure("not a picture: " + reader.errorString().toStdString());
    // The JPEG reader scales while decoding (libjpeg's 1/2 .. 1/8 steps), so a huge
    // picture is never decoded at its full size.
    if (const QSize full = reader.size(); full.isValid() && !full.isEmpty()) {
        if (static_cast<int64_t>(full.width()) * full.height() > kMaxPicturePixels)
            return Failure("picture too large");
        reader.setScaledSize(pixelSize);
    }
    QImage image = reader.read();
    if (image.isNull())
        return Failure("cannot decode: " + reader.errorString().toStdString());
    if (image.size() != pixelSize)
        image = image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return Success(image.convertToFormat(QImage::Format_RGB32));
}

} // namespace kestovar
