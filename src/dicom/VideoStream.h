#pragma once
// The movie's picture and sound as a Video Endoscopic Image carries them: an MPEG-2
// transport stream holding H.264 (High Profile, level 4.1 at most) and, when the movie
// has sound, that sound.
//
// The camera's H.264 stream is copied packet for packet when it already meets the
// transfer syntax's limits (High profile or a subset of it, level 4.1 at most, 8-bit
// 4:2:0, at most 1920x1080, at most 30 frames per second). Anything else (an MJPG movie,
// a stream beyond those limits) is decoded and encoded again with libx264 (High profile,
// level 4.1). The H.264 transfer syntaxes allow LPCM, AC-3, AAC, MP3 (constant bit rate,
// at most 320 kbit/s, 32, 44.1 or 48 kHz) and MPEG-1 Layer II sound in a transport
// stream: the station's own MP3 (128 kbit/s constant, 48 kHz stereo) is copied as it
// is; other sound is decoded and encoded as AAC-LC (48 kHz stereo, 128 kbit/s).
//
// Runs on the send worker (idle scheduling class); the encoder's threads inherit that.
// Nothing is loaded whole: packets go from the AVI to the output file one by one.

#include <atomic>
#include <string>

namespace kestovar {

struct VideoStreamResult {
    bool ok = false;
    std::string message; // why not, for the operator
    int width = 0, height = 0;
    int frames = 0; // pictures in the stream
    int fpsNum = 0, fpsDen = 1;
    bool copied = false; // the camera's H.264 went through unchanged
    bool withSound = false;
    bool soundCopied = false; // the movie's MP3 went through unchanged
    int soundChannels = 0; // of the sound as the stream carries it: 1 or 2
};

// Writes the transport stream to outPath (replacing it). `cancel`, when set, stops the
// work early (the result then says so).
VideoStreamResult WriteDicomVideoStream(
    const std::string& aviPath, const std::string& outPath, const std::atomic<bool>* cancel = nullptr);

} // namespace kestovar
