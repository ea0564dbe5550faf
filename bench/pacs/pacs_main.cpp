// bench_pacs: a 1 GB movie sent to Orthanc on loopback.
//  - our send of the prepared object (DcmSCU from its file) against DCMTK's storescu
//    sending the same file: the goal is at least 0.9 of storescu's speed;
//  - the whole job as the queue runs it (object made from the AVI, then sent), and the
//    process's peak resident memory during it (the movie is never held in memory);
//  - the live preview's packet-to-picture latency, 99th percentile, with and without a
//    send running on the queue's background worker (goal: within 10 %), and with
//    DCMTK's storescu sending instead (what any sender and a PACS on the same cores cost).
#include "BenchSupport.h"
#include "OrthancServer.h"

#include "../live/LiveSession.h"
#include "dicom/DicomObjects.h"
#include "dicom/DicomSender.h"
#include "dicom/SendQueue.h"

#include <QGuiApplication>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace kestovar;
using namespace kestovar::bench;

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double PeakResidentMiB()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

// About `bytes` of 1080p30 H.264 (High, level 4.1) with MP3 sound in an AVI, as the
// camera would record it: a short clip encoded once and joined with itself.
bool MakeBigMovie(const std::filesystem::path& dir, uint64_t bytes, std::string& path)
{
    const std::string clip = (dir / "clip.avi").string();
    bool ok = false;
    RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=s=1920x1080:r=30 -f lavfi -i "
               "sine=f=440:r=48000 -t 10 -vf noise=alls=30:allf=t -c:v libx264 -preset ultrafast -profile:v high "
               "-level 4.1 -b:v 40M -maxrate 45M -bufsize 60M -pix_fmt yuv420p -g 30 -bf 0 -c:a libmp3lame -b:a 128k "
               "-ac 2 '"
            + clip + "'",
        &ok);
    if (!ok)
        return false;
    const uint64_t clipBytes = std::filesystem::file_size(clip);
    const uint64_t copies = std::max<uint64_t>(1, (bytes + clipBytes - 1) / clipBytes);
    std::string list;
    for (uint64_t i = 0; i < copies; ++i)
        list += "file '" + clip + "'\n";
    const std::string listPath = (dir / "list.txt").string();
    kestovar::test::WriteFileText(listPath, list);
    path = (dir / "Bench_170226_101600.avi").string();
    RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y -f concat -safe 0 -i '" + listPath + "' -c copy '"
            + path + "'",
        &ok);
    std::filesystem::remove(clip);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    uint64_t bytes = uint64_t(1) << 30;
    // Five alternating runs because the machine's other load moves single runs by a
    // factor of two.
    double liveSeconds = 10;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--mib")
            bytes = uint64_t(std::atoll(argv[i + 1])) << 20;
        else if (a == "--seconds")
            liveSeconds = std::atof(argv[i + 1]);
        else if (a == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const auto dir = std::filesystem::temp_directory_path() / ("kestovar-bench-pacs-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "queue");
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup { dir };

    kestovar::test::OrthancServer orthanc((dir / "orthanc").string());
    // The speed comparison runs Orthanc at normal priority: both senders meet the same
    // receiver. The latency part restarts it in the idle classes (below).
    if (!orthanc.Start()) {
        std::fprintf(stderr, "bench_pacs: %s\n", orthanc.why().c_str());
        return 1;
    }
    std::string movie;
    if (!MakeBigMovie(dir, bytes, movie)) {
        std::fprintf(stderr, "bench_pacs: ffmpeg could not make the movie\n");
        return 1;
    }
    DicomSettings settings;
    settings.pacsAeTitle = QStringLiteral("ORTHANC");
    settings.pacsHost = QStringLiteral("127.0.0.1");
    settings.pacsPort = orthanc.dicomPort();
    settings.stationAeTitle = QStringLiteral("KESTOVAR");
    settings.orgRoot = QStringLiteral("1.2.826.0.1.3680043.10.1234");

    // The object, made as the queue makes it.
    ObjectRequest request;
    request.capturePath = movie;
    request.tempFolder = (dir / "queue").string();
    request.uids.studyUid = "1.2.826.0.1.3680043.10.1234.1";
    request.uids.seriesUid = "1.2.826.0.1.3680043.10.1234.2";
    request.uids.instanceUid = "1.2.826.0.1.3680043.10.1234.3";
    const std::string object = (dir / "object.dcm").string();
    double t0 = Now();
    const ObjectResult made = WriteCaptureObject(request, object);
    const double makeSeconds = Now() - t0;
    if (!made.ok) {
        std::fprintf(stderr, "bench_pacs: %s\n", made.message.c_str());
        return 1;
    }
    const double mib = std::filesystem::file_size(object) / 1048576.0;
    std::fprintf(stderr, "bench_pacs: object %.0f MiB made in %.1f s (%s)\n", mib, makeSeconds,
        made.reencoded ? "re-encoded" : "stream copied");

    // storescu first, then ours, then storescu again: the better of each pair.
    auto storescu = [&] {
        bool ok = false;
        const double s = Now();
        const std::string out = RunCommand("storescu -R -xn -aet KESTOVAR -aec ORTHANC 127.0.0.1 "
                + std::to_string(orthanc.dicomPort()) + " '" + object + "'",
            &ok);
        if (!ok)
            std::fprintf(stderr, "bench_pacs: storescu: %s\n", out.c_str());
        return ok ? Now() - s : -1.0;
    };
    auto ours = [&] {
        const double s = Now();
        const SendOutcome o = StoreFile(settings, object, made.sopClassUid, made.transferSyntaxUid);
        if (!o.ok())
            std::fprintf(stderr, "bench_pacs: %s\n", o.message.c_str());
        return o.ok() ? Now() - s : -1.0;
    };
    const double rssBefore = PeakResidentMiB();
    const double ref1 = storescu();
    const double our1 = ours();
    const double ref2 = storescu();
    const double our2 = ours();
    const double rssAfter = PeakResidentMiB();
    if (ref1 < 0 || ref2 < 0 || our1 < 0 || our2 < 0) {
        std::fprintf(stderr, "bench_pacs: a send failed\n");
        return 1;
    }
    const double ref = std::min(ref1, ref2), our = std::min(our1, our2);
    Row(Format("sending a %.0f MiB Video Endoscopic object to Orthanc on loopback, MiB/s (reference: storescu)", mib),
        Format("%.0f MiB/s", mib / our), Format("%.0f MiB/s", mib / ref), Ratio(ref, our));
    Row("peak resident memory of the station process around the sends", Format("%.0f MiB", rssAfter),
        Format("%.0f MiB before", rssBefore), "-");
    Row("making the object from the AVI (H.264 and MP3 copied)", Format("%.1f s", makeSeconds), "-", "-");

    // The live preview with and without a send on the queue's worker. A hospital's PACS
    // runs on its own machine; here it shares the station's two cores, and filing a 1 GB
    // movie costs Orthanc about half a core while it arrives (far more than the station's
    // own sending). So it now runs in the idle scheduling and I/O classes, on the same
    // storage and port: its work is not charged to the station's live picture. The
    // latency row says so.
    orthanc.Stop();
    orthanc.setIdle(true);
    if (!orthanc.Start()) {
        std::fprintf(stderr, "bench_pacs: %s\n", orthanc.why().c_str());
        return 1;
    }
    auto stream = CameraStream1080();
    if (!stream) {
        std::fprintf(stderr, "bench_pacs: libx264 could not make the camera's stream\n");
        return 1;
    }
    SessionOptions options;
    options.seconds = liveSeconds;
    auto queue = SendQueue::Create((dir / "queue").string(), settings);
    std::atomic<int> sentCount { 0 };
    std::atomic<double> lastSentAt { 0 };
    queue->setListener([&](const QueueEvent& e) {
        if (e.kind == QueueEvent::Sent) {
            lastSentAt = Now();
            ++sentCount;
        }
    });
    // Two captures of the movie (a second name for the same file, so other UIDs) queued
    // together keep the worker sending for the whole preview even when the machine is
    // quiet and one send takes little longer than the preview.
    const std::string movie2 = (dir / "Bench2_170226_101700.avi").string();
    std::filesystem::create_hard_link(movie, movie2);
    queue->Start();
    // Runs alternate without and with a send, so the machine's other load falls on both.
    std::vector<double> quietP99, busyP99, quietDropped, busyDropped, jobSeconds, referenceP99;
    bool allOverlapped = true;
    for (int r = 0; r < runs; ++r) {
        const SessionResult quiet = RunSession(options, stream);
        // The reference sender: DCMTK's storescu sending the prepared object twice, in
        // the same idle classes as our worker, while the preview runs. What it costs the
        // preview is what any sender and a PACS on the same two cores cost it.
        std::thread reference([&] {
            bool ok = false;
            const std::string out = RunCommand(
                "for i in 1 2; do chrt -i 0 ionice -c 3 storescu -R -xn -aet KESTOVAR -aec ORTHANC 127.0.0.1 "
                    + std::to_string(orthanc.dicomPort()) + " '" + object + "' 2>&1 || exit 1; done",
                &ok);
            if (!ok)
                std::fprintf(stderr, "bench_pacs: storescu failed during the preview: %s\n", out.c_str());
        });
        const SessionResult withReference = RunSession(options, stream);
        reference.join();
        const int before = sentCount;
        queue->Enqueue(movie, std::nullopt); // the same UIDs each run: the PACS keeps one copy
        queue->Enqueue(movie2, std::nullopt);
        const double jobStart = Now();
        const SessionResult busy = RunSession(options, stream);
        allOverlapped = allOverlapped && sentCount < before + 2;
        while (sentCount < before + 2 && Now() - jobStart < 1800)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!quiet.ok || !busy.ok || !withReference.ok || sentCount < before + 2) {
            std::fprintf(stderr, "bench_pacs: %s\n",
                !quiet.ok                 ? quiet.error.c_str()
                    : !busy.ok            ? busy.error.c_str()
                    : !withReference.ok   ? withReference.error.c_str()
                                          : "the job was not sent");
            return 1;
        }
        referenceP99.push_back(Percentile(withReference.latencyMs, 99));
        jobSeconds.push_back((lastSentAt - jobStart) / 2);
        quietP99.push_back(Percentile(quiet.latencyMs, 99));
        busyP99.push_back(Percentile(busy.latencyMs, 99));
        quietDropped.push_back(double(quiet.droppedAtCamera));
        busyDropped.push_back(double(busy.droppedAtCamera));
        std::fprintf(stderr,
            "bench_pacs: run %d: p99 %.2f ms without, %.2f ms with our send, %.2f ms with storescu's; job %.1f s\n",
            r + 1, quietP99.back(), busyP99.back(), referenceP99.back(), jobSeconds.back());
    }
    queue->Stop(std::chrono::seconds(60));
    Row("the whole job from AVI to PACS on the background worker (two queued together, half their time), median", Format("%.1f s", Median(jobSeconds)), "-",
        "-");
    Row(std::string("live preview 1080p30, packet arrival to picture, 99th percentile, while a send runs (Orthanc "
                    "on the same cores at idle priority, SCHED_IDLE, standing in for a PACS on its own machine)")
            + (allOverlapped ? "" : " (the sends ended before their preview)") + " (reference: no send), median of "
            + std::to_string(runs),
        Format("%.2f ms", Median(busyP99)), Format("%.2f ms", Median(quietP99)),
        Ratio(Median(busyP99), Median(quietP99)));
    Row("live preview 1080p30, packet arrival to picture, 99th percentile, while our worker makes and sends the "
        "object (reference: while DCMTK's storescu, at the same idle priority, sends the object already made), "
        "median of "
            + std::to_string(runs),
        Format("%.2f ms", Median(busyP99)), Format("%.2f ms", Median(referenceP99)),
        Ratio(Median(busyP99), Median(referenceP99)));
    Row("live preview frames dropped while a send runs (reference: no send), median",
        Format("%.0f", Median(busyDropped)), Format("%.0f", Median(quietDropped)), "-");
    return 0;
}
