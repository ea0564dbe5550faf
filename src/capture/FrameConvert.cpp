#include "capture/FrameConvert.h"

#include "platform/CameraAvPtr.h"

#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>

#include <QImage>
#include <QSaveFile>
#include <QString>

namespace kestovar {

AVPixelFormat SwsInputFormat(const AVFrame* frame, bool& fullRange)
{
    const auto format = static_cast<AVPixelFormat>(frame->format);
    fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    default:
        return format;
    }
}

void SetSwsColorDetails(SwsContext* ctx, const AVFrame* frame, bool fullRange)
{
    int space = SWS_CS_DEFAULT; // BT.601, what cameras of unknown matrix use
    if (frame->colorspace == AVCOL_SPC_BT709)
        space = SWS_CS_ITU709;
    const int* coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(
        ctx, coefficients, fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
}

bool ConvertYuvToRgb32(const AVFrame* picture, AVPixelFormat format, bool fullRange, AVColorSpace space,
    uint8_t* dst, int dstStride, int width, int height)
{
    // libyuv's ARGB is QImage's RGB32 on a little-endian machine: B, G, R, A in memory.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 as libyuv's ARGB needs little endian");
    const bool bt709 = space == AVCOL_SPC_BT709;
    const libyuv::YuvConstants* matrix = bt709 ? (fullRange ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants)
                                               : (fullRange ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants);
    const uint8_t* const* p = picture->data;
    const int* s = picture->linesize;
    switch (format) {
    case AV_PIX_FMT_YUV420P:
        return libyuv::I420ToARGBMatrix(p[0], s[0], p[1], s[1], p[2], s[2], dst, dstStride, matrix, width, height) == 0;
    case AV_PIX_FMT_YUV422P:
        return libyuv::I422ToARGBMatrix(p[0], s[0], p[1], s[1], p[2], s[2], dst, dstStride, matrix, width, height) == 0;
    case AV_PIX_FMT_YUV444P:
        return libyuv::I444ToARGBMatrix(p[0], s[0], p[1], s[1], p[2], s[2], dst, dstStride, matrix, width, height) == 0;
    default:
        return false;
    }
}

bool HalveYuv(const AVFrame* picture, AVPixelFormat format, AVFrame* dst)
{
    const int w = picture->width, h = picture->height;
    if (w < 2 || h < 2 || w % 2 != 0 || h % 2 != 0 || dst->width != w / 2 || dst->height != h / 2)
        return false;
    const uint8_t* const* p = picture->data;
    const int* s = picture->linesize;
    uint8_t* const* d = dst->data;
    const int* ds = dst->linesize;
    constexpr auto box = libyuv::kFilterBox;
    switch (format) {
    case AV_PIX_FMT_YUV420P:
        return libyuv::I420Scale(p[0], s[0], p[1], s[1], p[2], s[2], w, h, d[0], ds[0], d[1], ds[1], d[2], ds[2],
                   w / 2, h / 2, box)
            == 0;
    case AV_PIX_FMT_YUV422P:
        return libyuv::I422Scale(p[0], s[0], p[1], s[1], p[2], s[2], w, h, d[0], ds[0], d[1], ds[1], d[2], ds[2],
                   w / 2, h / 2, box)
            == 0;
    case AV_PIX_FMT_YUV444P:
        return libyuv::I444Scale(p[0], s[0], p[1], s[1], p[2], s[2], w, h, d[0], ds[0], d[1], ds[1], d[2], ds[2],
                   w / 2, h / 2, box)
            == 0;
    default:
        return false;
    }
}

bool WriteFrameAsJpeg(const AVFrame* frame, const std::string& path, std::string* message)
{
    auto fail = [message](const std::string& why) {
        if (message)
            *message = why;
        return false;
    };
    if (!frame || frame->width <= 0 || frame->height <= 0 || !frame->data[0])
        return fail("no picture to write");
    bool full = false;
    const AVPixelFormat in = SwsInputFormat(frame, full);
    av::SwsPtr sws(sws_getContext(frame->width, frame->height, in, frame->width, frame->height,
        AV_PIX_FMT_BGR24, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws)
        return fail("the picture's format cannot be converted");
    SetSwsColorDetails(sws.get(), frame, full);
    QImage image(frame->width, frame->height, QImage::Format_BGR888);
    if (image.isNull())
        return fail("out of memory for the picture");
    uint8_t* dst[4] = { image.bits(), nullptr, nullptr, nullptr };
    int dstStride[4] = { static_cast<int>(image.bytesPerLine()), 0, 0, 0 };
    sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);

    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString().toStdString());
    if (!image.save(&file, "JPG")) {
        file.cancelWriting();
        return fail("the JPEG encoder failed (is the disk full?)");
    }
    if (!file.commit())
        return fail(file.errorString().toStdString());
    return true;
}

} // namespace kestovar
