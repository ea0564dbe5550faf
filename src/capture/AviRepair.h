#pragma once
// Finishes an AVI file whose writing was cut off (the station killed or without power,
// a disk that filled up): what lies on disk up to the last whole chunk is kept, a
// chunk cut in half is dropped, and the index (idx1, or the OpenDML ix## of a last
// AVIX part) and the sizes and frame counts in the headers are written as the muxer
// would have written them at the end, so every player opens and seeks the movie.
//
// The repair works in place: it never needs room for a copy. When the disk is too
// full even for the index, the last moments are given up to make room for it.
//
// Any thread; one file at a time. The station repairs on a worker at start, only the
// movies its journal of recordings in progress names (RecordingJournal.h).

#include <cstdint>
#include <string>
#include <vector>

namespace kestovar {

enum class AviFileState {
    Complete, // nothing to repair
    Unfinished, // a movie whose end was never written: RepairAvi finishes it
    Unreadable, // not an AVI file, or cut off inside its header: nothing to save
};

// What the file on disk is. *why says what is missing or wrong.
AviFileState InspectAvi(const std::string& path, std::string* why = nullptr);

struct AviRepairResult {
    bool ok = false; // the file is complete now (also when it was already)
    bool changed = false;
    uint64_t videoFrames = 0; // in the repaired file
    uint64_t audioChunks = 0;
    uint64_t droppedBytes = 0; // the cut-off tail given up
    std::string error;
};

AviRepairResult RepairAvi(const std::string& path);

struct RepairedMovie {
    std::string path;
    AviRepairResult result;
};

// Which movies are repaired at start, and when: RecordingJournal.h.

} // namespace kestovar
