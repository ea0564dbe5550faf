#pragma once
// What the video area shows now. Kept in CKestovarApp::mode; only the media control
// operations of CKestovarApp change it.

#include <cstdint>

namespace kestovar {

enum class AppMode : int32_t {
    Idle = 0, // nothing runs
    Live = 1, // live preview (previewGraph exists)
    Recording = 2, // recordGraph exists, running or paused
    Playing = 3, // a movie plays (playerGraph exists)
    PlaybackPaused = 4, // a movie is open and paused; also right after it was opened
    StillShown = 5, // a picture file is drawn in the video window
};

} // namespace kestovar
