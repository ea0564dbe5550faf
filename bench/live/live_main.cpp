// CPU, latency and dropped frames of the live picture at 1080p30: the live preview and
// a recording with sound, both through the station's real graphs, fed with packets
// encoded beforehand (the camera's encoder costs the station nothing). Runs of the two
// alternate, so a change in the machine's load touches both alike; every figure is the
// median of the runs. Prints "figure | ours | reference | ratio"; the reference column
// holds the goal.
//
// Then (unless --thumbnail-load 0) the preview runs again while two workers make thumbnails of
// 1080p movies without a pause, as the media list does for a large folder: once at
// the workers' background priority (ours) and once at normal priority (reference).
//
//   bench_live [--runs N] [--seconds S] [--rotation R] [--thumbnail-load 0|1]

#include "LiveSession.h"

#include "library/MediaThumbnail.h"
#include "platform/ThreadPriority.h"

#include "../common/BenchSupport.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace kestovar;
using namespace kestovar::bench;

namespace {

struct Figures {
    std::vector<double> cpu, median, p99, dropped;
    double frames = 0;
    std::string microphone;
};

void Add(Figures& f, const SessionResult& r)
{
    f.cpu.push_back(r.cpuFractionOfCore * 100);
    f.median.push_back(Median(r.latencyMs));
    f.p99.push_back(Percentile(r.latencyMs, 99));
    f.dropped.push_back(double(r.droppedAtCamera + r.notShown + r.droppedAtWindow));
    f.frames = double(r.packetsDue);
    if (!r.microphone.empty())
        f.microphone = r.microphone;
    std::fprintf(stderr,
        "bench_live:   cpu %.1f %% latency median %.2f ms p99 %.2f ms; due %llu, dropped at camera %llu, "
        "not shown %llu, replaced in the window %llu, painted %llu\n",
        r.cpuFractionOfCore * 100, Median(r.latencyMs), Percentile(r.latencyMs, 99),
        (unsigned long long)r.packetsDue, (unsigned long long)r.droppedAtCamera,
        (unsigned long long)r.notShown, (unsigned long long)r.droppedAtWindow, (unsigned long long)r.painted);
}

void Print(const std::string& what, const Figures& f, double cpuGoal)
{
    const double cpu = Median(f.cpu);
    if (cpuGoal > 0)
        Row(what + ", CPU (process user+sys, % of one core)", Format("%.1f %%", cpu),
            Format("goal < %.0f %%", cpuGoal), Ratio(cpu, cpuGoal));
    else
        Row(what + ", CPU (process user+sys, % of one core)", Format("%.1f %%", cpu), "-", "-");
    const double median = Median(f.median), p99 = Median(f.p99);
    Row(what + ", packet arrival to picture in the video window, median", Format("%.2f ms", median),
        "goal < 15 ms", Ratio(median, 15));
    Row(what + ", packet arrival to picture in the video window, 99th percentile", Format("%.2f ms", p99),
        "goal < 40 ms", Ratio(p99, 40));
    Row(what + Format(", frames dropped of %.0f", f.frames), Format("%.0f", Median(f.dropped)), "goal 0",
        "-");
}

// Two threads making thumbnails of `movie` until stopped, as the media list's workers.
class ThumbnailLoad {
public:
    ThumbnailLoad(const std::string& movie, bool background)
    {
        for (int i = 0; i < 2; ++i)
            threads_.emplace_back([this, movie, background] {
                if (background)
                    LowerThisThreadToBackground();
                while (!stop_.load())
                    if (!MakeMovieThumbnail(movie, QSize(160, 90)).image.isNull())
                        made_.fetch_add(1);
            });
    }
    ~ThumbnailLoad()
    {
        stop_.store(true);
        for (std::thread& t : threads_)
            t.join();
    }
    int Made() const { return made_.load(); }

private:
    std::atomic<bool> stop_ { false };
    std::atomic<int> made_ { 0 };
    std::vector<std::thread> threads_;
};

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    double seconds = 15;
    RotationMode rotation = 0;
    bool thumbnailLoad = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (a == "--rotation")
            rotation = std::atoi(argv[i + 1]);
        else if (a == "--thumbnail-load")
            thumbnailLoad = std::atoi(argv[i + 1]) != 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    auto stream = CameraStream1080();
    if (!stream) {
        std::fprintf(stderr, "bench_live: libx264 could not make the camera's stream\n");
        return 1;
    }
    const auto dir
        = std::filesystem::temp_directory_path() / ("kestovar-bench-live-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);

    Figures preview, recording, preview965;
    std::vector<double> over, overThreads, overCapture;
    for (int r = 0; r < runs; ++r) {
        SessionOptions options;
        options.rotation = rotation;
        options.seconds = seconds;
        std::fprintf(stderr, "bench_live: run %d, preview\n", r + 1);
        const SessionResult p = RunSession(options, stream);
        options.kind = SessionKind::Recording;
        options.moviePath = (dir / "bench.avi").string();
        std::fprintf(stderr, "bench_live: run %d, recording\n", r + 1);
        const SessionResult c = RunSession(options, stream);
        if (!p.ok || !c.ok) {
            std::fprintf(stderr, "bench_live: %s\n", (!p.ok ? p.error : c.error).c_str());
            std::filesystem::remove_all(dir);
            return 1;
        }
        // The window a 1280x800 main window gives the picture, as the station starts.
        SessionOptions own;
        own.rotation = rotation;
        own.seconds = seconds;
        own.window = QSize(965, 543);
        std::fprintf(stderr, "bench_live: run %d, preview in the station's default window\n", r + 1);
        const SessionResult d = RunSession(own, stream);
        if (!d.ok) {
            std::fprintf(stderr, "bench_live: %s\n", d.error.c_str());
            std::filesystem::remove_all(dir);
            return 1;
        }
        Add(preview, p);
        Add(recording, c);
        Add(preview965, d);
        over.push_back((c.cpuFractionOfCore - p.cpuFractionOfCore) * 100);
        overThreads.push_back((c.otherGraphThreadsFraction - p.otherGraphThreadsFraction) * 100);
        overCapture.push_back((c.captureThreadFraction - p.captureThreadFraction) * 100);
        std::fprintf(stderr,
            "bench_live:   capture thread %.1f %% / %.1f %%, other graph threads %.1f %% / %.1f %%\n",
            p.captureThreadFraction * 100, c.captureThreadFraction * 100, p.otherGraphThreadsFraction * 100,
            c.otherGraphThreadsFraction * 100);
    }
    Figures loadedOurs, loadedNormal;
    std::vector<double> thumbnailsOurs, thumbnailsNormal;
    const std::string movie = (dir / "thumbs.avi").string();
    if (thumbnailLoad) {
        bool made = false;
        RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=s=1920x1080:r=30 -t 2 "
                   "-c:v libx264 -pix_fmt yuv420p '"
                + movie + "'",
            &made);
        if (!made || MakeMovieThumbnail(movie, QSize(160, 90)).image.isNull()) {
            std::fprintf(stderr, "bench_live: no movie to make thumbnails of\n");
            std::filesystem::remove_all(dir);
            return 1;
        }
    }
    for (int r = 0; thumbnailLoad && r < runs; ++r) {
        SessionOptions options;
        options.rotation = rotation;
        options.seconds = seconds;
        for (bool background : { true, false }) {
            std::fprintf(stderr, "bench_live: run %d, preview with thumbnail workers at %s priority\n", r + 1,
                background ? "background" : "normal");
            ThumbnailLoad load(movie, background);
            const SessionResult p = RunSession(options, stream);
            if (!p.ok) {
                std::fprintf(stderr, "bench_live: %s\n", p.error.c_str());
                std::filesystem::remove_all(dir);
                return 1;
            }
            Add(background ? loadedOurs : loadedNormal, p);
            (background ? thumbnailsOurs : thumbnailsNormal).push_back(load.Made() / seconds);
        }
    }
    std::filesystem::remove_all(dir);

    const std::string shape = Format("1080p30 H.264, rotation %d, 1280x720 window", rotation);
    Print("live preview " + shape, preview, 25);
    Print(Format("live preview 1080p30 H.264, rotation %d, the station's default 965x543 window", rotation),
        preview965, 8);
    Print("recording with sound (" + recording.microphone + ") " + shape, recording, 0);
    const double extra = Median(over);
    Row("recording CPU over preview (% of one core), whole process", Format("%.1f %%", extra), "goal < 3 %",
        Ratio(extra, 3));
    // The process figure carries the noise of a shared machine (a few % run to run);
    // the recording's own threads are measured apart from the capture thread's.
    const double threads = Median(overThreads);
    Row("recording CPU over preview: the recording's own threads (AVI writer, microphone, MP3)",
        Format("%.1f %%", threads), "goal < 3 %", Ratio(threads, 3));
    Row("recording CPU over preview: the capture thread (decode as before, plus queueing each packet)",
        Format("%.1f %%", Median(overCapture)), "-", "-");
    if (thumbnailLoad) {
        const std::string what = "live preview " + shape + " while 2 workers make movie thumbnails";
        auto row = [&](const std::string& figure, double ours, double normal, const char* unit) {
            Row(what + ", " + figure + " (reference: workers at normal priority)", Format("%.2f%s", ours, unit),
                Format("%.2f%s", normal, unit), Ratio(ours, normal));
        };
        row("packet arrival to picture, median", Median(loadedOurs.median), Median(loadedNormal.median), " ms");
        row("packet arrival to picture, 99th percentile", Median(loadedOurs.p99), Median(loadedNormal.p99), " ms");
        row(Format("frames dropped of %.0f", loadedOurs.frames), Median(loadedOurs.dropped),
            Median(loadedNormal.dropped), "");
        row("thumbnails made per second", Median(thumbnailsOurs), Median(thumbnailsNormal), "");
    }
    return 0;
}
