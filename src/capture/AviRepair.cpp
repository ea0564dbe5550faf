#include "capture/AviRepair.h"

#include "capture/AviRepairScan.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestovar {

namespace {

constexpr uint32_t kAviifKeyframe = 0x10;
constexpr uint32_t kNotKeyBit = 0x80000000u;
// Room left over when chunks have to be given up for the index on a full disk.
constexpr uint64_t kIndexRoomSlack = 64 * 1024;
constexpr int kRoomAttempts = 6;

struct Layout {
    AviHeaderFields header;
    std::vector<AviRiffPart> parts;
    uint64_t fileSize = 0;
    uint64_t scanEnd = 0;
    bool damaged = false;
};

std::string ErrnoText(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool ReadLe32At(int fd, uint64_t at, uint32_t& value)
{
    uint8_t b[4];
    if (pread(fd, b, 4, static_cast<off_t>(at)) != 4)
        return false;
    value = AviLe32(b);
    return true;
}

// Zeros from `from` to the end: blocks a file system allocated but never got to
// write before the power went. More than this is no crash's tail.
constexpr uint64_t kZeroTailLimit = 64u << 20;
bool OnlyZerosFrom(int fd, uint64_t from, uint64_t size)
{
    if (size - from > kZeroTailLimit)
        return false;
    std::vector<uint8_t> block(64 * 1024);
    for (uint64_t at = from; at < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), size - at));
        if (pread(fd, block.data(), n, static_cast<off_t>(at)) != static_cast<ssize_t>(n))
            return false;
        if (std::any_of(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n),
                [](uint8_t b) { return b != 0; }))
            return false;
        at += n;
    }
    return true;
}

// What lies on disk, read once. A file whose chunks run into something that is
// neither a chunk nor a crash's zeros was not cut off while we wrote it (another
// program's AVI with "rec " lists, or damage in the middle): it is not ours to
// change, and counts as unreadable.
AviFileState ReadLayout(int fd, bool keepChunks, Layout& layout, std::string* why)
{
    struct stat st { };
    if (fstat(fd, &st) != 0) {
        *why = std::strerror(errno);
        return AviFileState::Unreadable;
    }
    layout.fileSize = static_cast<uint64_t>(st.st_size);
    if (!ReadAviHeaderFields(fd, layout.fileSize, layout.header, why))
        return AviFileState::Unreadable;
    AviChunkScanner scanner(fd, layout.header, keepChunks);
    scanner.Advance(layout.fileSize);
    layout.parts = scanner.Parts();
    layout.scanEnd = scanner.Position();
    layout.damaged = scanner.Damaged();
    if (layout.damaged && !OnlyZerosFrom(fd, layout.scanEnd, layout.fileSize)) {
        *why = "the file holds something other than the chunks of a movie";
        return AviFileState::Unreadable;
    }
    return AviFileState::Complete;
}

// Is everything the muxer writes at the end there and right?
bool LooksComplete(int fd, const Layout& l, std::string* why)
{
    auto no = [why](const char* text) {
        *why = text;
        return false;
    };
    if (l.damaged || l.scanEnd != l.fileSize)
        return no("the file ends inside a chunk");
    if (l.parts.empty() || l.parts[0].idx1Offset == 0)
        return no("the file has no index");
    for (size_t i = 0; i < l.parts.size(); ++i) {
        const AviRiffPart& p = l.parts[i];
        const uint64_t end = i + 1 < l.parts.size() ? l.parts[i + 1].offset : l.fileSize;
        uint32_t riffSize = 0, moviSize = 0;
        if (!ReadLe32At(fd, p.offset + 4, riffSize) || riffSize != end - p.offset - 8)
            return no("a RIFF size does not match the file");
        if (p.moviOffset == 0 || !ReadLe32At(fd, p.moviOffset + 4, moviSize)
            || moviSize != p.moviEnd - p.moviOffset - 8)
            return no("a movi list size does not match its chunks");
        if (i > 0 && p.indexChunks == 0)
            return no("the last part has no index");
    }
    return true;
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    uint8_t b[4];
    AviPutLe32(b, v);
    out.insert(out.end(), b, b + 4);
}

void PutId(std::vector<uint8_t>& out, uint16_t stream, const char* two)
{
    const char id[4]
        = { static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), two[0], two[1] };
    out.insert(out.end(), id, id + 4);
}

const char* ChunkKind(const AviStreamFields& s)
{
    return s.IsVideo() ? "dc" : "wb";
}

// idx1 of the first part: offsets from the "movi" fourcc, as libavformat writes them.
std::vector<uint8_t> BuildIdx1(const AviRiffPart& part, const AviHeaderFields& header)
{
    std::vector<uint8_t> out;
    out.reserve(8 + part.chunks.size() * 16);
    out.insert(out.end(), { 'i', 'd', 'x', '1' });
    Put32(out, static_cast<uint32_t>(part.chunks.size() * 16));
    const uint64_t base = part.moviOffset + 8;
    for (const AviChunk& c : part.chunks) {
        PutId(out, c.stream, ChunkKind(header.streams[c.stream]));
        Put32(out, c.key ? kAviifKeyframe : 0);
        Put32(out, static_cast<uint32_t>(c.offset - base));
        Put32(out, c.size);
    }
    return out;
}

// One OpenDML standard index (ix##) per stream for an AVIX part; returns their
// starts relative to the block and each one's size and entry count.
struct IxChunk {
    uint16_t stream;
    uint64_t at;
    uint32_t bytes;
    uint32_t entries;
};
std::vector<uint8_t> BuildIx(
    const AviRiffPart& part, const AviHeaderFields& header, std::vector<IxChunk>& made)
{
    std::vector<uint8_t> out;
    const uint64_t base = part.moviOffset + 8;
    for (uint16_t s = 0; s < header.streams.size(); ++s) {
        if (!header.streams[s].indxOffset)
            continue;
        std::vector<const AviChunk*> mine;
        for (const AviChunk& c : part.chunks)
            if (c.stream == s)
                mine.push_back(&c);
        const uint64_t start = out.size();
        const char ix[4] = { 'i', 'x', static_cast<char>('0' + s / 10), static_cast<char>('0' + s % 10) };
        out.insert(out.end(), ix, ix + 4);
        Put32(out, static_cast<uint32_t>(24 + mine.size() * 8));
        out.insert(out.end(), { 2, 0, 0, 1 }); // two longs an entry, index of chunks
        Put32(out, static_cast<uint32_t>(mine.size()));
        PutId(out, s, ChunkKind(header.streams[s]));
        Put32(out, static_cast<uint32_t>(base));
        Put32(out, static_cast<uint32_t>(base >> 32));
        Put32(out, 0);
        for (const AviChunk* c : mine) {
            Put32(out, static_cast<uint32_t>(c->offset + 8 - base));
            Put32(out, c->size | (c->key ? 0 : kNotKeyBit));
        }
        made.push_back(
            { s, start, static_cast<uint32_t>(out.size() - start), static_cast<uint32_t>(mine.size()) });
    }
    return out;
}

bool WriteAll(int fd, uint64_t at, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

AviFileState InspectAvi(const std::string& path, std::string* why)
{
    std::string ignored;
    if (!why)
        why = &ignored;
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        *why = std::strerror(errno);
        return AviFileState::Unreadable;
    }
    Layout layout;
    if (ReadLayout(fd.get(), false, layout, why) == AviFileState::Unreadable)
        return AviFileState::Unreadable;
    return LooksComplete(fd.get(), layout, why) ? AviFileState::Complete : AviFileState::Unfinished;
}

AviRepairResult RepairAvi(const std::string& path)
{
    AviRepairResult result;
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        result.error = ErrnoText("cannot open", path);
        return result;
    }
    Layout l;
    std::string why;
    if (ReadLayout(fd.get(), true, l, &why) == AviFileState::Unreadable) {
        result.error = path + ": " + why;
        return result;
    }
    auto countFrames = [&] {
        result.videoFrames = result.audioChunks = 0;
        for (const AviRiffPart& p : l.parts)
            for (const AviChunk& c : p.chunks)
                (l.header.streams[c.stream].IsVideo() ? result.videoFrames : result.audioChunks) += 1;
    };
    if (LooksComplete(fd.get(), l, &why)) {
        countFrames();
        result.ok = true;
        return result;
    }
    result.changed = true;

    // A part cut off before its movi list began holds nothing: it goes.
    uint64_t dataEnd = l.scanEnd;
    while (l.parts.size() > 1 && l.parts.back().moviOffset == 0) {
        dataEnd = l.parts.back().offset;
        l.parts.pop_back();
    }
    AviRiffPart& last = l.parts.back();
    const bool first = l.parts.size() == 1;
    std::vector<uint8_t> moviHead;
    if (last.moviOffset == 0) {
        // Cut off right after the header: an empty movie, but a valid file.
        last.moviOffset = dataEnd;
        moviHead = { 'L', 'I', 'S', 'T', 4, 0, 0, 0, 'm', 'o', 'v', 'i' };
        last.moviEnd = dataEnd + moviHead.size();
    } else {
        dataEnd = last.moviEnd;
    }
    // Index chunks of a half-written end are rebuilt with the rest.
    if (!first && last.indexChunks > 0)
        last.indexChunks = 0;

    uint64_t end = 0;
    std::vector<IxChunk> ix;
    for (int attempt = 0;; ++attempt) {
        ix.clear();
        const std::vector<uint8_t> index = first ? BuildIdx1(last, l.header) : BuildIx(last, l.header, ix);
        const uint64_t at = last.moviEnd;
        if (ftruncate(fd.get(), static_cast<off_t>(last.moviEnd)) == 0
            && (moviHead.empty() || WriteAll(fd.get(), last.moviOffset, moviHead))
            && WriteAll(fd.get(), at, index)) {
            end = at + index.size();
            if (ftruncate(fd.get(), static_cast<off_t>(end)) == 0)
                break;
        }
        if (errno != ENOSPC || attempt >= kRoomAttempts || last.chunks.empty()) {
            result.error = ErrnoText("cannot write the index of", path);
            return result;
        }
        // The disk is full: the newest moments make room for the index that makes
        // all the rest playable.
        uint64_t freed = 0;
        const uint64_t wanted = index.size() + kIndexRoomSlack;
        while (!last.chunks.empty() && freed < wanted) {
            freed += 8 + last.chunks.back().size;
            last.moviEnd = last.chunks.back().offset;
            last.chunks.pop_back();
        }
    }
    result.droppedBytes = l.fileSize > last.moviEnd ? l.fileSize - last.moviEnd : 0;

    // Sizes: the movi list holds the chunks (and an AVIX part's ix##), the RIFF all.
    const uint64_t moviEnd = first ? last.moviEnd : end;
    bool ok = AviWrite32(fd.get(), last.moviOffset + 4, static_cast<uint32_t>(moviEnd - last.moviOffset - 8))
        && AviWrite32(fd.get(), last.offset + 4, static_cast<uint32_t>(end - last.offset - 8));

    // The OpenDML super indexes list the new ix## chunks.
    for (const IxChunk& c : ix) {
        const AviStreamFields& s = l.header.streams[c.stream];
        const uint64_t slot = l.parts.size() - 1;
        if ((s.indxSize - 24) / 16 <= slot)
            continue; // no room in the header: players fall back to reading the chunks
        const uint64_t entry = s.indxOffset + 8 + 24 + slot * 16;
        const uint64_t ixAt = last.moviEnd + c.at;
        ok = ok && AviWrite32(fd.get(), entry, static_cast<uint32_t>(ixAt))
            && AviWrite32(fd.get(), entry + 4, static_cast<uint32_t>(ixAt >> 32))
            && AviWrite32(fd.get(), entry + 8, c.bytes) && AviWrite32(fd.get(), entry + 12, c.entries)
            && AviWrite32(fd.get(), s.indxOffset + 8 + 4, static_cast<uint32_t>(slot + 1));
    }

    // Frame counts: the first part's in avih, every part's in strh and dmlh.
    countFrames();
    uint64_t firstPartVideo = 0;
    for (const AviChunk& c : l.parts[0].chunks)
        firstPartVideo += l.header.streams[c.stream].IsVideo() ? 1 : 0;
    ok = ok && AviWrite32(fd.get(), l.header.totalFramesOffset, static_cast<uint32_t>(firstPartVideo));
    if (l.header.dmlhOffset)
        ok = ok && AviWrite32(fd.get(), l.header.dmlhOffset, static_cast<uint32_t>(result.videoFrames));
    for (size_t s = 0; s < l.header.streams.size(); ++s) {
        const AviStreamFields& f = l.header.streams[s];
        uint64_t chunks = 0, bytes = 0;
        for (const AviRiffPart& p : l.parts)
            for (const AviChunk& c : p.chunks)
                if (c.stream == s) {
                    ++chunks;
                    bytes += c.size;
                }
        const uint64_t length = f.sampleSize ? bytes / f.sampleSize : chunks;
        ok = ok && AviWrite32(fd.get(), f.lengthOffset, static_cast<uint32_t>(length));
    }
    if (!ok || fsync(fd.get()) != 0) {
        result.error = ErrnoText("cannot complete", path);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kestovar
