#pragma once
// The simulated Full HD camera's H.264 stream: a clip of two seconds encoded once
// with libx264 the way the camera's encoder works (Annex B, SPS/PPS in band, no
// B-frames, an IDR frame every second, the set bit rate) and replayed in a loop. A
// clip starts with an IDR frame, so the loop is a valid stream.

#include "platform/SimulatedPicture.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestovar {

struct SimulatedClipKey {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fps = 30;
    uint32_t bitrateBps = 0;
    PictureAdjust adjust;
    bool operator==(const SimulatedClipKey&) const = default;
};

struct SimulatedClip {
    SimulatedClipKey key;
    std::vector<std::vector<uint8_t>> packets; // one access unit per frame, 2 x fps of them
};

// The clip for `key`, from a small process-wide cache or freshly encoded (about
// 10 ms a frame at 1920x1080). Null when libx264 is missing or fails. Thread-safe.
std::shared_ptr<const SimulatedClip> SimulatedH264Clip(const SimulatedClipKey& key);

} // namespace kestovar
