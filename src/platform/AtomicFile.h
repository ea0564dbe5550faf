#pragma once
// Whole-file replacement that never leaves a half-written file behind, and keeping a
// damaged file aside instead of writing over it. Settings (hive files) and case
// information files both go through here.
//
// A save writes the new contents to a hidden temporary file beside the target
// (".<name>.tmp-<pid>-<n>"), flushes it to disk and renames it over the old file: a
// reader sees the old file or the new one, whole, even after a crash or power loss.
// A save killed half-way leaves its temporary file; the next save of the same file (or
// RemoveStaleTemporaries at start-up) removes temporaries whose process is gone.
//
// Not for files that several processes write at once; the station is a single instance.

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace kestovar {

struct AtomicWriteResult {
    int error = 0; // errno of the failed step, 0 on success
    const char* step = ""; // what failed: "create temporary file", "write", ...
    bool ok() const { return error == 0; }
};

// Replaces `path` with `contents`. An existing file keeps its permission bits; a new one
// gets 0666 less the umask. With syncFolder the folder entry is flushed too, so the
// rename itself survives a power loss. On failure the old file is untouched and no
// temporary file is left.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view contents, bool syncFolder);
// The same for Qt callers; returns 0 or the errno.
int WriteFileAtomically(const QString& path, const QByteArray& contents, bool syncFolder);

// Removes the temporary files of `path` left by saves whose process no longer runs.
// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& path);
// The same for every file of `folder` (case files of movies that are never saved again).
int RemoveStaleTemporariesIn(const std::string& folder);

// Moves a damaged file to the first free "<name>.bad", "<name>.1.bad", ... without ever
// replacing an earlier copy. Returns the new name, or empty with `error` set.
std::string KeepDamagedFileAside(const std::string& path, int& error);

} // namespace kestovar
