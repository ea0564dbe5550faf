#pragma once
// The station's single-instance guard: an exclusive flock on a lock file named after
// the instance name, in $KESTOVAR_LOCK_DIR when set, else the system's temporary
// folder. The lock belongs to the process for as long as this object lives and is
// released by the kernel when the process ends in any way, so a crashed copy never
// blocks the next one. The descriptor is close-on-exec: a child program does not
// inherit the lock.

#include "platform/UniqueFd.h"

#include <QString>

namespace kestovar {

class InstanceLock {
public:
    enum State {
        Held, // this process holds the lock
        HeldByOther, // another process (or another InstanceLock of this one) holds it
        Unavailable, // the lock file could not be opened; nobody can be told apart
    };

    // Tries once, without waiting.
    explicit InstanceLock(const QString& name);

    State state() const { return state_; }
    bool HeldByAnother() const { return state_ == HeldByOther; }
    const QString& filePath() const { return path_; }
    int error() const { return error_; } // errno when Unavailable

    // "<folder>/<name>.lock" with path separators in the name replaced by '_'.
    static QString LockFilePath(const QString& name);

private:
    UniqueFd fd_;
    State state_ = Unavailable;
    QString path_;
    int error_ = 0;
};

} // namespace kestovar
