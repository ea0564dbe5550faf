#include "capture/AviRepairScan.h"

#include "capture/VideoKeyFrames.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace kestovar {

namespace {

// Enough of an access unit to find its parameter sets or IDR slice, which come first.
constexpr size_t kKeyProbeBytes = 512;

bool IsDigit(uint8_t c)
{
    return c >= '0' && c <= '9';
}

// "00dc", "00db", "01wb", "00pc": a stream's data chunk.
bool IsStreamChunk(uint32_t id, uint16_t& stream)
{
    const auto* c = reinterpret_cast<const uint8_t*>(&id);
    if (!IsDigit(c[0]) || !IsDigit(c[1]))
        return false;
    const bool kind = (c[2] == 'd' && (c[3] == 'c' || c[3] == 'b')) || (c[2] == 'w' && c[3] == 'b')
        || (c[2] == 'p' && c[3] == 'c');
    if (!kind)
        return false;
    stream = static_cast<uint16_t>((c[0] - '0') * 10 + (c[1] - '0'));
    return true;
}

// "ix00": an OpenDML index chunk inside a movi list.
bool IsIndexChunk(uint32_t id)
{
    const auto* c = reinterpret_cast<const uint8_t*>(&id);
    return c[0] == 'i' && c[1] == 'x' && IsDigit(c[2]) && IsDigit(c[3]);
}

bool IsH264Tag(uint32_t tag)
{
    char text[5] = {};
    std::memcpy(text, &tag, 4);
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return std::strcmp(text, "H264") == 0 || std::strcmp(text, "X264") == 0 || std::strcmp(text, "AVC1") == 0;
}

bool PRead(int fd, uint64_t at, void* into, size_t n)
{
    auto* out = static_cast<uint8_t*>(into);
    while (n > 0) {
        const ssize_t got = pread(fd, out, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        at += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

uint32_t AviFourcc(const char* text)
{
    uint32_t v = 0;
    std::memcpy(&v, text, 4);
    return v;
}

uint32_t AviLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

void AviPutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool AviWrite32(int fd, uint64_t at, uint32_t value)
{
    uint8_t bytes[4];
    AviPutLe32(bytes, value);
    return pwrite(fd, bytes, 4, static_cast<off_t>(at)) == 4;
}

bool AviStreamFields::IsVideo() const
{
    return type == AviFourcc("vids");
}

bool ReadAviHeaderFields(int fd, uint64_t fileSize, AviHeaderFields& out, std::string* error)
{
    auto fail = [error](const char* why) {
        if (error)
            *error = why;
        return false;
    };
    uint8_t head[24];
    if (fileSize < sizeof head || !PRead(fd, 0, head, sizeof head))
        return fail("the file is shorter than an AVI header");
    if (AviLe32(head) != AviFourcc("RIFF") || AviLe32(head + 8) != AviFourcc("AVI ")
        || AviLe32(head + 12) != AviFourcc("LIST") || AviLe32(head + 20) != AviFourcc("hdrl"))
        return fail("the file is not an AVI file");
    const uint64_t hdrlEnd = 20 + static_cast<uint64_t>(AviLe32(head + 16));
    // The header list is written in one piece before any picture: a file cut off
    // inside it holds nothing to save.
    if (hdrlEnd > fileSize || hdrlEnd > (16u << 20))
        return fail("the file's header is not complete");
    std::vector<uint8_t> hdrl(hdrlEnd);
    if (!PRead(fd, 0, hdrl.data(), hdrl.size()))
        return fail("the file's header cannot be read");

    out = AviHeaderFields {};
    // Walks [begin, end) of the header list, descending into LISTs.
    auto walk = [&](auto&& self, uint64_t begin, uint64_t end) -> void {
        uint64_t at = begin;
        while (at + 8 <= end) {
            const uint32_t id = AviLe32(&hdrl[at]);
            const uint32_t size = AviLe32(&hdrl[at + 4]);
            const uint64_t body = at + 8;
            if (body + size > end)
                return;
            if (id == AviFourcc("LIST") && size >= 4) {
                if (AviLe32(&hdrl[body]) == AviFourcc("strl"))
                    out.streams.emplace_back();
                self(self, body + 4, body + size);
            } else if (id == AviFourcc("avih") && size >= 20 && !out.totalFramesOffset) {
                out.totalFramesOffset = body + 16;
            } else if (id == AviFourcc("dmlh") && size >= 4) {
                out.dmlhOffset = body;
            } else if (id == AviFourcc("strh") && size >= 48 && !out.streams.empty()) {
                AviStreamFields& s = out.streams.back();
                s.type = AviLe32(&hdrl[body]);
                s.h264 = s.IsVideo() && IsH264Tag(AviLe32(&hdrl[body + 4]));
                s.lengthOffset = body + 32;
                s.sampleSize = AviLe32(&hdrl[body + 44]);
            } else if (id == AviFourcc("strf") && size >= 20 && !out.streams.empty()
                && out.streams.back().IsVideo()) {
                out.streams.back().h264 = out.streams.back().h264 || IsH264Tag(AviLe32(&hdrl[body + 16]));
            } else if (id == AviFourcc("indx") && size >= 24 && !out.streams.empty()) {
                out.streams.back().indxOffset = at;
                out.streams.back().indxSize = size;
            }
            at = body + size + (size & 1);
        }
    };
    walk(walk, 24, hdrlEnd);
    if (!out.totalFramesOffset || out.streams.empty())
        return fail("the file's header names no stream");
    return true;
}

AviChunkScanner::AviChunkScanner(int fd, const AviHeaderFields& header, bool keepChunks)
    : fd_(fd)
    , header_(header)
    , keep_(keepChunks)
    , bytes_(header.streams.size(), 0)
{
    parts_.push_back(AviRiffPart {});
    parts_.back().chunksPerStream.assign(header.streams.size(), 0);
}

bool AviChunkScanner::ReadAt(uint64_t at, void* into, size_t n) const
{
    return PRead(fd_, at, into, n);
}

uint64_t AviChunkScanner::ChunksOf(size_t s) const
{
    uint64_t n = 0;
    for (const AviRiffPart& part : parts_)
        n += s < part.chunksPerStream.size() ? part.chunksPerStream[s] : 0;
    return n;
}

uint64_t AviChunkScanner::BytesOf(size_t s) const
{
    return s < bytes_.size() ? bytes_[s] : 0;
}

void AviChunkScanner::AddChunk(uint64_t at, uint32_t id, uint32_t size)
{
    AviRiffPart& part = parts_.back();
    if (IsIndexChunk(id))
        ++part.indexChunks;
    uint16_t stream = 0;
    if (!IsStreamChunk(id, stream) || stream >= header_.streams.size())
        return;
    ++part.chunksPerStream[stream];
    bytes_[stream] += size;
    if (!keep_)
        return;
    AviChunk chunk { at, size, stream, true };
    const AviStreamFields& s = header_.streams[stream];
    if (s.IsVideo()) {
        if (size == 0) {
            chunk.key = false; // a "drop" chunk: the previous frame stays
        } else if (s.h264) {
            uint8_t probe[kKeyProbeBytes];
            const size_t n = size < sizeof probe ? size : sizeof probe;
            chunk.key = ReadAt(at + 8, probe, n) && H264HasKeyFrame(probe, n);
        }
    }
    part.chunks.push_back(chunk);
}

bool AviChunkScanner::Advance(uint64_t fileSize)
{
    if (damaged_)
        return false;
    for (;;) {
        if (pos_ + 8 > fileSize)
            return true;
        uint8_t head[12];
        const bool haveType = pos_ + 12 <= fileSize;
        if (!ReadAt(pos_, head, haveType ? 12 : 8))
            return true;
        const uint32_t id = AviLe32(head);
        const uint32_t size = AviLe32(head + 4);
        const uint64_t next = pos_ + 8 + size + (size & 1);
        const bool complete = next <= fileSize;
        AviRiffPart& part = parts_.back();

        if (inMovi_) {
            uint16_t stream = 0;
            if (IsStreamChunk(id, stream) || IsIndexChunk(id) || id == AviFourcc("JUNK")) {
                if (!complete)
                    return true;
                AddChunk(pos_, id, size);
                pos_ = next;
                part.moviEnd = pos_;
                continue;
            }
            // Whatever else comes ends the movi list.
            inMovi_ = false;
            part.moviClosed = true;
        }
        if (id == AviFourcc("RIFF") || id == AviFourcc("LIST")) {
            if (!haveType)
                return true;
            const uint32_t type = AviLe32(head + 8);
            if (id == AviFourcc("RIFF") && type == AviFourcc("AVIX")) {
                AviRiffPart added;
                added.offset = pos_;
                added.chunksPerStream.assign(header_.streams.size(), 0);
                parts_.push_back(std::move(added));
                pos_ += 12;
                continue;
            }
            if (id == AviFourcc("LIST") && type == AviFourcc("movi") && part.moviOffset == 0) {
                part.moviOffset = pos_;
                part.moviEnd = pos_ + 12;
                inMovi_ = true;
                pos_ += 12;
                continue;
            }
            if (id == AviFourcc("RIFF")) {
                damaged_ = true;
                return false;
            }
        } else if (id == AviFourcc("idx1")) {
            if (!complete)
                return true;
            part.idx1Offset = pos_;
            pos_ = next;
            continue;
        } else if (id != AviFourcc("JUNK")) {
            damaged_ = true; // zeros after a crash, or no AVI at all
            return false;
        }
        if (!complete)
            return true;
        pos_ = next; // the header list, padding
    }
}

} // namespace kestovar
