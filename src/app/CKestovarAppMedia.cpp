// The media control operations of CKestovarApp: the only code that creates, runs and
// destroys the preview, recording and player graphs and moves `mode`.
//
// Only CloseAll exists so far, because the close path needs it; the start and stop
// operations (StartPreview, StartRecord, OpenPlayback, ShowStill, ...) are added here
// together with the graphs.

#include "app/CKestovarApp.h"

namespace kestovar {

void CKestovarApp::CloseAll()
{
    // With the graphs this stops and tears down, in order, the preview, the recording
    // (which completes its file) and the player. No graph can exist yet.
    currentMediaPath.clear();
    mode = AppMode::Idle;
}

} // namespace kestovar
