#pragma once
// The layout of an AVI file as it lies on disk, also one still being written or one
// whose writing was cut off: where the header fields that count the frames are, and
// the chunks of each movi list. The writer uses it to keep a growing file's sizes
// current; the repair uses it to finish a file the station never completed.
//
// Files as libavformat's avi muxer writes them: RIFF "AVI " with LIST hdrl, LIST movi
// and idx1; past 1 GiB further RIFF "AVIX" parts, each with its own LIST movi and
// OpenDML ix## indexes that the header's indx lists.
//
// Reads through a file descriptor the caller owns; one object per file, any thread.

#include <cstdint>
#include <string>
#include <vector>

namespace kestovar {

struct AviStreamFields {
    uint32_t type = 0; // strh fccType: 'vids' or 'auds'
    uint32_t sampleSize = 0; // strh dwSampleSize: 0 counts chunks, else bytes per unit
    uint64_t lengthOffset = 0; // strh dwLength
    uint64_t indxOffset = 0; // the OpenDML super index chunk, 0 without one
    uint32_t indxSize = 0; // its body size
    bool h264 = false; // key frames have to be found in the data
    bool IsVideo() const;
};

struct AviHeaderFields {
    uint64_t totalFramesOffset = 0; // avih dwTotalFrames
    uint64_t dmlhOffset = 0; // dmlh dwTotalFrames (OpenDML), 0 without one
    std::vector<AviStreamFields> streams;
};

// Reads the header list at the start of the file. False with *error when the file is
// not an AVI file or its header list is not complete.
bool ReadAviHeaderFields(int fd, uint64_t fileSize, AviHeaderFields& out, std::string* error);

struct AviChunk {
    uint64_t offset = 0; // of the chunk's id
    uint32_t size = 0; // of its body
    uint16_t stream = 0;
    bool key = false;
};

// One RIFF part of the file and what of it has been read.
struct AviRiffPart {
    uint64_t offset = 0; // of "RIFF"
    uint64_t moviOffset = 0; // of its "LIST" ... "movi", 0 until seen
    uint64_t moviEnd = 0; // the first byte after its last complete chunk
    uint64_t idx1Offset = 0; // 0 without a complete idx1
    bool moviClosed = false; // something other than a chunk followed the movi list
    uint32_t indexChunks = 0; // ix## chunks inside its movi list
    std::vector<uint64_t> chunksPerStream; // counted, all streams
    std::vector<AviChunk> chunks; // only when the scanner keeps them
};

class AviChunkScanner {
public:
    // `keepChunks` keeps every chunk (and reads each video chunk's start to tell key
    // frames) for rebuilding indexes; without it only counts are kept.
    AviChunkScanner(int fd, const AviHeaderFields& header, bool keepChunks);

    // Reads on from where the last call stopped up to `fileSize`, and stops before
    // a chunk that is not complete yet. False once something that belongs in no AVI
    // file was met (the scan then stays there).
    bool Advance(uint64_t fileSize);

    const std::vector<AviRiffPart>& Parts() const { return parts_; }
    // The first byte not understood yet: where the next chunk would begin.
    uint64_t Position() const { return pos_; }
    bool Damaged() const { return damaged_; }
    // Chunks of stream `s` over every part.
    uint64_t ChunksOf(size_t s) const;
    // Bytes of stream `s` over every part (for streams counted in bytes).
    uint64_t BytesOf(size_t s) const;

private:
    bool ReadAt(uint64_t at, void* into, size_t n) const;
    void AddChunk(uint64_t at, uint32_t id, uint32_t size);

    int fd_;
    const AviHeaderFields& header_;
    bool keep_;
    uint64_t pos_ = 12;
    bool inMovi_ = false;
    bool damaged_ = false;
    std::vector<AviRiffPart> parts_;
    std::vector<uint64_t> bytes_;
};

// Little-endian helpers for the repair and the writer.
uint32_t AviFourcc(const char* text);
uint32_t AviLe32(const uint8_t* p);
void AviPutLe32(uint8_t* p, uint32_t v);
bool AviWrite32(int fd, uint64_t at, uint32_t value);

} // namespace kestovar
