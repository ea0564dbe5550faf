#include "LiveSession.h"

#include "capture/CameraTable.h"
#include "capture/PreviewGraph.h"
#include "capture/RecordGraph.h"
#include "platform/PulseAudioBackend.h"
#include "platform/SimulatedAudioBackend.h"
#include "platform/SimulatedCameraProvider.h"
#include "platform/SimulatedH264Clip.h"

#include "../common/BenchSupport.h"

#include <QImage>
#include <QPainter>

#include <linux/videodev2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace kestovar::bench {
namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// What the replay camera and the sink share: the due time of the packet the capture
// thread handles now, and the camera's counters.
struct ReplayStats {
    std::atomic<int64_t> lastDueNs { 0 };
    std::atomic<uint64_t> delivered { 0 };
    std::atomic<uint64_t> dropped { 0 };
};

class ReplayCamera final : public CameraBackend {
public:
    ReplayCamera(std::unique_ptr<CameraBackend> inner, std::shared_ptr<const PacketList> stream,
        std::shared_ptr<ReplayStats> stats)
        : inner_(std::move(inner))
        , stream_(std::move(stream))
        , stats_(std::move(stats))
    {
    }

    std::vector<CameraFormatInfo> Formats() override { return inner_->Formats(); }
    bool GetFormat(CameraCurrentFormat& out) override { return inner_->GetFormat(out); }
    bool SetFormat(uint32_t f, uint32_t w, uint32_t h) override { return inner_->SetFormat(f, w, h); }
    bool SetFrameInterval(FrameInterval i) override { return inner_->SetFrameInterval(i); }

    bool StartStreaming() override
    {
        CameraCurrentFormat format;
        if (!inner_->GetFormat(format) || format.fourcc != V4L2_PIX_FMT_H264 || format.width != 1920
            || format.interval.denominator == 0) {
            error_ = "the replayed stream is 1920x1080 H.264; the graph set something else";
            return false;
        }
        interval_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(format.interval.numerator) / format.interval.denominator));
        start_ = Clock::now();
        sequence_ = 0;
        return true;
    }

    CameraReadStatus ReadPacket(CameraPacket& out, int timeoutMs) override
    {
        auto due = start_ + interval_ * sequence_;
        auto now = Clock::now();
        if (now < due) {
            std::this_thread::sleep_for(
                std::min<Clock::duration>(due - now, std::chrono::milliseconds(timeoutMs)));
            if (Clock::now() < due)
                return CameraReadStatus::Timeout;
        }
        // A V4L2 queue of four buffers: what was not taken in time is overwritten.
        while (Clock::now() - due > 4 * interval_) {
            ++sequence_;
            stats_->dropped.fetch_add(1, std::memory_order_relaxed);
            due = start_ + interval_ * sequence_;
        }
        out.data = (*stream_)[sequence_ % stream_->size()];
        out.fourcc = V4L2_PIX_FMT_H264;
        out.width = 1920;
        out.height = 1080;
        out.sequence = sequence_;
        out.ptsUs = std::chrono::duration_cast<std::chrono::microseconds>(interval_ * sequence_).count();
        stats_->lastDueNs.store(
            std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count(),
            std::memory_order_relaxed);
        stats_->delivered.fetch_add(1, std::memory_order_relaxed);
        ++sequence_;
        return CameraReadStatus::Packet;
    }

    void StopStreaming() override { }

    int ExtensionUnitQuery(
        uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override
    {
        return inner_->ExtensionUnitQuery(unit, selector, query, data, size);
    }
    int EncoderUnit() override { return inner_->EncoderUnit(); }
    bool QueryControl(uint32_t id, CameraControlInfo& out) override { return inner_->QueryControl(id, out); }
    bool GetControl(uint32_t id, int32_t& value) override { return inner_->GetControl(id, value); }
    bool SetControl(uint32_t id, int32_t value) override { return inner_->SetControl(id, value); }
    std::string LastError() const override { return error_.empty() ? inner_->LastError() : error_; }

private:
    std::unique_ptr<CameraBackend> inner_;
    std::shared_ptr<const PacketList> stream_;
    std::shared_ptr<ReplayStats> stats_;
    Clock::duration interval_ {};
    Clock::time_point start_;
    uint64_t sequence_ = 0;
    std::string error_;
};

class ReplayProvider final : public CameraProvider {
public:
    explicit ReplayProvider(std::shared_ptr<const PacketList> stream)
        : stream_(std::move(stream))
    {
    }
    std::shared_ptr<ReplayStats> stats = std::make_shared<ReplayStats>();

    std::vector<VideoDeviceInfo> ListVideoDevices() override { return inner_.ListVideoDevices(); }
    std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo& device) override
    {
        auto camera = inner_.Open(device);
        return camera ? std::make_unique<ReplayCamera>(std::move(camera), stream_, stats) : nullptr;
    }
    std::vector<std::string> UsbInstanceIds(bool presentOnly) override
    {
        return inner_.UsbInstanceIds(presentOnly);
    }

private:
    SimulatedCameraProvider inner_ { SimulatedModel::FullHd };
    std::shared_ptr<const PacketList> stream_;
};

// The video window's part: keep the newest picture, paint it stretched over a
// window-sized backing store on another thread (the GUI thread's paint event).
class PaintingSink final : public VideoSink {
public:
    PaintingSink(QSize size, std::shared_ptr<ReplayStats> stats)
        : size_(size)
        , stats_(std::move(stats))
        , backing_(size, QImage::Format_RGB32)
        , painter_([this] { Paint(); })
    {
    }
    ~PaintingSink() override
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        painter_.join();
    }

    QSize TargetSize() const override { return size_; }
    int PainterThread() const { return painterTid_.load(); }
    void Present(QImage frame) override
    {
        // The capture thread decodes each packet as soon as it has read it, so the
        // packet it read last is the one this picture came from.
        const double latency = (NowNs() - stats_->lastDueNs.load(std::memory_order_relaxed)) / 1e6;
        {
            std::lock_guard lock(mutex_);
            if (measuring_)
                latencies_.push_back(latency);
            // The camera's count of delivered packets is this picture's packet number.
            if (numbering_)
                shownPackets_.push_back(stats_->delivered.load(std::memory_order_relaxed));
            ++presented_;
            if (!pending_.isNull())
                ++droppedAtWindow_;
            pending_ = std::move(frame);
        }
        cv_.notify_one();
    }

    struct Counters {
        uint64_t presented, droppedAtWindow, painted;
    };
    Counters Snapshot()
    {
        std::lock_guard lock(mutex_);
        return { presented_, droppedAtWindow_, painted_ };
    }
    void SetMeasuring(bool on)
    {
        std::lock_guard lock(mutex_);
        measuring_ = on;
    }
    // Packet numbers of the pictures shown are kept from StartNumbering until
    // CountShown, so that a picture still being decoded when the measuring ends is not
    // taken for a lost one.
    void StartNumbering()
    {
        std::lock_guard lock(mutex_);
        shownPackets_.clear();
        numbering_ = true;
    }
    // Pictures shown of the packets numbered (from, to]; ends the numbering.
    uint64_t CountShown(uint64_t from, uint64_t to)
    {
        std::lock_guard lock(mutex_);
        numbering_ = false;
        return static_cast<uint64_t>(std::count_if(
            shownPackets_.begin(), shownPackets_.end(), [&](uint64_t n) { return n > from && n <= to; }));
    }
    std::vector<double> TakeLatencies()
    {
        std::lock_guard lock(mutex_);
        return std::move(latencies_);
    }

private:
    void Paint()
    {
        painterTid_.store(int(gettid()));
        QImage shown; // held until the next picture, as the window holds its picture
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [this] { return stop_ || !pending_.isNull(); });
            if (stop_)
                return;
            shown = std::move(pending_);
            pending_ = QImage();
            lock.unlock();
            {
                QPainter p(&backing_);
                p.drawImage(QRect(QPoint(0, 0), size_), shown);
            }
            lock.lock();
            ++painted_;
        }
    }

    const QSize size_;
    std::shared_ptr<ReplayStats> stats_;
    QImage backing_;
    std::mutex mutex_;
    std::condition_variable cv_;
    QImage pending_;
    bool stop_ = false;
    bool measuring_ = false;
    bool numbering_ = false;
    std::vector<uint64_t> shownPackets_;
    std::vector<double> latencies_;
    uint64_t presented_ = 0, droppedAtWindow_ = 0, painted_ = 0;
    std::atomic<int> painterTid_ { 0 };
    std::thread painter_;
};

// CPU seconds (user + system) of each thread of the process, by thread id.
std::map<int, double> ThreadCpuSeconds()
{
    std::map<int, double> out;
    const double tick = double(sysconf(_SC_CLK_TCK));
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const size_t paren = text.rfind(')');
        if (paren == std::string::npos)
            continue;
        // Fields after the name: state is field 3, utime 14 and stime 15.
        std::istringstream rest(text.substr(paren + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::atof(field.c_str());
            if (i == 15)
                stime = std::atof(field.c_str());
        }
        out[std::atoi(entry.path().filename().c_str())] = (utime + stime) / tick;
    }
    return out;
}

void SleepSeconds(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The camera's 1080p30 stream at high quality, turned as asked; true when it runs.
template <typename Graph> bool StartAtFullHd(Graph& graph, RotationMode rotation)
{
    graph.SetResolution(Res1080);
    graph.SetQuality(QualityHigh);
    graph.SetFrameRate(Fps30);
    graph.SetRotation(rotation);
    return graph.Start();
}

// Measures while the graph runs.
void Measure(const SessionOptions& options, ReplayStats& stats, PaintingSink& sink, SessionResult& result)
{
    SleepSeconds(options.warmUpSeconds);
    const uint64_t delivered0 = stats.delivered.load(), dropped0 = stats.dropped.load();
    const auto sink0 = sink.Snapshot();
    const auto threads0 = ThreadCpuSeconds();
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = Clock::now();
    sink.StartNumbering();
    sink.SetMeasuring(true);
    double nextSample = options.sampleSeconds;
    for (;;) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - wall0).count();
        if (elapsed >= options.seconds)
            break;
        double wake = options.seconds;
        if (options.sample && options.sampleSeconds > 0) {
            if (elapsed >= nextSample) {
                options.sample(elapsed);
                nextSample += options.sampleSeconds;
            }
            wake = std::min(wake, nextSample);
        }
        SleepSeconds(std::max(0.0, std::min(wake - elapsed, 0.5)));
    }
    sink.SetMeasuring(false);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    const auto threads1 = ThreadCpuSeconds();
    const auto sink1 = sink.Snapshot();
    double busiest = 0, others = 0;
    for (const auto& [tid, seconds] : threads1) {
        if (tid == getpid() || tid == sink.PainterThread())
            continue;
        const auto before = threads0.find(tid);
        const double used = seconds - (before == threads0.end() ? 0 : before->second);
        others += used;
        busiest = std::max(busiest, used);
    }
    result.captureThreadFraction = busiest / wall;
    result.otherGraphThreadsFraction = (others - busiest) / wall;
    const uint64_t delivered = stats.delivered.load() - delivered0;
    result.droppedAtCamera = stats.dropped.load() - dropped0;
    result.packetsDue = delivered + result.droppedAtCamera;
    // The last packets may still be on their way to the window: give them a moment.
    SleepSeconds(0.2);
    const uint64_t shown = sink.CountShown(delivered0, delivered0 + delivered);
    result.notShown = delivered > shown ? delivered - shown : 0;
    result.droppedAtWindow = sink1.droppedAtWindow - sink0.droppedAtWindow;
    result.painted = sink1.painted - sink0.painted;
    result.cpuFractionOfCore = cpu / wall;
    result.latencyMs = sink.TakeLatencies();
    result.ok = true;
}

// PulseAudio's camera microphone when the bench's sound server offers one, else the
// simulated microphone.
std::shared_ptr<AudioBackend> Microphone(bool preferPulse, std::string& name)
{
    if (preferPulse && std::getenv("PULSE_SERVER")) {
        auto pulse = std::make_shared<PulseAudioBackend>("kestovar-bench");
        if (pulse->Available())
            for (const auto& d : pulse->ListInputDevices())
                if (IsSupportedMicrophoneName(d.friendlyName)) {
                    name = "PulseAudio \"" + d.friendlyName + "\"";
                    return pulse;
                }
    }
    name = "simulated microphone";
    return std::make_shared<SimulatedAudioBackend>();
}

} // namespace

std::shared_ptr<const PacketList> CameraStream1080()
{
    SimulatedClipKey key;
    key.width = 1920;
    key.height = 1080;
    key.fps = 30;
    key.bitrateBps = static_cast<uint32_t>(EncoderBitrateTable(QualityHigh, 0) * 1000.0);
    auto clip = SimulatedH264Clip(key);
    if (!clip || clip->packets.empty())
        return nullptr;
    return std::shared_ptr<const PacketList>(clip, &clip->packets);
}

SessionResult RunSession(const SessionOptions& options, std::shared_ptr<const PacketList> stream)
{
    SessionResult result;
    if (!stream || stream->empty()) {
        result.error = "no stream to replay";
        return result;
    }
    auto provider = std::make_shared<ReplayProvider>(stream);
    SetCameraProvider(provider);
    {
        PaintingSink sink(options.window, provider->stats);
        if (options.kind == SessionKind::Preview) {
            PreviewGraph graph;
            graph.SetVideoWindow(&sink);
            if (!graph.Build()) {
                result.error = "the preview could not be built";
            } else {
                if (StartAtFullHd(graph, options.rotation))
                    Measure(options, *provider->stats, sink, result);
                else
                    result.error = "the preview did not start";
            }
            graph.Stop();
            graph.Teardown();
        } else {
            auto audio = Microphone(options.preferPulseAudio, result.microphone);
            UseAudioBackendForMicrophones(audio);
            {
                RecordGraph graph(audio);
                graph.SetVideoWindow(&sink);
                if (!graph.Build(options.moviePath, true)) {
                    result.error = "the recording could not be built: " + graph.LastError();
                } else {
                    if (StartAtFullHd(graph, options.rotation))
                        Measure(options, *provider->stats, sink, result);
                    else
                        result.error = "the recording did not start: " + graph.LastError();
                    if (!graph.Stop() && result.ok) {
                        result.ok = false;
                        result.error = "the movie was not completed: " + graph.LastError();
                    }
                }
                graph.Teardown();
            }
            UseAudioBackendForMicrophones(nullptr);
            std::error_code ignored;
            std::filesystem::remove(options.moviePath, ignored);
        }
    }
    SetCameraProvider(nullptr);
    return result;
}

} // namespace kestovar::bench
