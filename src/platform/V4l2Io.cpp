#include "platform/V4l2Io.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kestovar {
namespace {

class SystemIo final : public V4l2Io {
public:
    int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags | O_CLOEXEC); }
    int Close(int fd) override { return ::close(fd); }
    int Ioctl(int fd, unsigned long request, void* arg) override
    {
        int r;
        do {
            r = ::ioctl(fd, request, arg);
        } while (r == -1 && errno == EINTR);
        return r;
    }
    void* Mmap(size_t length, int fd, off_t offset) override
    {
        return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    }
    int Munmap(void* address, size_t length) override { return ::munmap(address, length); }
    int Poll(int fd, int timeoutMs) override
    {
        pollfd p { fd, POLLIN, 0 };
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r == -1 && errno == EINTR);
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN)) {
            errno = ENODEV;
            return -1;
        }
        return r;
    }
};

} // namespace

std::shared_ptr<V4l2Io> SystemV4l2Io()
{
    static const auto io = std::make_shared<SystemIo>();
    return io;
}

} // namespace kestovar
