#pragma once
// Tells key frames in a camera's H.264 stream, which arrives in Annex B form (start
// codes) with one access unit per buffer.

#include <cstddef>
#include <cstdint>

namespace kestovar {

// True when the access unit holds an IDR slice (NAL type 5) or a sequence parameter
// set (type 7): a decoder can start there.
bool H264HasKeyFrame(const uint8_t* data, size_t size);

} // namespace kestovar
