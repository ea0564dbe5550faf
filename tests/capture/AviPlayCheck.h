#pragma once
// Whether a movie plays, asked of the outside tools a user would reach for (ffprobe,
// ffmpeg) and of our own probe, for the crash, repair and full-disk tests.

#include "capture/MediaHandles.h"
#include "capture/MediaProbe.h"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kestovar::test {

inline std::string Quoted(const std::string& path)
{
    std::string q = "'";
    for (char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command; its standard output and exit status.
inline int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer {};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        if (output)
            output->append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Video packets ffprobe reads from the file; -1 when ffprobe fails on it.
inline long FfprobeVideoPackets(const std::string& path)
{
    std::string out;
    const int rc = RunCommand("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                              "stream=nb_read_packets -of csv=p=0 "
            + Quoted(path) + " 2>/dev/null",
        &out);
    if (rc != 0 || out.empty())
        return -1;
    return std::strtol(out.c_str(), nullptr, 10);
}

// ffmpeg decodes every stream of the file to the end without a single error.
inline bool FfmpegDecodesCleanly(const std::string& path, std::string* errors)
{
    const int rc = RunCommand("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f null - 2>&1", errors);
    return rc == 0 && errors->empty();
}

// Our own probe (the media list's) finds a picture size.
inline bool ProbeFindsPicture(const std::string& path)
{
    int w = 0, h = 0;
    return ReadMovieFrameSize(path, w, h) && w > 0 && h > 0;
}

// Where each video packet's chunk ends in the file (with its padding byte), as
// libavformat reads it (its position is that of the data).
inline std::vector<int64_t> VideoChunkEnds(const std::string& path)
{
    std::vector<int64_t> ends;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return ends;
    media::InputPtr input(raw);
    media::PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (input->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
            && packet->size > 0)
            ends.push_back(packet->pos + packet->size + (packet->size & 1));
        av_packet_unref(packet.get());
    }
    return ends;
}

} // namespace kestovar::test
