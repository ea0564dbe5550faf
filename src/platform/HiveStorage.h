#pragma once
// Reading and writing one hive file on disk.
//
// A file that cannot be parsed is never overwritten: it is renamed aside with a ".bad"
// suffix (".1.bad", ".2.bad", ... when that name is taken) and reading continues as if
// there were no file, so the operator's settings survive for inspection or repair. A file
// that exists but cannot be read (permissions, I/O error) makes the hive unusable: reads
// fail and writes are refused, because writing would replace what could not be read.
//
// Called on the GUI thread only; there is no cache, every call reads the file anew.

#include "platform/HiveFile.h"

#include <QString>

namespace kestovar {

struct HiveLoadResult {
    enum Status {
        Loaded, // the file was read
        Missing, // there is no file yet: an empty hive
        SetAside, // the file was damaged and moved to setAsidePath: an empty hive
        Unusable, // the file exists but cannot be read, or a damaged file could not be moved
    };
    Status status = Missing;
    HiveFile hive;
    int error = 0; // errno when Unusable
    QString setAsidePath; // when SetAside
    QString problem; // what was wrong with a damaged file
};

HiveLoadResult LoadHiveFile(const QString& path);

// Writes the hive atomically, creating the folder when needed. `durable` also flushes
// the folder entry. Returns 0 or the errno of the failed step (the old file stays).
int SaveHiveFile(const QString& path, const HiveFile& hive, bool durable);

} // namespace kestovar
