#pragma once
// Colour conversion helpers shared by the frame grabber and the still pictures.
// Pure functions; any thread.

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace kestovar {

// libswscale wants the plain YUV twin of a JPEG (yuvj*) format with the range set
// separately. Returns the format to give it; `fullRange` tells the range (H.264 of
// unknown range counts as limited).
AVPixelFormat SwsInputFormat(const AVFrame* frame, bool& fullRange);

// Sets the source range and matrix of `ctx` from the frame; the output is full-range RGB.
void SetSwsColorDetails(SwsContext* ctx, const AVFrame* frame, bool fullRange);

// Converts a YUV picture 1:1 into 32-bit colour rows (QImage::Format_RGB32) with
// libyuv, with the matrix and range that SetSwsColorDetails would give libswscale.
// `format` is the picture's plain format as SwsInputFormat returns it. Writes exactly
// width pixels a row, whatever the width (libswscale's converter falls back to slow
// code for an odd width, which a window of any size easily has). False for a format
// it does not take (the caller then uses libswscale).
bool ConvertYuvToRgb32(const AVFrame* picture, AVPixelFormat format, bool fullRange, AVColorSpace space,
    uint8_t* dst, int dstStride, int width, int height);

// Scales a YUV picture (plain 4:2:0, 4:2:2 or 4:4:4, as SwsInputFormat gives) to
// exactly half its size, each new pixel the mean of a 2x2 square, with libyuv. `dst`
// must hold a picture of that format and half the size. False for an odd size or a
// format it does not take (the caller then scales with libswscale).
bool HalveYuv(const AVFrame* picture, AVPixelFormat format, AVFrame* dst);

// Scales a YUV picture (the same formats) to exactly two thirds of its size: every
// three pixels across and down become two, each new pixel 3/4 its nearer source pixel
// and 1/4 the middle one (a bilinear sample at its centre). `dst` must hold a picture
// of that format and size. False when a plane's sides are no multiple of 3 or for a
// format it does not take (the caller then scales with libswscale).
bool ScaleYuvTwoThirds(const AVFrame* picture, AVPixelFormat format, AVFrame* dst);

// The instructions ScaleYuvTwoThirds uses, best first; each level gives the same bytes.
// Chosen from the processor at first use; tests set a lower one to check it.
enum class TwoThirdsLevel { Avx512Vbmi, Ssse3, Plain };
TwoThirdsLevel BestTwoThirdsLevel();
void SetTwoThirdsLevel(TwoThirdsLevel level); // no higher than BestTwoThirdsLevel()

// Whether ScaleYuvTwoThirds takes the picture (its format and sides).
bool TakesTwoThirds(const AVFrame* picture, AVPixelFormat format);

// ScaleYuvTwoThirds and ConvertYuvToRgb32 in one pass, a few rows at a time, into
// rows of two thirds the picture's width. False when ScaleYuvTwoThirds would be.
bool ScaleYuvTwoThirdsToRgb32(const AVFrame* picture, AVPixelFormat format, bool fullRange, AVColorSpace space,
    uint8_t* dst, int dstStride);

// Converts a decoded picture to 24-bit colour and writes it as a JPEG file of the
// picture's size (Qt's default quality). The file appears whole or not at all.
bool WriteFrameAsJpeg(const AVFrame* frame, const std::string& path, std::string* message = nullptr);

} // namespace kestovar
