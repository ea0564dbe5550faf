#include "platform/SimulatedPicture.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace kestovar {
namespace {

struct Yuv {
    uint8_t y, u, v;
};

uint8_t Clamp(int v, int lo, int hi)
{
    return static_cast<uint8_t>(std::clamp(v, lo, hi));
}

// BT.601, limited or full range, with the adjustments applied.
Yuv ToYuv(int r, int g, int b, bool fullRange, const PictureAdjust& a)
{
    double y = 0.299 * r + 0.587 * g + 0.114 * b;
    double u = -0.168736 * r - 0.331264 * g + 0.5 * b;
    double v = 0.5 * r - 0.418688 * g - 0.081312 * b;
    y = (y - 128.0) * a.contrast / 32.0 + 128.0 + a.brightness * 2.0;
    u = u * a.saturation / 64.0;
    v = v * a.saturation / 64.0;
    if (fullRange)
        return { Clamp(int(y + 0.5), 0, 255), Clamp(int(u + 128.5), 0, 255), Clamp(int(v + 128.5), 0, 255) };
    return { Clamp(int(16 + y * 219.0 / 255.0 + 0.5), 16, 235),
        Clamp(int(128.5 + u * 224.0 / 255.0), 16, 240), Clamp(int(128.5 + v * 224.0 / 255.0), 16, 240) };
}

// 3x5 digits, one row per 3 bits, top row first.
constexpr std::array<std::array<uint8_t, 5>, 10> kDigits { {
    { 7, 5, 5, 5, 7 },
    { 2, 6, 2, 2, 7 },
    { 7, 1, 7, 4, 7 },
    { 7, 1, 7, 1, 7 },
    { 5, 5, 7, 1, 1 },
    { 7, 4, 7, 1, 7 },
    { 7, 4, 7, 5, 7 },
    { 7, 1, 1, 1, 1 },
    { 7, 5, 7, 5, 7 },
    { 7, 5, 7, 1, 7 },
} };

class Painter {
public:
    Painter(AVFrame* f, int cw, int ch)
        : f_(f)
        , cw_(cw)
        , ch_(ch)
    {
    }

    void Rect(int x0, int y0, int w, int h, Yuv c)
    {
        const int x1 = std::min(x0 + w, f_->width), y1 = std::min(y0 + h, f_->height);
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        if (x1 <= x0 || y1 <= y0)
            return;
        for (int y = y0; y < y1; ++y)
            std::memset(f_->data[0] + y * f_->linesize[0] + x0, c.y, x1 - x0);
        const int cx0 = x0 >> cw_, cx1 = (x1 + (1 << cw_) - 1) >> cw_;
        const int cy0 = y0 >> ch_, cy1 = (y1 + (1 << ch_) - 1) >> ch_;
        for (int y = cy0; y < cy1; ++y) {
            std::memset(f_->data[1] + y * f_->linesize[1] + cx0, c.u, cx1 - cx0);
            std::memset(f_->data[2] + y * f_->linesize[2] + cx0, c.v, cx1 - cx0);
        }
    }

private:
    AVFrame* f_;
    int cw_, ch_;
};

} // namespace

bool DrawSimulatedPicture(AVFrame* frame, uint64_t counter, const PictureAdjust& adjust)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    if (!d || d->nb_components != 3 || (d->flags & AV_PIX_FMT_FLAG_RGB)
        || !(d->flags & AV_PIX_FMT_FLAG_PLANAR) || d->comp[0].depth != 8)
        return false;
    const bool full = frame->format == AV_PIX_FMT_YUVJ420P || frame->format == AV_PIX_FMT_YUVJ422P
        || frame->format == AV_PIX_FMT_YUVJ444P || frame->color_range == AVCOL_RANGE_JPEG;
    const int w = frame->width, h = frame->height;
    const int cw = d->log2_chroma_w, ch = d->log2_chroma_h;

    // Colour bars, scrolled a little every frame so the picture moves.
    static constexpr int kBars[8][3] = { { 192, 192, 192 }, { 192, 192, 0 }, { 0, 192, 192 }, { 0, 192, 0 },
        { 192, 0, 192 }, { 192, 0, 0 }, { 0, 0, 192 }, { 40, 40, 40 } };
    Yuv bars[8];
    for (int i = 0; i < 8; ++i)
        bars[i] = ToYuv(kBars[i][0], kBars[i][1], kBars[i][2], full, adjust);
    const int shift = static_cast<int>((counter * std::max(2, w / 240)) % w);
    const int cwid = (w + (1 << cw) - 1) >> cw;
    std::vector<uint8_t> rowY(w), rowU(cwid), rowV(cwid);
    for (int x = 0; x < w; ++x)
        rowY[x] = bars[((x + shift) % w) * 8 / w].y;
    for (int x = 0; x < cwid; ++x) {
        const Yuv& c = bars[(((x << cw) + shift) % w) * 8 / w];
        rowU[x] = c.u;
        rowV[x] = c.v;
    }
    // Sensor noise, new in every frame, so the encoder has detail to spend its bit
    // rate on as it does with a real scene.
    uint32_t seed = static_cast<uint32_t>(counter * 2654435761u) | 1u;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < w; x += 4) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            for (int k = 0; k < 4 && x + k < w; ++k) {
                const int n = int((seed >> (k * 8)) & 0x0F) - 8;
                row[x + k] = static_cast<uint8_t>(std::clamp(rowY[x + k] + n, 0, 255));
            }
        }
    }
    for (int y = 0; y < (h + (1 << ch) - 1) >> ch; ++y) {
        std::memcpy(frame->data[1] + y * frame->linesize[1], rowU.data(), cwid);
        std::memcpy(frame->data[2] + y * frame->linesize[2], rowV.data(), cwid);
    }

    Painter p(frame, cw, ch);
    // Orientation mark: a red square with a white border, top left, out of the way of
    // the moving bars' edge pattern.
    const int unit = std::max(2, h / 54) & ~1;
    const int side = unit * 8;
    p.Rect(unit * 2, unit * 2, side, side, ToYuv(255, 255, 255, full, adjust));
    p.Rect(unit * 3, unit * 3, side - 2 * unit, side - 2 * unit, ToYuv(220, 0, 0, full, adjust));

    // A white box that travels along the middle row.
    const int box = unit * 4;
    const int travel = std::max(1, w - box);
    p.Rect(static_cast<int>((counter * unit) % travel), h / 2 - box / 2, box, box,
        ToYuv(255, 255, 255, full, adjust));

    // Frame counter, bottom left, white on black.
    const std::string digits = std::to_string(counter);
    const int cell = unit;
    const int glyphW = 4 * cell, x0 = unit * 2, y0 = h - unit * 2 - 7 * cell;
    p.Rect(x0 - cell, y0 - cell, int(digits.size()) * glyphW + cell, 7 * cell, ToYuv(0, 0, 0, full, adjust));
    const Yuv white = ToYuv(255, 255, 255, full, adjust);
    for (size_t i = 0; i < digits.size(); ++i) {
        const auto& g = kDigits[digits[i] - '0'];
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (g[row] & (4 >> col))
                    p.Rect(x0 + int(i) * glyphW + col * cell, y0 + row * cell, cell, cell, white);
    }
    return true;
}

} // namespace kestovar
