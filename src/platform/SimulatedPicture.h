#pragma once
// The simulated camera's test picture: colour bars that move with every frame, a red
// square in the top-left corner that shows which way is up and which side is left,
// and the frame counter burned in at the bottom left. Drawn straight into a planar
// YUV frame (yuv420p, yuvj420p, yuv422p or yuvj422p).

#include <cstdint>

extern "C" {
struct AVFrame;
}

namespace kestovar {

// The image controls that change the picture, in the simulated camera's ranges
// (brightness -64..64, contrast 0..64 with 32 neutral, saturation 0..128 with 64
// neutral).
struct PictureAdjust {
    int brightness = 0;
    int contrast = 32;
    int saturation = 64;
    bool operator==(const PictureAdjust&) const = default;
};

// Draws frame number `counter` into `frame` (its format, width and height are set
// and its buffers allocated). False for a format it cannot draw.
bool DrawSimulatedPicture(AVFrame* frame, uint64_t counter, const PictureAdjust& adjust);

} // namespace kestovar
