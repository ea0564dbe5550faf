#include "capture/FrameConvert.h"

#include "platform/CameraAvPtr.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

namespace {

// 3/4 of a and 1/4 of b, by two rounded means: what _mm_avg_epu8 computes twice.
inline uint8_t Near(uint8_t a, uint8_t b)
{
    return uint8_t((a + ((a + b + 1) >> 1) + 1) >> 1);
}

// Two rows of the smaller picture from three of the larger, pixels [from, width).
void TwoThirdsRows(const uint8_t* s0, const uint8_t* s1, const uint8_t* s2, uint8_t* d0, uint8_t* d1, int from,
    int width)
{
    for (int x = from; x < width; x += 2) {
        const int sx = x / 2 * 3;
        uint8_t top[3], bottom[3];
        for (int k = 0; k < 3; ++k) {
            top[k] = Near(s0[sx + k], s1[sx + k]);
            bottom[k] = Near(s2[sx + k], s1[sx + k]);
        }
        d0[x] = Near(top[0], top[1]);
        d0[x + 1] = Near(top[2], top[1]);
        d1[x] = Near(bottom[0], bottom[1]);
        d1[x + 1] = Near(bottom[2], bottom[1]);
    }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("ssse3"))) inline __m128i NearSsse3(__m128i a, __m128i b)
{
    return _mm_avg_epu8(a, _mm_avg_epu8(a, b));
}

// Bytes 3i+k of the 48 in v[0..2], as bytes i of one register.
__attribute__((target("ssse3"))) inline __m128i PickSsse3(const __m128i* v, const __m128i* gather)
{
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v[0], gather[0]), _mm_shuffle_epi8(v[1], gather[1])),
        _mm_shuffle_epi8(v[2], gather[2]));
}

// The same, 32 new pixels (48 old) at a time: three rows averaged down, then the first,
// middle and last of every three bytes gathered by shuffles and averaged across.
// Returns how many pixels it wrote; the rest is left to TwoThirdsRows.
__attribute__((target("ssse3"))) int TwoThirdsRowsSsse3(
    const uint8_t* s0, const uint8_t* s1, const uint8_t* s2, uint8_t* d0, uint8_t* d1, int width)
{
    // Byte i of gather[k][part] picks byte 3i+k of 48 when it lies in register `part`.
    static const auto table = [] {
        std::array<std::array<std::array<int8_t, 16>, 3>, 3> t {};
        for (int k = 0; k < 3; ++k)
            for (int part = 0; part < 3; ++part)
                for (int i = 0; i < 16; ++i) {
                    const int from = 3 * i + k - 16 * part;
                    t[k][part][i] = int8_t(from >= 0 && from < 16 ? from : -1);
                }
        return t;
    }();
    __m128i gather[3][3];
    for (int k = 0; k < 3; ++k)
        for (int part = 0; part < 3; ++part)
            gather[k][part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table[k][part].data()));
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const int sx = x / 2 * 3;
        __m128i top[3], bottom[3];
        for (int k = 0; k < 3; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s0 + sx + 16 * k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1 + sx + 16 * k));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s2 + sx + 16 * k));
            top[k] = NearSsse3(a, b);
            bottom[k] = NearSsse3(c, b);
        }
        uint8_t* const rows[2] = { d0, d1 };
        const __m128i* const sums[2] = { top, bottom };
        for (int r = 0; r < 2; ++r) {
            const __m128i first = PickSsse3(sums[r], gather[0]), middle = PickSsse3(sums[r], gather[1]),
                          last = PickSsse3(sums[r], gather[2]);
            const __m128i even = NearSsse3(first, middle), odd = NearSsse3(last, middle);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[r] + x), _mm_unpacklo_epi8(even, odd));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[r] + x + 16), _mm_unpackhi_epi8(even, odd));
        }
    }
    return x;
}

#define TARGET_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

TARGET_AVX512_VBMI inline __m512i NearAvx512(__m512i a, __m512i b)
{
    return _mm512_avg_epu8(a, _mm512_avg_epu8(a, b));
}

// The 96 bytes from p: 64 in `low`, 32 in `high` (nothing read past them).
TARGET_AVX512_VBMI inline void LoadAvx512(const uint8_t* p, __m512i& low, __m512i& high)
{
    low = _mm512_loadu_si512(p);
    high = _mm512_maskz_loadu_epi8(0xffffffffULL, p + 64);
}

// The same, 64 new pixels (96 old) at a time: each row's two vertical means pick their
// bytes with one cross-register byte permute per output row, as [first, last] pairs
// beside [middle, middle] pairs, so one more pair of means gives the pixels in order.
TARGET_AVX512_VBMI int TwoThirdsRowsAvx512(
    const uint8_t* s0, const uint8_t* s1, const uint8_t* s2, uint8_t* d0, uint8_t* d1, int width)
{
    // Byte j picks source byte 3(j/2) + 0 or 2 (outer), or 3(j/2) + 1 (middle), of 128.
    static const auto table = [] {
        std::array<std::array<uint8_t, 64>, 2> t {};
        for (int j = 0; j < 64; ++j) {
            t[0][j] = uint8_t(3 * (j / 2) + (j % 2 ? 2 : 0));
            t[1][j] = uint8_t(3 * (j / 2) + 1);
        }
        return t;
    }();
    const __m512i outer = _mm512_loadu_si512(table[0].data()), middle = _mm512_loadu_si512(table[1].data());
    int x = 0;
    for (; x + 64 <= width; x += 64) {
        const int sx = x / 2 * 3;
        __m512i a0, a1, b0, b1, c0, c1;
        LoadAvx512(s0 + sx, a0, a1);
        LoadAvx512(s1 + sx, b0, b1);
        LoadAvx512(s2 + sx, c0, c1);
        const __m512i top0 = NearAvx512(a0, b0), top1 = NearAvx512(a1, b1);
        const __m512i bottom0 = NearAvx512(c0, b0), bottom1 = NearAvx512(c1, b1);
        _mm512_storeu_si512(d0 + x,
            NearAvx512(_mm512_permutex2var_epi8(top0, outer, top1), _mm512_permutex2var_epi8(top0, middle, top1)));
        _mm512_storeu_si512(d1 + x,
            NearAvx512(_mm512_permutex2var_epi8(bottom0, outer, bottom1),
                _mm512_permutex2var_epi8(bottom0, middle, bottom1)));
    }
    return x;
}
#undef TARGET_AVX512_VBMI
#endif

// The level in use; -1 until the first scale looks at the processor (constant-
// initialised, so a scale during another file's static construction is safe too).
std::atomic<int> twoThirdsLevel { -1 };

TwoThirdsLevel CurrentTwoThirdsLevel()
{
    int level = twoThirdsLevel.load(std::memory_order_relaxed);
    if (level < 0) {
        level = int(BestTwoThirdsLevel());
        twoThirdsLevel.store(level, std::memory_order_relaxed);
    }
    return TwoThirdsLevel(level);
}

void TwoThirdsPlane(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width, int height)
{
    const TwoThirdsLevel level = CurrentTwoThirdsLevel();
    for (int y = 0; y < height; y += 2) {
        const uint8_t* s0 = src + ptrdiff_t(y / 2 * 3) * srcStride;
        const uint8_t* s1 = s0 + srcStride;
        const uint8_t* s2 = s1 + srcStride;
        uint8_t* d0 = dst + ptrdiff_t(y) * dstStride;
        uint8_t* d1 = d0 + dstStride;
        int done = 0;
#if defined(__x86_64__) || defined(__i386__)
        if (level == TwoThirdsLevel::Avx512Vbmi)
            done = TwoThirdsRowsAvx512(s0, s1, s2, d0, d1, width);
        else if (level == TwoThirdsLevel::Ssse3)
            done = TwoThirdsRowsSsse3(s0, s1, s2, d0, d1, width);
#endif
        TwoThirdsRows(s0, s1, s2, d0, d1, done, width);
    }
}

// The sides of a picture that scales to two thirds: its chroma planes' and the
// vertical chroma shift. False for a format or size it does not take.
bool TwoThirdsShape(const AVFrame* picture, AVPixelFormat format, int& cw, int& ch, int& chromaShiftY)
{
    int chromaShiftX = 0;
    chromaShiftY = 0;
    switch (format) {
    case AV_PIX_FMT_YUV420P:
        chromaShiftX = chromaShiftY = 1;
        break;
    case AV_PIX_FMT_YUV422P:
        chromaShiftX = 1;
        break;
    case AV_PIX_FMT_YUV444P:
        break;
    default:
        return false;
    }
    const int w = picture->width, h = picture->height;
    cw = w >> chromaShiftX;
    ch = h >> chromaShiftY;
    return w > 0 && h > 0 && w % 3 == 0 && h % 3 == 0 && cw % 3 == 0 && ch % 3 == 0 && (cw << chromaShiftX) == w
        && (ch << chromaShiftY) == h;
}

} // namespace

TwoThirdsLevel BestTwoThirdsLevel()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init(); // may run before the constructors that would do it
    if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw"))
        return TwoThirdsLevel::Avx512Vbmi;
    if (__builtin_cpu_supports("ssse3"))
        return TwoThirdsLevel::Ssse3;
#endif
    return TwoThirdsLevel::Plain;
}

void SetTwoThirdsLevel(TwoThirdsLevel level)
{
    twoThirdsLevel.store(int(std::max(level, BestTwoThirdsLevel())), std::memory_order_relaxed);
}

bool TakesTwoThirds(const AVFrame* picture, AVPixelFormat format)
{
    int cw = 0, ch = 0, chromaShiftY = 0;
    return TwoThirdsShape(picture, format, cw, ch, chromaShiftY);
}

bool ScaleYuvTwoThirds(const AVFrame* picture, AVPixelFormat format, AVFrame* dst)
{
    int cw = 0, ch = 0, chromaShiftY = 0;
    const int w = picture->width, h = picture->height;
    if (!TwoThirdsShape(picture, format, cw, ch, chromaShiftY) || dst->width != w / 3 * 2 || dst->height != h / 3 * 2)
        return false;
    for (int plane = 0; plane < 3; ++plane) {
        const bool chroma = plane > 0;
        TwoThirdsPlane(picture->data[plane], picture->linesize[plane], dst->data[plane], dst->linesize[plane],
            (chroma ? cw : w) / 3 * 2, (chroma ? ch : h) / 3 * 2);
    }
    return true;
}

bool ScaleYuvTwoThirdsToRgb32(const AVFrame* picture, AVPixelFormat format, bool fullRange, AVColorSpace space,
    uint8_t* dst, int dstStride)
{
    int cw = 0, ch = 0, chromaShiftY = 0;
    if (!TwoThirdsShape(picture, format, cw, ch, chromaShiftY))
        return false;
    // A strip of rows at a time (two chroma rows and the luma rows they serve), scaled
    // into a few kilobytes that stay in the first-level cache while they are converted:
    // the scaled picture is never written out whole and read back.
    const int dw = picture->width / 3 * 2, dh = picture->height / 3 * 2, cdw = cw / 3 * 2;
    const int strip = 2 << chromaShiftY;
    // Kept by each thread, so a frame allocates nothing once the first has grown it.
    thread_local std::vector<uint8_t> rows;
    rows.resize(size_t(strip) * dw + size_t(4) * cdw);
    AVFrame part {};
    part.data[0] = rows.data();
    part.data[1] = part.data[0] + size_t(strip) * dw;
    part.data[2] = part.data[1] + size_t(2) * cdw;
    part.linesize[0] = dw;
    part.linesize[1] = part.linesize[2] = cdw;
    for (int y = 0; y < dh; y += strip) {
        const int cy = y >> chromaShiftY;
        TwoThirdsPlane(picture->data[0] + ptrdiff_t(y / 2 * 3) * picture->linesize[0], picture->linesize[0],
            part.data[0], dw, dw, strip);
        for (int plane = 1; plane < 3; ++plane)
            TwoThirdsPlane(picture->data[plane] + ptrdiff_t(cy / 2 * 3) * picture->linesize[plane],
                picture->linesize[plane], part.data[plane], cdw, cdw, 2);
        if (!ConvertYuvToRgb32(&part, format, fullRange, space, dst + ptrdiff_t(y) * dstStride, dstStride, dw, strip))
            return false;
    }
    return true;
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
