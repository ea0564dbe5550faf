#pragma once
// The system calls V4l2Camera makes, behind one interface so tests can replay a
// camera's answers without a device. Failures return -1 (MAP_FAILED for Mmap) and
// leave the reason in errno, exactly as the system calls do.

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

namespace kestovar {

class V4l2Io {
public:
    virtual ~V4l2Io() = default;
    virtual int Open(const std::string& path, int flags) = 0;
    virtual int Close(int fd) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* Mmap(size_t length, int fd, off_t offset) = 0;
    virtual int Munmap(void* address, size_t length) = 0;
    // >0 when a buffer can be dequeued, 0 on timeout, -1 on error.
    virtual int Poll(int fd, int timeoutMs) = 0;
};

// The real system calls (ioctl retried on EINTR).
std::shared_ptr<V4l2Io> SystemV4l2Io();

} // namespace kestovar
