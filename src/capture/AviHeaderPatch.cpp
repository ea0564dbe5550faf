#include "capture/AviHeaderPatch.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace kestovar {

namespace {

uint32_t ReadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

void WriteLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool Is(const uint8_t* p, const char* fourcc)
{
    return std::memcmp(p, fourcc, 4) == 0;
}

// Offsets, in the header bytes, of the fields to change.
struct Fields {
    size_t microSecPerFrame = 0;
    size_t scale = 0;
    size_t rate = 0;
};

// Walks the chunks of [begin, end) for avih and the video strh, descending into LISTs.
void Walk(const std::vector<uint8_t>& bytes, size_t begin, size_t end, Fields& found)
{
    size_t at = begin;
    while (at + 8 <= end) {
        const uint8_t* chunk = bytes.data() + at;
        const size_t size = ReadLe32(chunk + 4);
        const size_t body = at + 8;
        if (body + size > end)
            return;
        if (Is(chunk, "LIST") && size >= 4) {
            Walk(bytes, body + 4, body + size, found);
        } else if (Is(chunk, "avih") && size >= 4 && !found.microSecPerFrame) {
            found.microSecPerFrame = body;
        } else if (Is(chunk, "strh") && size >= 28 && Is(bytes.data() + body, "vids") && !found.scale) {
            found.scale = body + 20;
            found.rate = body + 24;
        }
        at = body + size + (size & 1);
    }
}

} // namespace

bool PatchAviFrameRate(const std::string& path, double framesPerSecond, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    if (!(framesPerSecond > 0.1 && framesPerSecond < 1000.0)) {
        *error = "implausible frame rate for " + path;
        return false;
    }
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) {
        *error = "cannot open " + path + " to correct its frame rate";
        return false;
    }
    // The headers sit at the start of the file, well inside the first 64 KiB.
    std::vector<uint8_t> head(64 * 1024);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(file.gcount()));
    file.clear();
    if (head.size() < 24 || !Is(head.data(), "RIFF") || !Is(head.data() + 8, "AVI ")) {
        *error = path + " is not an AVI file";
        return false;
    }
    Fields fields;
    Walk(head, 12, head.size(), fields);
    if (!fields.scale || !fields.microSecPerFrame) {
        *error = path + " has no video stream header";
        return false;
    }
    constexpr uint32_t kScale = 1000;
    WriteLe32(head.data() + fields.scale, kScale);
    WriteLe32(head.data() + fields.rate, static_cast<uint32_t>(std::lround(framesPerSecond * kScale)));
    WriteLe32(
        head.data() + fields.microSecPerFrame, static_cast<uint32_t>(std::lround(1e6 / framesPerSecond)));
    for (size_t offset : { fields.scale, fields.microSecPerFrame }) {
        const size_t length = offset == fields.scale ? 8 : 4;
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(reinterpret_cast<const char*>(head.data() + offset), static_cast<std::streamsize>(length));
    }
    file.flush();
    if (!file) {
        *error = "cannot write the corrected frame rate into " + path;
        return false;
    }
    return true;
}

} // namespace kestovar
