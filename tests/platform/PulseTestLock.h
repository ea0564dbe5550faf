#pragma once
// Tests that play to or record from the test daemon's null sink take this lock, so
// that ctest running them side by side does not mix one test's sound into another's
// measurement. A whole-file flock, released when the object goes.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kestovar::test {

class PulseTestLock {
public:
    PulseTestLock()
    {
        const char* dir = std::getenv("XDG_RUNTIME_DIR");
        const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/kestovar-test-sound.lock";
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~PulseTestLock()
    {
        if (fd_ >= 0)
            close(fd_); // releases the lock
    }
    PulseTestLock(const PulseTestLock&) = delete;
    PulseTestLock& operator=(const PulseTestLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace kestovar::test
