#include "capture/AviWriterFile.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestovar {

namespace {

constexpr int kIoBufferBytes = 256 * 1024;

} // namespace

AviWriterFile::~AviWriterFile()
{
    Close();
}

bool AviWriterFile::Open(const std::string& path, uint64_t failAfterBytes, std::string* error)
{
    Close();
    fd_.reset(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd_) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    failAfter_ = failAfterBytes;
    pos_ = size_ = 0;
    headerKnown_ = false;
    scanner_.reset();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer)
        io_ = avio_alloc_context(
            buffer, kIoBufferBytes, 1, this, nullptr, &AviWriterFile::Write, &AviWriterFile::Seek);
    if (!io_) {
        av_free(buffer);
        *error = "out of memory for writing " + path;
        return false;
    }
    return true;
}

int AviWriterFile::Write(void* opaque, uint8_t* data, int size)
{
    auto* self = static_cast<AviWriterFile*>(opaque);
    int allowed = size;
    if (self->failAfter_ && self->pos_ + static_cast<uint64_t>(size) > self->failAfter_)
        allowed = self->pos_ >= self->failAfter_ ? 0 : static_cast<int>(self->failAfter_ - self->pos_);
    int done = 0;
    while (done < allowed) {
        const ssize_t n = pwrite(self->fd_.get(), data + done, static_cast<size_t>(allowed - done),
            static_cast<off_t>(self->pos_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return AVERROR(n < 0 ? errno : EIO);
        done += static_cast<int>(n);
        self->pos_ += static_cast<uint64_t>(n);
        if (self->pos_ > self->size_)
            self->size_ = self->pos_;
    }
    return done < size ? AVERROR(ENOSPC) : size;
}

int64_t AviWriterFile::Seek(void* opaque, int64_t offset, int whence)
{
    auto* self = static_cast<AviWriterFile*>(opaque);
    whence &= ~AVSEEK_FORCE;
    int64_t target = 0;
    switch (whence) {
    case AVSEEK_SIZE:
        return static_cast<int64_t>(self->size_);
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = static_cast<int64_t>(self->pos_) + offset;
        break;
    case SEEK_END:
        target = static_cast<int64_t>(self->size_) + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (target < 0)
        return AVERROR(EINVAL);
    self->pos_ = static_cast<uint64_t>(target);
    return target;
}

bool AviWriterFile::Checkpoint(bool sync)
{
    if (!io_)
        return false;
    avio_flush(io_);
    if (io_->error < 0)
        return false;
    if (!headerKnown_) {
        // The muxer has written its whole header by the first packet.
        std::string ignored;
        if (!ReadAviHeaderFields(fd_.get(), size_, header_, &ignored))
            return true;
        headerKnown_ = true;
        scanner_ = std::make_unique<AviChunkScanner>(fd_.get(), header_, false);
    }
    scanner_->Advance(size_);
    const auto& parts = scanner_->Parts();
    const AviRiffPart& last = parts.back();
    const uint64_t end = scanner_->Position();
    // Only the part being written: the muxer closes each earlier one itself.
    bool ok = true;
    if (last.moviOffset && !last.moviClosed) {
        ok = AviWrite32(fd_.get(), last.offset + 4, static_cast<uint32_t>(end - last.offset - 8))
            && AviWrite32(fd_.get(), last.moviOffset + 4, static_cast<uint32_t>(end - last.moviOffset - 8));
        uint64_t video = 0;
        for (size_t s = 0; s < header_.streams.size(); ++s) {
            const AviStreamFields& f = header_.streams[s];
            const uint64_t length
                = f.sampleSize ? scanner_->BytesOf(s) / f.sampleSize : scanner_->ChunksOf(s);
            ok = ok && AviWrite32(fd_.get(), f.lengthOffset, static_cast<uint32_t>(length));
            if (f.IsVideo())
                video += scanner_->ChunksOf(s);
        }
        uint64_t firstPartVideo = 0;
        for (size_t s = 0; s < header_.streams.size(); ++s)
            if (header_.streams[s].IsVideo())
                firstPartVideo += parts.front().chunksPerStream[s];
        ok = ok && AviWrite32(fd_.get(), header_.totalFramesOffset, static_cast<uint32_t>(firstPartVideo));
        if (header_.dmlhOffset)
            ok = ok && AviWrite32(fd_.get(), header_.dmlhOffset, static_cast<uint32_t>(video));
    }
    if (ok && sync)
        ok = fdatasync(fd_.get()) == 0;
    return ok;
}

std::optional<uint64_t> AviWriterFile::FreeBytes() const
{
    struct statvfs st { };
    if (!fd_ || fstatvfs(fd_.get(), &st) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

uint64_t AviWriterFile::Chunks() const
{
    uint64_t n = 0;
    for (size_t s = 0; scanner_ && s < header_.streams.size(); ++s)
        n += scanner_->ChunksOf(s);
    return n;
}

void AviWriterFile::Close()
{
    if (io_) {
        avio_flush(io_);
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    scanner_.reset();
    fd_.reset();
}

} // namespace kestovar
