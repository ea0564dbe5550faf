#pragma once
// Whole-file replacement that never leaves a half-written file behind: the new
// contents go to a temporary file in the same folder, are flushed to disk, and the
// temporary file is renamed over the old one. A reader sees the old file or the new
// one, never a mixture, even after a crash or power loss.

#include <QByteArray>
#include <QString>

namespace kestovar {

// Replaces `path` with `contents`. An existing file keeps its permission bits; a new
// one gets 0644. With syncFolder the folder entry is flushed too, so the rename itself
// survives a power loss. Returns 0 on success, else the errno of the step that failed
// (the old file is then untouched and no temporary file is left).
int WriteFileAtomically(const QString& path, const QByteArray& contents, bool syncFolder);

} // namespace kestovar
