#pragma once
// Work that may wait (thumbnails of the media list) gives way to the live picture and
// the recording: its threads run at a lower priority than the rest of the process.

namespace kestovar {

// The nice value of background threads: about a tenth of a normal thread's share of
// a busy processor, yet never starved.
constexpr int kBackgroundNice = 10;

// Lowers the calling thread (only it, not the process) to kBackgroundNice; a thread
// already lower stays as it is. False when the system refused.
bool LowerThisThreadToBackground();

// The calling thread's nice value.
int ThisThreadNice();

} // namespace kestovar
