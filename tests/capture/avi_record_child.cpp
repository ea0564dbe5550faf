// A recording process to be killed: records the simulated Full HD camera (1080p30,
// H.264) with the simulated microphone's tone into <folder>/rec_<n>.avi, rolling over
// into the next file whenever the current one passes <rollover-bytes>, as the station
// does at its size limit, until <seconds> have passed.
//
// It tells its parent, one line each, unbuffered on standard output:
//   f <n> <path>          file n is being started
//   p <n> <count>         the camera has delivered `count` packets into file n
//                         (not in soak runs, which report per file)
//   c <n> <count>         file n was completed holding `count` delivered packets
//   m <seconds> <rss-kib> <open-fds>   every `--stats` seconds (soak runs)
//   e <n> <message>       file n could not be recorded
//
// usage: avi_record_child <folder> <rollover-bytes> <seconds> [--stats <s>]
// The journal of recordings in progress is $KESTOVAR_REGISTRY_DIR/recordings-in-progress
// (the station's) when that is set, else <folder>/.recordings-in-progress.
#include "capture/RecordGraph.h"
#include "capture/RecordingJournal.h"
#include "platform/CameraProvider.h"
#include "platform/SimulatedAudioBackend.h"

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace kestovar;

void Say(const std::string& line)
{
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

long ResidentKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

long OpenFds()
{
    long n = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <folder> <rollover-bytes> <seconds> [--stats <s>]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    // As the station does: every file is journalled until it is complete, in the
    // station's journal when a settings folder is given, else beside the movies.
    const char* registry = std::getenv("KESTOVAR_REGISTRY_DIR");
    SetRecordingJournal(registry && *registry ? std::string(registry) + "/recordings-in-progress"
                                              : folder + "/.recordings-in-progress");
    const uint64_t rollover = std::strtoull(argv[2], nullptr, 10);
    const double seconds = std::strtod(argv[3], nullptr);
    double statsEvery = 0;
    if (argc >= 6 && std::strcmp(argv[4], "--stats") == 0)
        statsEvery = std::strtod(argv[5], nullptr);

    // As the station does at start (CKestovarApp): picture buffers go back to the
    // system when freed.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    if (!SelectSimulatedCamera("fullhd")) {
        std::fprintf(stderr, "no simulated camera\n");
        return 2;
    }
    auto audio = std::make_shared<SimulatedAudioBackend>();
    UseAudioBackendForMicrophones(audio);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point nextStats = start;
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    for (int n = 0; elapsed() < seconds; ++n) {
        const std::string path = folder + "/rec_" + std::to_string(n) + ".avi";
        auto delivered = std::make_shared<std::atomic<uint64_t>>(0);
        auto graph = std::make_unique<RecordGraph>(audio);
        const bool perPacket = statsEvery <= 0; // a soak run reports per file only
        graph->AddPacketConsumer([n, delivered, perPacket](const std::shared_ptr<const CameraPacket>&) {
            // The writer, the first consumer, has queued this packet already.
            const uint64_t count = ++*delivered;
            if (perPacket)
                Say("p " + std::to_string(n) + " " + std::to_string(count));
        });
        Say("f " + std::to_string(n) + " " + path);
        if (!graph->Build(path, true)) {
            Say("e " + std::to_string(n) + " " + graph->LastError());
            return 1;
        }
        graph->SetResolution(Res1080);
        graph->SetQuality(QualityHigh);
        graph->SetFrameRate(Fps30);
        graph->SetRotation(0);
        if (!graph->Start()) {
            Say("e " + std::to_string(n) + " " + graph->LastError());
            return 1;
        }
        while (elapsed() < seconds && (rollover == 0 || graph->FileBytes() < rollover)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (statsEvery > 0 && Clock::now() >= nextStats) {
                Say("m " + std::to_string(static_cast<long>(elapsed())) + " " + std::to_string(ResidentKib())
                    + " " + std::to_string(OpenFds()));
                nextStats += std::chrono::milliseconds(static_cast<long>(statsEvery * 1000));
            }
        }
        const bool ok = graph->Stop();
        graph->Teardown();
        graph.reset();
        if (!ok) {
            Say("e " + std::to_string(n) + " the file could not be completed");
            return 1;
        }
        Say("c " + std::to_string(n) + " " + std::to_string(delivered->load()));
    }
    UseAudioBackendForMicrophones(nullptr);
    return 0;
}
