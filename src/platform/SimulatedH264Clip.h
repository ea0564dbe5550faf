#pragma once
// The simulated Full HD camera's H.264 stream: a clip of two seconds encoded once
// with libx264 the way the camera's encoder works (Annex B, SPS/PPS in band, no
// B-frames, an IDR frame every second, the set bit rate) and replayed in a loop. A
// clip starts with an IDR frame, so the loop is a valid stream.

#include "platform/SimulatedPicture.h"

#include <cstdint>
#include <memory>
#include <string>
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

// The clip for `key`, from a small process-wide cache, else from the clip file kept on
// disk, else freshly encoded (about 10 ms a frame at 1920x1080, 0.6 s for a 1080p
// clip) and kept on disk for the next start. Null when libx264 is missing or fails.
// Thread-safe.
//
// The clip files live in $KESTOVAR_CLIP_CACHE when set, else in
// $XDG_CACHE_HOME/kestovar/simulated-camera (~/.cache/...). A file names its key and
// the libavcodec build that encoded it; one that is damaged, of another key or
// another build is encoded anew and replaced (atomically). A folder that cannot be
// written only costs the encoding at every start.
std::shared_ptr<const SimulatedClip> SimulatedH264Clip(const SimulatedClipKey& key);

// Where the clip file of `key` is (or would be) kept; empty when no cache folder is known.
std::string SimulatedClipCachePath(const SimulatedClipKey& key);

} // namespace kestovar
