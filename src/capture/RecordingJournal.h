#pragma once
// The station's journal of recordings in progress: the movies it has created and not
// yet completed. The start-up repair finishes only these, so a movie copied in from
// elsewhere, one another program is still writing, or a foreign file cut short is
// never touched.
//
// A small text file (beside the settings hive, "recordings-in-progress"): a first line
// "kestovar recordings in progress 1", then one line per movie, "<device> <inode>
// <path>" with "\" and line breaks in the path written as "\\" and "\n". Every change
// replaces the whole file atomically and flushes it and its folder to the disk, so the
// journal survives a SIGKILL or a power cut at any moment. The device and inode tell a
// movie from another file given its name later.
//
// The journal is process-wide and off until SetRecordingJournal names its file; the
// AVI writer adds its movie when it has created the file and removes it once the file
// is complete. Any thread: changes are serialised within the process (the station is
// a single instance).

#include "capture/AviRepair.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestovar {

struct JournalEntry {
    std::string path;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const JournalEntry& o) const
    {
        return path == o.path && device == o.device && inode == o.inode;
    }
};

// Names the journal file (empty: no journal). Set before anything records.
void SetRecordingJournal(const std::string& journalPath);
std::string RecordingJournal();

// The entries of `journalPath`; none when it does not exist. A damaged line is skipped.
std::vector<JournalEntry> ReadRecordingJournal(const std::string& journalPath);

// The movie `moviePath`, just created, is being recorded. False with *error when the
// journal cannot be written (the recording goes on; only its repair after a crash is
// lost). True without a journal.
bool JournalRecordingStarted(const std::string& moviePath, std::string* error);
// The movie is complete (or gone): its entry is removed.
void JournalRecordingEnded(const std::string& moviePath);
// Removes exactly these entries of `journalPath`, keeping any added since they were read.
bool ForgetJournalEntries(const std::string& journalPath, const std::vector<JournalEntry>& entries);

// Why a journal entry's file is not repaired now, or empty when it may be.
// "gone": no file of that name, or another file under it (deleted or renamed since);
// "open": a process has it open; "changing": its size or time changes.
// `settleMs` is how long the size and time are watched.
std::string WhyNotRepairable(const JournalEntry& entry, int settleMs);

// The start-up repair: of `entries` (read from `journalPath` before anything could
// record), every movie that is still the file the station created, that no process
// has open and that is not changing, is repaired when unfinished. Entries whose file
// was completed, repaired, deleted or replaced are removed from the journal; those
// left alone because something has the file open stay for the next start. Only
// repaired (or unrepairable) movies are returned.
std::vector<RepairedMovie> RepairJournaledMovies(
    const std::string& journalPath, const std::vector<JournalEntry>& entries, int settleMs = 500);

} // namespace kestovar
