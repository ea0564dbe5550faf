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

// Lowers the calling thread further, for long work nobody waits for (sending to the
// PACS): nice kBackgroundNice, then the idle scheduling class (SCHED_IDLE: it runs only
// when no normal thread wants the processor, so the live picture and a recording are
// never kept waiting by it) and the idle I/O class (its reads and writes go when the
// disk has nothing else to do). Threads it starts (an encoder's) inherit both. False
// when the system refused the idle classes; the thread is then at least at
// kBackgroundNice.
bool LowerThisThreadToIdle();

// The calling thread's nice value.
int ThisThreadNice();

// Whether the calling thread is in the idle scheduling class, and its I/O class is idle.
bool ThisThreadIsIdle();

} // namespace kestovar
