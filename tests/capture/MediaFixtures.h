#pragma once
// Sample media made at test time: camera-like packets from libx264 (Annex B, no
// B-frames, an IDR every `gop` frames) or the MJPEG encoder, a tone, finished AVI
// files, and a reader that lists what a file holds.

#include "capture/AviWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestovar::test {

using Packet = std::vector<uint8_t>;

// `frames` packets of a moving test picture.
std::vector<Packet> EncodeH264(int width, int height, int fps, int frames, int gop);
std::vector<Packet> EncodeMjpeg(int width, int height, int frames);

// Interleaved stereo float tone, 48 kHz.
std::vector<float> Tone(double seconds, double hz = 440.0, float amplitude = 0.3f);

// Writes an AVI as a recording would: `seconds` of H.264 at `fps` (IDR every second)
// with a tone when withAudio. Returns false with a gtest failure when it cannot.
bool MakeRecordedAvi(const std::string& path, int width, int height, int fps, double seconds, bool withAudio);

// What a media file holds, as libavformat reads it back.
struct StreamFacts {
    std::string codec; // "h264", "mjpeg", "mp3"
    int type = -1; // AVMEDIA_TYPE_*
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    uint32_t codecTag = 0;
    double duration = 0; // seconds, from the packets
    double frameRate = 0;
    std::vector<Packet> packets;
    std::vector<int64_t> pts;
    std::vector<bool> keys;
    int emptyPackets = 0; // AVI "drop" chunks: ticks without a frame
};
struct FileFacts {
    bool opened = false;
    double duration = 0; // the container's
    std::vector<StreamFacts> streams;
};
FileFacts ReadFacts(const std::string& path);

// The loudest sample of the file's first sound stream, decoded; -1 without one.
float DecodedSoundPeak(const std::string& path);

} // namespace kestovar::test
