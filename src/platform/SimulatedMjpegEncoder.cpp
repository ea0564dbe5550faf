#include "platform/SimulatedMjpegEncoder.h"

namespace kestovar {

bool SimulatedMjpegEncoder::Open(uint32_t width, uint32_t height)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec)
        return false;
    ctx_.reset(avcodec_alloc_context3(codec));
    frame_ = av::MakeFrame();
    packet_ = av::MakePacket();
    if (!ctx_ || !frame_ || !packet_)
        return false;
    ctx_->width = static_cast<int>(width);
    ctx_->height = static_cast<int>(height);
    ctx_->pix_fmt = AV_PIX_FMT_YUVJ422P;
    ctx_->color_range = AVCOL_RANGE_JPEG;
    ctx_->time_base = { 1, 30 };
    ctx_->flags |= AV_CODEC_FLAG_QSCALE;
    ctx_->global_quality = FF_QP2LAMBDA * 4;
    ctx_->thread_count = 1;
    if (avcodec_open2(ctx_.get(), codec, nullptr) < 0)
        return false;
    frame_->format = AV_PIX_FMT_YUVJ422P;
    frame_->width = ctx_->width;
    frame_->height = ctx_->height;
    frame_->color_range = AVCOL_RANGE_JPEG;
    return av_frame_get_buffer(frame_.get(), 0) >= 0;
}

bool SimulatedMjpegEncoder::Encode(uint64_t counter, const PictureAdjust& adjust, std::vector<uint8_t>& out)
{
    if (!ctx_ || av_frame_make_writable(frame_.get()) < 0)
        return false;
    DrawSimulatedPicture(frame_.get(), counter, adjust);
    frame_->pts = static_cast<int64_t>(counter);
    frame_->quality = ctx_->global_quality;
    if (avcodec_send_frame(ctx_.get(), frame_.get()) < 0)
        return false;
    if (avcodec_receive_packet(ctx_.get(), packet_.get()) < 0)
        return false;
    out.assign(packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_.get());
    return true;
}

} // namespace kestovar
