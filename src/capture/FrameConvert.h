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

// Converts a decoded picture to 24-bit colour and writes it as a JPEG file of the
// picture's size (Qt's default quality). The file appears whole or not at all.
bool WriteFrameAsJpeg(const AVFrame* frame, const std::string& path, std::string* message = nullptr);

} // namespace kestovar
