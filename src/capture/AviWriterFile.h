#pragma once
// The AVI writer's file: the muxer writes through this object's AVIOContext into a
// file descriptor it owns, and between packets the writer makes the file whole up to
// there (Checkpoint): what the muxer has buffered is written out and the RIFF and movi
// sizes and the frame counts in the headers are set to what lies on disk. A station
// killed or without power leaves a file that players open as it is, missing only the
// index, which the repair at the next start rebuilds (AviRepair).
//
// `failAfterBytes` (tests) makes every write that would grow the file past that size
// fail with ENOSPC, as a full disk does; writes below it (the header) still succeed.
//
// Used only by the writer thread once opened.

#include "capture/AviRepairScan.h"
#include "platform/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct AVIOContext;

namespace kestovar {

class AviWriterFile {
public:
    AviWriterFile() = default;
    ~AviWriterFile();
    AviWriterFile(const AviWriterFile&) = delete;
    AviWriterFile& operator=(const AviWriterFile&) = delete;

    // Creates the file (never replaces one). False with *error.
    bool Open(const std::string& path, uint64_t failAfterBytes, std::string* error);
    AVIOContext* Context() const { return io_; }

    // Writes out what the muxer buffered and sets sizes and counts to it; with `sync`
    // the data also goes to the disk itself. False when the file cannot be written.
    bool Checkpoint(bool sync);

    // Free bytes for this file on its file system; nothing when it cannot be asked.
    std::optional<uint64_t> FreeBytes() const;
    // Chunks written so far over every stream (after the last Checkpoint).
    uint64_t Chunks() const;
    uint64_t Size() const { return size_; }

    // Frees the I/O context and closes the file.
    void Close();

private:
    static int Write(void* opaque, uint8_t* data, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);

    UniqueFd fd_;
    AVIOContext* io_ = nullptr;
    uint64_t pos_ = 0;
    uint64_t size_ = 0;
    uint64_t failAfter_ = 0;
    AviHeaderFields header_;
    bool headerKnown_ = false;
    std::unique_ptr<AviChunkScanner> scanner_;
};

} // namespace kestovar
