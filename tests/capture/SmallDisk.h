#pragma once
// A small real file system for full-disk tests: a tmpfs of a given size mounted on a
// temporary folder (root only), unmounted again at the end of the test.

#include "AviPlayCheck.h"
#include "TestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace kestovar::test {

class SmallDisk {
public:
    explicit SmallDisk(unsigned kib)
    {
        if (geteuid() != 0) {
            why_ = "needs root to mount a small tmpfs";
            return;
        }
        const std::string cmd = "mount -t tmpfs -o size=" + std::to_string(kib) + "k kestovar-test "
            + Quoted(dir_.str()) + " 2>&1";
        std::string out;
        if (RunCommand(cmd, &out) != 0) {
            why_ = "cannot mount a tmpfs: " + out;
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk()
    {
        if (mounted_)
            RunCommand("umount -l " + Quoted(dir_.str()) + " 2>&1", nullptr);
    }
    bool Ready() const { return mounted_; }
    const std::string& WhyNot() const { return why_; }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Folder() const { return dir_.str(); }

    // Fills the rest of the disk with a file of its own; returns the bytes written.
    uint64_t Fill(const std::string& name = "filler.bin")
    {
        const int fd = open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return 0;
        std::vector<char> block(64 * 1024, 'x');
        uint64_t written = 0;
        for (size_t size = block.size(); size > 0;) {
            const ssize_t n = write(fd, block.data(), size);
            if (n > 0) {
                written += static_cast<uint64_t>(n);
                continue;
            }
            if (n < 0 && errno != ENOSPC)
                break;
            size /= 2; // the last pages, down to single bytes
        }
        close(fd);
        return written;
    }

private:
    TempDir dir_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace kestovar::test
