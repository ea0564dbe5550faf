#pragma once
// The simulated Pro camera's MJPG stream: each frame drawn and JPEG-encoded live
// (yuvj422p, as UVC cameras send it; about 3 ms a frame at 640x480).
// Used by one thread at a time.

#include "platform/CameraAvPtr.h"
#include "platform/SimulatedPicture.h"

#include <cstdint>
#include <vector>

namespace kestovar {

class SimulatedMjpegEncoder {
public:
    bool Open(uint32_t width, uint32_t height);
    bool Encode(uint64_t counter, const PictureAdjust& adjust, std::vector<uint8_t>& out);

private:
    av::CodecContextPtr ctx_;
    av::FramePtr frame_;
    av::PacketPtr packet_;
};

} // namespace kestovar
