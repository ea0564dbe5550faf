#include "dicom/VideoStream.h"
#include "platform/CameraAvPtr.h"

#include "capture/MediaHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <memory>

namespace kestovar {

namespace {

using media::CodecPtr;
using media::FifoPtr;
using media::FramePtr;
using media::PacketPtr;
using media::SwrPtr;
using media::SwsPtr;

std::string AvError(int err)
{
    return media::ErrorText(err);
}

// Sends one frame (null: the end) to `enc` and writes what comes out to `st` of `out`;
// `written` counts the packets. False with the reason when encoding or writing fails.
bool EncodeAndWrite(AVCodecContext* enc, AVStream* st, AVFormatContext* out, AVFrame* f, const char* what,
    std::string& message, int* written = nullptr)
{
    const int sent = avcodec_send_frame(enc, f);
    if (sent < 0 && sent != AVERROR_EOF) {
        message = std::string("encoding ") + what + " failed: " + AvError(sent);
        return false;
    }
    PacketPtr pkt(av_packet_alloc());
    if (!pkt) {
        message = "out of memory";
        return false;
    }
    while (avcodec_receive_packet(enc, pkt.get()) == 0) {
        av_packet_rescale_ts(pkt.get(), enc->time_base, st->time_base);
        pkt->stream_index = st->index;
        if (written)
            ++*written;
        const int err = av_interleaved_write_frame(out, pkt.get());
        if (err < 0) {
            message = std::string("writing ") + what + " failed: " + AvError(err);
            return false;
        }
    }
    return true;
}

struct Input {
    AVFormatContext* fmt = nullptr;
    ~Input() { avformat_close_input(&fmt); }
};

struct Output {
    AVFormatContext* fmt = nullptr;
    bool fileOpen = false;
    ~Output()
    {
        if (!fmt)
            return;
        if (fileOpen)
            avio_closep(&fmt->pb);
        avformat_free_context(fmt);
    }
};

constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1080;
constexpr double kMaxFps = 30.0;
constexpr int kMaxLevel = 41;

AVRational StreamRate(const AVStream* st)
{
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        return st->avg_frame_rate;
    if (st->r_frame_rate.num > 0 && st->r_frame_rate.den > 0)
        return st->r_frame_rate;
    return AVRational { 30, 1 };
}

// H.264 that a High Profile / Level 4.1 decoder plays as it is.
bool MeetsHighProfileLevel41(const AVCodecParameters* par, AVRational fps)
{
    if (par->codec_id != AV_CODEC_ID_H264)
        return false;
    const bool profileOk = par->profile == FF_PROFILE_H264_CONSTRAINED_BASELINE || par->profile == FF_PROFILE_H264_MAIN
        || par->profile == FF_PROFILE_H264_HIGH;
    const bool formatOk = par->format == AV_PIX_FMT_YUV420P || par->format == AV_PIX_FMT_YUVJ420P;
    return profileOk && formatOk && par->level > 0 && par->level <= kMaxLevel && par->width <= kMaxWidth
        && par->height <= kMaxHeight && av_q2d(fps) <= kMaxFps + 0.01;
}

// MP3 that the transfer syntax's container may carry as it is: constant bit rate (the
// AVI's header gives one rate; the station's encoder never varies it) of at most
// 320 kbit/s, at 32, 44.1 or 48 kHz, mono or stereo.
bool MayCopySound(const AVCodecParameters* par)
{
    const int rate = par->sample_rate;
    const int channels = par->ch_layout.nb_channels;
    return par->codec_id == AV_CODEC_ID_MP3 && (rate == 32000 || rate == 44100 || rate == 48000) && channels >= 1
        && channels <= 2 && par->bit_rate > 0 && par->bit_rate <= 320000;
}

// Sound that may not travel as it is: decoded, resampled to 48 kHz stereo and encoded as AAC-LC.
class SoundTranscoder {
public:
    int Channels() const { return enc_ ? enc_->ch_layout.nb_channels : 0; }
    bool Open(AVStream* in, AVFormatContext* out, std::string& message)
    {
        in_ = in;
        const AVCodec* dec = avcodec_find_decoder(in->codecpar->codec_id);
        const AVCodec* enc = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!dec || !enc) {
            message = "no decoder for the movie's sound or no AAC encoder";
            return false;
        }
        dec_.reset(avcodec_alloc_context3(dec));
        avcodec_parameters_to_context(dec_.get(), in->codecpar);
        dec_->pkt_timebase = in->time_base;
        if (avcodec_open2(dec_.get(), dec, nullptr) < 0) {
            message = "the movie's sound cannot be decoded";
            return false;
        }
        enc_.reset(avcodec_alloc_context3(enc));
        enc_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        enc_->sample_rate = 48000;
        av_channel_layout_default(&enc_->ch_layout, 2);
        enc_->bit_rate = 128000;
        enc_->profile = FF_PROFILE_AAC_LOW;
        enc_->time_base = AVRational { 1, 48000 };
        int err = avcodec_open2(enc_.get(), enc, nullptr);
        if (err < 0) {
            message = "the AAC encoder did not start: " + AvError(err);
            return false;
        }
        st_ = avformat_new_stream(out, nullptr);
        avcodec_parameters_from_context(st_->codecpar, enc_.get());
        st_->time_base = enc_->time_base;
        fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, 4096));
        frame_.reset(av_frame_alloc());
        out_ = out;
        return true;
    }

    // False when converting or writing failed (a damaged packet only leaves a gap).
    bool Feed(AVPacket* pkt, std::string& message)
    {
        if (avcodec_send_packet(dec_.get(), pkt) < 0)
            return true; // a damaged sound packet: a short gap, the rest goes on
        while (avcodec_receive_frame(dec_.get(), frame_.get()) == 0) {
            if (!swr_) {
                SwrContext* s = nullptr;
                if (swr_alloc_set_opts2(&s, &enc_->ch_layout, AV_SAMPLE_FMT_FLTP, 48000, &frame_->ch_layout,
                        AVSampleFormat(frame_->format), frame_->sample_rate, 0, nullptr)
                        < 0
                    || swr_init(s) < 0) {
                    swr_free(&s);
                    message = "the movie's sound cannot be converted";
                    return false;
                }
                swr_.reset(s);
            }
            if (!Convert(frame_->extended_data, frame_->nb_samples)) {
                message = "the movie's sound cannot be converted";
                return false;
            }
            av_frame_unref(frame_.get());
            if (!Drain(false, message))
                return false;
        }
        return true;
    }

    bool Finish(std::string& message)
    {
        if (!dec_)
            return true;
        avcodec_send_packet(dec_.get(), nullptr);
        while (avcodec_receive_frame(dec_.get(), frame_.get()) == 0) {
            if (swr_)
                Convert(frame_->extended_data, frame_->nb_samples);
            av_frame_unref(frame_.get());
        }
        if (swr_)
            Convert(nullptr, 0);
        if (!Drain(true, message))
            return false;
        return Encode(nullptr, message);
    }

private:
    bool Convert(uint8_t** data, int samples)
    {
        const int outMax = swr_get_out_samples(swr_.get(), samples);
        if (outMax <= 0)
            return true;
        uint8_t** buffers = nullptr;
        if (av_samples_alloc_array_and_samples(&buffers, nullptr, 2, outMax, AV_SAMPLE_FMT_FLTP, 0) < 0)
            return false;
        const int got = swr_convert(swr_.get(), buffers, outMax, const_cast<const uint8_t**>(data), samples);
        if (got > 0)
            av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(buffers), got);
        av_freep(&buffers[0]);
        av_freep(&buffers);
        return got >= 0;
    }

    bool Drain(bool all, std::string& message)
    {
        const int size = enc_->frame_size > 0 ? enc_->frame_size : 1024;
        while (av_audio_fifo_size(fifo_.get()) >= size || (all && av_audio_fifo_size(fifo_.get()) > 0)) {
            const int n = std::min(size, av_audio_fifo_size(fifo_.get()));
            FramePtr f(av_frame_alloc());
            f->nb_samples = n;
            f->format = AV_SAMPLE_FMT_FLTP;
            f->sample_rate = 48000;
            av_channel_layout_copy(&f->ch_layout, &enc_->ch_layout);
            if (av_frame_get_buffer(f.get(), 0) < 0)
                return false;
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), n);
            f->pts = samples_;
            samples_ += n;
            if (!Encode(f.get(), message))
                return false;
        }
        return true;
    }

    bool Encode(AVFrame* f, std::string& message)
    {
        return EncodeAndWrite(enc_.get(), st_, out_, f, "the sound", message);
    }

    AVStream* in_ = nullptr;
    AVStream* st_ = nullptr;
    AVFormatContext* out_ = nullptr;
    CodecPtr dec_, enc_;
    SwrPtr swr_;
    FifoPtr fifo_;
    FramePtr frame_;
    int64_t samples_ = 0;
};

// Picture re-encoded with libx264 to High Profile / Level 4.1.
class PictureEncoder {
public:
    bool Open(AVStream* in, AVFormatContext* out, AVRational fps, std::string& message)
    {
        const AVCodec* dec = avcodec_find_decoder(in->codecpar->codec_id);
        const AVCodec* enc = avcodec_find_encoder_by_name("libx264");
        if (!dec) {
            message = "the movie's picture format cannot be decoded";
            return false;
        }
        if (!enc) {
            message = "the H.264 encoder (libx264) is missing";
            return false;
        }
        dec_.reset(avcodec_alloc_context3(dec));
        avcodec_parameters_to_context(dec_.get(), in->codecpar);
        dec_->pkt_timebase = in->time_base;
        dec_->thread_count = 1;
        if (avcodec_open2(dec_.get(), dec, nullptr) < 0) {
            message = "the movie's picture cannot be decoded";
            return false;
        }
        int w = in->codecpar->width, h = in->codecpar->height;
        if (w <= 0 || h <= 0) {
            message = "the movie's picture size is unknown";
            return false;
        }
        if (w > kMaxWidth || h > kMaxHeight) {
            const double scale = std::min(double(kMaxWidth) / w, double(kMaxHeight) / h);
            w = int(w * scale);
            h = int(h * scale);
        }
        w &= ~1;
        h &= ~1;
        if (av_q2d(fps) > kMaxFps + 0.01)
            fps = AVRational { 30, 1 };
        inTb_ = in->time_base;
        enc_.reset(avcodec_alloc_context3(enc));
        enc_->width = w;
        enc_->height = h;
        enc_->pix_fmt = AV_PIX_FMT_YUV420P;
        enc_->time_base = av_inv_q(fps);
        enc_->framerate = fps;
        enc_->gop_size = std::max(1, int(std::lround(av_q2d(fps))));
        enc_->max_b_frames = 0;
        enc_->thread_count = 2;
        enc_->profile = FF_PROFILE_H264_HIGH;
        enc_->level = kMaxLevel;
        AVDictionary* opts = nullptr;
        av_dict_set(&opts, "preset", "veryfast", 0);
        av_dict_set(&opts, "crf", "18", 0);
        av_dict_set(&opts, "profile", "high", 0);
        av_dict_set(&opts, "level", "4.1", 0);
        av_dict_set(&opts, "x264-params", "vbv-maxrate=50000:vbv-bufsize=62500", 0);
        int err = avcodec_open2(enc_.get(), enc, &opts);
        av_dict_free(&opts);
        if (err < 0) {
            message = "the H.264 encoder did not start: " + AvError(err);
            return false;
        }
        st_ = avformat_new_stream(out, nullptr);
        avcodec_parameters_from_context(st_->codecpar, enc_.get());
        st_->time_base = enc_->time_base;
        st_->avg_frame_rate = fps;
        out_ = out;
        frame_.reset(av_frame_alloc());
        scaled_.reset(av_frame_alloc());
        scaled_->format = AV_PIX_FMT_YUV420P;
        scaled_->width = w;
        scaled_->height = h;
        if (av_frame_get_buffer(scaled_.get(), 0) < 0) {
            message = "out of memory";
            return false;
        }
        return true;
    }

    AVStream* stream() const { return st_; }
    int width() const { return enc_->width; }
    int height() const { return enc_->height; }
    int frames() const { return encoded_; }
    int decodeErrors() const { return decodeErrors_; }

    bool Feed(AVPacket* pkt, std::string& message)
    {
        if (avcodec_send_packet(dec_.get(), pkt) < 0) {
            ++decodeErrors_;
            return true;
        }
        return Receive(message);
    }

    bool Finish(std::string& message)
    {
        avcodec_send_packet(dec_.get(), nullptr);
        if (!Receive(message))
            return false;
        return Encode(nullptr, message);
    }

private:
    bool Receive(std::string& message)
    {
        while (avcodec_receive_frame(dec_.get(), frame_.get()) == 0) {
            if (!sws_) {
                sws_.reset(sws_getContext(frame_->width, frame_->height, AVPixelFormat(frame_->format), enc_->width,
                    enc_->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
                if (!sws_) {
                    message = "the movie's pictures cannot be converted";
                    return false;
                }
            }
            if (av_frame_make_writable(scaled_.get()) < 0)
                return false;
            sws_scale(sws_.get(), frame_->data, frame_->linesize, 0, frame_->height, scaled_->data, scaled_->linesize);
            const int64_t ts = frame_->best_effort_timestamp;
            int64_t pts = ts == AV_NOPTS_VALUE ? next_ : av_rescale_q(ts, inTb_, enc_->time_base);
            if (pts < next_)
                pts = next_;
            next_ = pts + 1;
            scaled_->pts = pts;
            av_frame_unref(frame_.get());
            if (!Encode(scaled_.get(), message))
                return false;
        }
        return true;
    }

    bool Encode(AVFrame* f, std::string& message)
    {
        return EncodeAndWrite(enc_.get(), st_, out_, f, "the pictures", message, &encoded_);
    }

    CodecPtr dec_, enc_;
    SwsPtr sws_;
    FramePtr frame_, scaled_;
    AVStream* st_ = nullptr;
    AVFormatContext* out_ = nullptr;
    AVRational inTb_ { 1, 1 };
    int64_t next_ = 0;
    int encoded_ = 0;
    int decodeErrors_ = 0;
};

} // namespace

VideoStreamResult WriteDicomVideoStream(
    const std::string& aviPath, const std::string& outPath, const std::atomic<bool>* cancel)
{
    VideoStreamResult r;
    Input in;
    av::LimitAllocations();
    int err = avformat_open_input(&in.fmt, aviPath.c_str(), nullptr, nullptr);
    if (err < 0) {
        r.message = "The movie cannot be read (" + AvError(err) + ").";
        return r;
    }
    if ((err = avformat_find_stream_info(in.fmt, nullptr)) < 0) {
        r.message = "The movie is damaged (" + AvError(err) + ").";
        return r;
    }
    int videoIndex = av_find_best_stream(in.fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex < 0 || in.fmt->streams[videoIndex]->codecpar->width <= 0) {
        r.message = "The movie holds no readable picture; it may be damaged.";
        return r;
    }
    int audioIndex = av_find_best_stream(in.fmt, AVMEDIA_TYPE_AUDIO, -1, videoIndex, nullptr, 0);
    AVStream* vin = in.fmt->streams[videoIndex];
    const AVRational fps = StreamRate(vin);
    r.fpsNum = fps.num;
    r.fpsDen = fps.den;

    Output out;
    if ((err = avformat_alloc_output_context2(&out.fmt, nullptr, "mpegts", outPath.c_str())) < 0) {
        r.message = "The transport stream cannot be made (" + AvError(err) + ").";
        return r;
    }
    r.copied = MeetsHighProfileLevel41(vin->codecpar, fps);
    AVStream* vout = nullptr;
    PictureEncoder encoder;
    if (r.copied) {
        vout = avformat_new_stream(out.fmt, nullptr);
        avcodec_parameters_copy(vout->codecpar, vin->codecpar);
        vout->codecpar->codec_tag = 0;
        vout->time_base = vin->time_base;
        vout->avg_frame_rate = fps;
        r.width = vin->codecpar->width;
        r.height = vin->codecpar->height;
    } else {
        if (!encoder.Open(vin, out.fmt, fps, r.message)) {
            r.message = "The movie cannot be converted for the PACS: " + r.message + ".";
            return r;
        }
        vout = encoder.stream();
        r.width = encoder.width();
        r.height = encoder.height();
        r.fpsNum = vout->avg_frame_rate.num;
        r.fpsDen = vout->avg_frame_rate.den;
    }
    SoundTranscoder sound;
    AVStream* ain = audioIndex >= 0 ? in.fmt->streams[audioIndex] : nullptr;
    AVStream* aout = nullptr;
    if (ain && MayCopySound(ain->codecpar)) {
        aout = avformat_new_stream(out.fmt, nullptr);
        if (aout && avcodec_parameters_copy(aout->codecpar, ain->codecpar) >= 0) {
            aout->codecpar->codec_tag = 0;
            aout->time_base = ain->time_base;
            r.withSound = r.soundCopied = true;
            r.soundChannels = ain->codecpar->ch_layout.nb_channels;
        } else {
            r.message = "The transport stream cannot take the movie's sound.";
            return r;
        }
    } else if (ain) {
        std::string why;
        r.withSound = sound.Open(ain, out.fmt, why);
        r.soundChannels = r.withSound ? sound.Channels() : 0;
        if (!r.withSound)
            audioIndex = -1; // the picture goes without the sound rather than not at all
    }
    if ((err = avio_open(&out.fmt->pb, outPath.c_str(), AVIO_FLAG_WRITE)) < 0) {
        r.message = "The temporary file cannot be written (" + AvError(err) + ").";
        return r;
    }
    out.fileOpen = true;
    if ((err = avformat_write_header(out.fmt, nullptr)) < 0) {
        r.message = "The transport stream cannot be started (" + AvError(err) + ").";
        return r;
    }

    PacketPtr pkt(av_packet_alloc());
    std::string message;
    while ((err = av_read_frame(in.fmt, pkt.get())) >= 0 || err == AVERROR(EAGAIN)) {
        if (err < 0)
            continue;
        if (cancel && cancel->load()) {
            r.message = "Stopped.";
            return r;
        }
        bool ok = true;
        if (pkt->stream_index == videoIndex && pkt->size > 0) {
            if (r.copied) {
                if (pkt->pts == AV_NOPTS_VALUE)
                    pkt->pts = pkt->dts;
                av_packet_rescale_ts(pkt.get(), vin->time_base, vout->time_base);
                pkt->stream_index = vout->index;
                pkt->pos = -1;
                ++r.frames;
                if ((err = av_interleaved_write_frame(out.fmt, pkt.get())) < 0) {
                    message = "writing the pictures failed: " + AvError(err);
                    ok = false;
                }
            } else {
                ok = encoder.Feed(pkt.get(), message);
            }
        } else if (pkt->stream_index == audioIndex && audioIndex >= 0 && r.soundCopied) {
            if (pkt->pts == AV_NOPTS_VALUE)
                pkt->pts = pkt->dts;
            av_packet_rescale_ts(pkt.get(), ain->time_base, aout->time_base);
            pkt->stream_index = aout->index;
            pkt->pos = -1;
            if (pkt->size > 0 && (err = av_interleaved_write_frame(out.fmt, pkt.get())) < 0) {
                message = "writing the sound failed: " + AvError(err);
                ok = false;
            }
        } else if (pkt->stream_index == audioIndex && audioIndex >= 0) {
            ok = sound.Feed(pkt.get(), message);
        }
        av_packet_unref(pkt.get());
        if (!ok) {
            r.message = "The movie cannot be prepared for the PACS: " + message + ".";
            return r;
        }
    }
    if (!r.copied && !encoder.Finish(message)) {
        r.message = "The movie cannot be prepared for the PACS: " + message + ".";
        return r;
    }
    if (audioIndex >= 0 && !r.soundCopied && !sound.Finish(message)) {
        r.message = "The movie cannot be prepared for the PACS: " + message + ".";
        return r;
    }
    if (!r.copied)
        r.frames = encoder.frames();
    if (r.frames == 0) {
        r.message = "The movie holds no readable pictures; it may be damaged.";
        return r;
    }
    if ((err = av_write_trailer(out.fmt)) < 0) {
        r.message = "The transport stream cannot be finished (" + AvError(err) + ").";
        return r;
    }
    avio_closep(&out.fmt->pb);
    out.fileOpen = false;
    r.ok = true;
    return r;
}

} // namespace kestovar
