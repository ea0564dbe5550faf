// Speed of the frame grabber's picture path, single thread, beside the ffmpeg command
// line doing the same work on the same stream (`ffmpeg -threads 1 ... -f null`, timed
// by its own -benchmark, which leaves out process start and probing). Both sides are
// timed in CPU seconds of the process (user + system), not wall time, so other work
// on a busy machine changes the figures little:
// - 1080p H.264 made at run time with libx264 like the camera's: decode + turn/mirror
//   + convert to a 1280x720 window picture, for every rotation. The reference runs the
//   same chain for 2, 4 and 6 (the flips), the `rotate` chain for 1, 3, 5 and 7, and
//   for 0 ffmpeg's decoding alone (a second row adds its conversion to the window).
// - 640x480 MJPG (yuvj422p) like the Pro camera's: decode + flip + convert.
// Ours and ffmpeg alternate run by run, so a change in the machine's load touches
// both alike; every figure is the median of the runs.
//
//   bench_grabber [--ours-only] [--runs N] [h264 modes...] [--mjpg-only]

#include "capture/CCaptureBufferCallback.h"
#include "platform/CameraAvPtr.h"
#include "capture/RotationFilter.h"
#include "platform/SimulatedH264Clip.h"
#include "platform/SimulatedMjpegEncoder.h"

#include "../common/BenchSupport.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

using namespace kestovar;
using namespace kestovar::bench;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
// The video window; the conversion is measured again at the station's default one.
int windowWidth = 1280, windowHeight = 720;
constexpr int kH264Loops = 3; // 3 x 60 frames
constexpr int kMjpgFrames = 300;

using Packets = std::vector<std::vector<uint8_t>>;

// Keeps the newest picture only, like the video window's mailbox.
class MailboxSink final : public VideoSink {
public:
    QSize TargetSize() const override { return { windowWidth, windowHeight }; }
    void Present(QImage frame) override
    {
        std::lock_guard lock(mutex_);
        latest_ = std::move(frame);
    }

private:
    std::mutex mutex_;
    QImage latest_;
};

// Seconds for the grabber to take every packet through; 0 when a frame was lost.
double OursSeconds(const Packets& packets, int codec, RotationMode mode, int width, int height)
{
    MailboxSink sink;
    CCaptureBufferCallback grabber;
    grabber.SetVideoSink(&sink);
    grabber.SetFrameSize(width, height);
    grabber.SetDecoderThreads(1);
    if (!grabber.InitDecoder(codec, mode))
        return 0;
    const double start = ProcessCpuSeconds();
    for (const auto& p : packets)
        grabber.BufferCB(0, p.data(), p.size());
    const double seconds = ProcessCpuSeconds() - start;
    if (grabber.FrameCount() != packets.size()) {
        std::fprintf(stderr, "bench_grabber: decoded %llu of %zu frames\n",
            static_cast<unsigned long long>(grabber.FrameCount()), packets.size());
        return 0;
    }
    return seconds;
}

// Seconds for libavcodec alone, set up as the grabber sets it up (one thread, low
// delay), to split our rotation-0 figure into decoding and conversion.
double DecodeOnlySeconds(const Packets& packets)
{
    const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_H264);
    av::CodecContextPtr ctx(decoder ? avcodec_alloc_context3(decoder) : nullptr);
    av::PacketPtr packet = av::MakePacket();
    av::FramePtr frame = av::MakeFrame();
    if (!ctx || !packet || !frame)
        return 0;
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(ctx.get(), decoder, nullptr) < 0)
        return 0;
    size_t decoded = 0;
    const double start = ProcessCpuSeconds();
    for (const auto& p : packets) {
        packet->data = const_cast<uint8_t*>(p.data());
        packet->size = static_cast<int>(p.size());
        if (avcodec_send_packet(ctx.get(), packet.get()) < 0)
            return 0;
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            ++decoded;
            av_frame_unref(frame.get());
        }
    }
    const double seconds = ProcessCpuSeconds() - start;
    return decoded == packets.size() ? seconds : 0;
}

// Seconds to write a window picture's bytes once per frame and read the frame's planes
// once: what any conversion on the processor has to pay at the least.
double MemoryFloorSeconds(size_t frames)
{
    std::vector<uint8_t> source(size_t(kWidth) * kHeight * 3 / 2, 1);
    QImage window(windowWidth, windowHeight, QImage::Format_RGB32);
    volatile uint64_t sink = 0;
    const double start = ProcessCpuSeconds();
    for (size_t f = 0; f < frames; ++f) {
        uint64_t sum = 0;
        const auto* words = reinterpret_cast<const uint64_t*>(source.data());
        for (size_t i = 0; i < source.size() / 8; ++i)
            sum += words[i];
        std::memset(window.bits(), int(f & 0xff), size_t(window.sizeInBytes()));
        sink = sink + sum + window.bits()[f % 1000];
    }
    return ProcessCpuSeconds() - start;
}

std::string WindowChain(const std::string& chain)
{
    return (chain.empty() ? "" : chain + ",")
        + Format("scale=%d:%d:flags=fast_bilinear,format=bgra", windowWidth, windowHeight);
}

// ffmpeg's seconds for the same stream through `vf` (empty: decoding alone).
double ReferenceSeconds(const std::string& demuxer, const std::string& stream, const std::string& vf)
{
    const std::string cmd
        = "ffmpeg -hide_banner -nostdin -loglevel info -benchmark -threads 1 -filter_threads 1 "
          "-f "
        + demuxer + " -framerate 30 -i '" + stream + "' " + (vf.empty() ? "" : "-vf '" + vf + "' ")
        + "-f null -";
    std::fprintf(stderr, "bench_grabber: %s\n", cmd.c_str());
    bool ok = false;
    const std::string output = RunCommand(cmd, &ok);
    return ok ? FfmpegCpuTime(output) : 0;
}

void WriteStream(const std::string& path, const Packets& packets)
{
    std::ofstream out(path, std::ios::binary);
    for (const auto& p : packets)
        out.write(reinterpret_cast<const char*>(p.data()), static_cast<std::streamsize>(p.size()));
}

struct Pair {
    double ours = 0, reference = 0; // medians, seconds for the whole stream
};

Pair Measure(
    int runs, bool oursOnly, const std::function<double()>& ours, const std::function<double()>& reference)
{
    std::vector<double> o, r;
    for (int i = 0; i < runs; ++i) {
        o.push_back(ours());
        if (!oursOnly)
            r.push_back(reference());
    }
    return { Median(o), Median(r) };
}

void FpsRow(const std::string& figure, const Pair& p, size_t frames)
{
    const double ours = p.ours > 0 ? frames / p.ours : 0;
    const double reference = p.reference > 0 ? frames / p.reference : 0;
    Row(figure, Format("%.1f fps", ours), reference > 0 ? Format("%.1f fps", reference) : "-",
        Ratio(ours, reference));
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<RotationMode> modes;
    bool oursOnly = false, h264 = true, mjpg = true;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ours-only")
            oursOnly = true;
        else if (a == "--mjpg-only")
            h264 = false;
        else if (a == "--h264-only")
            mjpg = false;
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            modes.push_back(std::atoi(a.c_str()));
    }
    if (modes.empty())
        modes = { 0, 2, 4, 6, 1, 3, 5, 7 };
    const auto dir = std::filesystem::temp_directory_path() / ("kestovar-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);

    if (h264) {
        auto clip = SimulatedH264Clip({ kWidth, kHeight, 30, 6682500, {} });
        if (!clip) {
            std::fprintf(stderr, "bench_grabber: libx264 could not make the stream\n");
            return 1;
        }
        // The clip starts with an IDR frame, so repeating it is one valid stream.
        Packets packets;
        for (int i = 0; i < kH264Loops; ++i)
            packets.insert(packets.end(), clip->packets.begin(), clip->packets.end());
        const std::string stream = (dir / "camera.h264").string();
        WriteStream(stream, packets);
        auto ours = [&](RotationMode mode) {
            return [&, mode] {
                return OursSeconds(packets, CCaptureBufferCallback::CodecH264, mode, kWidth, kHeight);
            };
        };
        auto reference
            = [&](const std::string& vf) { return [&, vf] { return ReferenceSeconds("h264", stream, vf); }; };
        const std::string shape
            = Format("1080p H.264 decode+turn+convert to %dx%d, 1 thread, frames per CPU second",
                windowWidth, windowHeight);
        for (RotationMode mode : modes) {
            if (mode == 0) {
                FpsRow(shape + ", rotation 0 (reference: ffmpeg decoding alone)",
                    Measure(runs, oursOnly, ours(0), reference("")), packets.size());
                FpsRow(shape + ", rotation 0 (reference: ffmpeg decoding + conversion)",
                    Measure(runs, oursOnly, ours(0), reference(WindowChain(""))), packets.size());
                // Where the time goes: the same decoder called directly, and the least
                // a conversion can cost in memory traffic alone.
                const Pair split = Measure(runs, oursOnly, ours(0), [&] { return DecodeOnlySeconds(packets); });
                FpsRow("1080p H.264, rotation 0: our grabber (reference: libavcodec decoding alone, called directly)",
                    split, packets.size());
                const double perFrame = 1000.0 / double(packets.size());
                const double floorMs = MemoryFloorSeconds(packets.size()) * perFrame;
                Row("1080p H.264, rotation 0: our conversion to the window, CPU ms per frame (reference: reading "
                    "the planes + writing the window picture once)",
                    Format("%.2f ms", (split.ours - split.reference) * perFrame), Format("%.2f ms", floorMs),
                    Ratio((split.ours - split.reference) * perFrame, floorMs));
                // The window a 1280x800 main window gives the picture, as the station starts.
                const int keptWidth = windowWidth, keptHeight = windowHeight;
                windowWidth = 965;
                windowHeight = 543;
                const Pair own = Measure(runs, oursOnly, ours(0), [&] { return DecodeOnlySeconds(packets); });
                const double ownFloorMs = MemoryFloorSeconds(packets.size()) * perFrame;
                Row("1080p H.264, rotation 0: our conversion to the station's default video window (965x543), CPU "
                    "ms per frame (reference: reading the planes + writing the window picture once)",
                    Format("%.2f ms", (own.ours - own.reference) * perFrame), Format("%.2f ms", ownFloorMs),
                    Ratio((own.ours - own.reference) * perFrame, ownFloorMs));
                windowWidth = keptWidth;
                windowHeight = keptHeight;
                continue;
            }
            // The flips are the same filters on both sides; the quarter turns are
            // measured against the `rotate` filter they stand in for.
            const std::string chain = RotationFilter::QuarterTurn(mode)
                ? *RotationFilter::ReferenceChain(mode)
                : *RotationFilter::Chain(mode, kWidth, kHeight);
            FpsRow(shape + Format(", rotation %d (reference: %s)", mode, chain.c_str()),
                Measure(runs, oursOnly, ours(mode), reference(WindowChain(chain))), packets.size());
        }
    }

    if (mjpg) {
        SimulatedMjpegEncoder encoder;
        if (!encoder.Open(640, 480)) {
            std::fprintf(stderr, "bench_grabber: the MJPEG encoder could not be opened\n");
            return 1;
        }
        Packets frames(kMjpgFrames);
        for (int i = 0; i < kMjpgFrames; ++i)
            if (!encoder.Encode(i, {}, frames[i])) {
                std::fprintf(stderr, "bench_grabber: MJPEG encoding failed\n");
                return 1;
            }
        const std::string stream = (dir / "camera.mjpeg").string();
        WriteStream(stream, frames);
        // The Mjpeg camera shows the mixer's flips only: 2 both, 4 left-right, 6 upside down.
        for (RotationMode mode : { 0, 4, 2, 6 }) {
            const std::string chain = *RotationFilter::Chain(mode, 640, 480);
            const Pair p = Measure(
                runs, oursOnly,
                [&] { return OursSeconds(frames, CCaptureBufferCallback::CodecMjpeg, mode, 640, 480); },
                [&] { return ReferenceSeconds("mjpeg", stream, WindowChain(chain)); });
            const double ours = p.ours * 1000 / kMjpgFrames, reference = p.reference * 1000 / kMjpgFrames;
            Row(Format("640x480 MJPG decode+flip+convert to %dx%d, 1 thread, CPU ms per frame, flip %d (%s; "
                       "lower "
                       "is better)",
                    windowWidth, windowHeight, mode, chain.empty() ? "none" : chain.c_str()),
                Format("%.2f ms", ours), reference > 0 ? Format("%.2f ms", reference) : "-",
                Ratio(ours, reference));
        }
    }
    std::filesystem::remove_all(dir);
    return 0;
}
