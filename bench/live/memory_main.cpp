// Resident memory over a long live preview and a long recording with sound (1080p30,
// packets encoded beforehand, the real graphs): the size at minute 2 against minute 10.
// Goal: flat within 5 MB. Takes twice the given minutes; scripts/bench runs it only
// when asked by name (scripts/bench memory). Every sample goes to stderr.
//
//   bench_memory [--minutes M] [--only preview|recording]

#include "LiveSession.h"

#include "../common/BenchSupport.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

using namespace kestovar;
using namespace kestovar::bench;

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

bool Measure(const std::string& what, SessionOptions options, const std::shared_ptr<const PacketList>& stream,
    double minutes)
{
    std::vector<std::pair<double, double>> samples; // seconds, bytes
    options.warmUpSeconds = 0;
    options.seconds = minutes * 60;
    options.sampleSeconds = 10;
    options.sample = [&](double elapsed) {
        const double rss = ResidentBytes();
        samples.emplace_back(elapsed, rss);
        std::fprintf(stderr, "bench_memory: %s %6.0f s  RSS %.1f MiB\n", what.c_str(), elapsed, rss / kMiB);
    };
    const SessionResult r = RunSession(options, stream);
    if (!r.ok || samples.empty()) {
        std::fprintf(stderr, "bench_memory: %s: %s\n", what.c_str(), r.error.c_str());
        return false;
    }
    // The sample nearest to the end of minute 2 (or a fifth of the run when shorter).
    const double early = std::min(120.0, options.seconds / 5);
    double atEarly = samples.front().second;
    for (const auto& [t, bytes] : samples)
        if (t <= early + 5)
            atEarly = bytes;
    const double atEnd = ResidentBytes();
    const double growth = (atEnd - atEarly) / kMiB;
    const std::string shape = what + " 1080p30" + (r.microphone.empty() ? "" : " (" + r.microphone + ")");
    Row(shape + Format(", resident memory at minute %.0f", early / 60), Format("%.1f MiB", atEarly / kMiB),
        "-", "-");
    Row(shape + Format(", resident memory at minute %.0f", minutes), Format("%.1f MiB", atEnd / kMiB), "-",
        "-");
    Row(shape + Format(", growth minute %.0f to %.0f", early / 60, minutes), Format("%+.1f MiB", growth),
        "goal within 5 MB", Ratio(std::abs(growth) * kMiB, 5e6));
    Row(shape + Format(", frames dropped in %.0f min (at the camera + not shown)", minutes),
        Format("%llu of %llu", static_cast<unsigned long long>(r.droppedAtCamera + r.notShown),
            static_cast<unsigned long long>(r.packetsDue)),
        "goal 0", "-");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    double minutes = 10;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--minutes")
            minutes = std::max(0.5, std::atof(argv[i + 1]));
        else if (a == "--only")
            only = argv[i + 1];
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    auto stream = CameraStream1080();
    if (!stream) {
        std::fprintf(stderr, "bench_memory: libx264 could not make the camera's stream\n");
        return 1;
    }
    bool ok = true;
    if (only.empty() || only == "preview") {
        SessionOptions options;
        ok = Measure("live preview", options, stream, minutes) && ok;
    }
    if (only.empty() || only == "recording") {
        const auto dir
            = std::filesystem::temp_directory_path() / ("kestovar-bench-memory-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        SessionOptions options;
        options.kind = SessionKind::Recording;
        options.moviePath = (dir / "bench.avi").string();
        ok = Measure("recording with sound", options, stream, minutes) && ok;
        std::filesystem::remove_all(dir);
    }
    return ok ? 0 : 1;
}
