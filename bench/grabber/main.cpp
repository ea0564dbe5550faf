// Decode + turn + convert-to-window speed of the frame grabber on a 1080p H.264
// stream made at run time with libx264 like the camera's, single thread, beside the
// ffmpeg command line decoding the same stream through the `rotate`-style reference
// filters with the same conversion. Prints "figure | ours | reference | ratio".

#include "capture/CCaptureBufferCallback.h"
#include "capture/RotationFilter.h"
#include "platform/SimulatedH264Clip.h"

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

using namespace kestovar;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kWindowWidth = 1280, kWindowHeight = 720; // the video window
constexpr int kLoops = 3; // 3 x 60 frames
constexpr int kRuns = 5;

// Keeps the newest picture only, like the video window's mailbox.
class MailboxSink final : public VideoSink {
public:
    QSize TargetSize() const override { return { kWindowWidth, kWindowHeight }; }
    void Present(QImage frame) override
    {
        std::lock_guard lock(mutex_);
        latest_ = std::move(frame);
    }

private:
    std::mutex mutex_;
    QImage latest_;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double OursFps(const std::vector<std::vector<uint8_t>>& packets, RotationMode mode)
{
    MailboxSink sink;
    CCaptureBufferCallback grabber;
    grabber.SetVideoSink(&sink);
    grabber.SetFrameSize(kWidth, kHeight);
    grabber.SetDecoderThreads(1);
    if (!grabber.InitDecoder(CCaptureBufferCallback::CodecH264, mode))
        return 0;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& p : packets)
        grabber.BufferCB(0, p.data(), p.size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (grabber.FrameCount() != packets.size()) {
        std::fprintf(stderr, "bench_grabber: decoded %llu of %zu frames\n",
            static_cast<unsigned long long>(grabber.FrameCount()), packets.size());
        return 0;
    }
    return packets.size() / seconds;
}

// ffmpeg's own measure of its decode-and-filter loop (-benchmark rtime), which leaves
// out process start and input probing.
double ReferenceFps(const std::string& stream, const std::string& chain, size_t frames)
{
    std::string vf = chain.empty() ? "" : chain + ",";
    vf += "scale=" + std::to_string(kWindowWidth) + ":" + std::to_string(kWindowHeight)
        + ":flags=fast_bilinear,format=bgra";
    const std::string cmd
        = "ffmpeg -hide_banner -nostdin -loglevel info -benchmark -threads 1 -filter_threads 1 "
          "-f h264 -framerate 30 -i '"
        + stream + "' -vf '" + vf + "' -f null - 2>&1";
    std::fprintf(stderr, "bench_grabber: %s\n", cmd.c_str());
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return 0;
    char line[1024];
    double rtime = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        if (const char* p = std::strstr(line, "rtime="))
            rtime = std::atof(p + 6);
    }
    if (pclose(pipe) != 0 || rtime <= 0)
        return 0;
    return frames / rtime;
}

} // namespace

int main(int argc, char** argv)
{
    // Optional: the rotations to measure (default 0 2 4 1); --ours-only skips ffmpeg.
    std::vector<RotationMode> modes;
    bool oursOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--ours-only")
            oursOnly = true;
        else
            modes.push_back(std::atoi(argv[i]));
    }
    if (modes.empty())
        modes = { 0, 2, 4, 1 };
    auto clip = SimulatedH264Clip({ kWidth, kHeight, 30, 6682500, {} });
    if (!clip) {
        std::fprintf(stderr, "bench_grabber: libx264 could not make the stream\n");
        return 1;
    }
    // The clip starts with an IDR frame, so repeating it is one valid stream.
    std::vector<std::vector<uint8_t>> packets;
    for (int i = 0; i < kLoops; ++i)
        packets.insert(packets.end(), clip->packets.begin(), clip->packets.end());
    const auto dir = std::filesystem::temp_directory_path() / ("kestovar-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string stream = (dir / "camera.h264").string();
    {
        std::ofstream out(stream, std::ios::binary);
        for (const auto& p : packets)
            out.write(reinterpret_cast<const char*>(p.data()), static_cast<std::streamsize>(p.size()));
    }

    for (RotationMode mode : modes) {
        // Interleaved runs, so a change in the machine's load touches both sides alike.
        std::vector<double> oursRuns, referenceRuns;
        for (int r = 0; r < kRuns; ++r) {
            oursRuns.push_back(OursFps(packets, mode));
            referenceRuns.push_back(
                oursOnly ? 0 : ReferenceFps(stream, *RotationFilter::ReferenceChain(mode), packets.size()));
        }
        const double ours = Median(oursRuns);
        const double reference = Median(referenceRuns);
        std::printf("grabber fps, 1080p H.264 decode+turn+convert to %dx%d, rotation %d, 1 thread | %.1f | "
                    "%.1f | %.2f\n",
            kWindowWidth, kWindowHeight, mode, ours, reference, reference > 0 ? ours / reference : 0.0);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
