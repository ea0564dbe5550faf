// Media list refresh with 500 pictures (1920x1080 JPEG) and 500 movies (1080p H.264
// with MP3 in AVI, made with the ffmpeg command line and copied), on the offscreen
// platform. Prints "figure | ours | reference | ratio"; the reference is a refresh that
// makes every thumbnail on the GUI thread before it returns (the design's original
// way), measured with the same thumbnail functions. KESTOVAR_THUMBNAIL_THREADS sets the
// number of thumbnail workers (default: one per core, four at most).

#include "library/CKestovarFormView.h"
#include "library/MediaLibraryHost.h"
#include "library/MediaListModel.h"
#include "library/MediaThumbnail.h"
#include "library/ThumbnailLoader.h"
#include "recording/CAppSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace kestovar;
namespace fs = std::filesystem;

namespace {

constexpr int kPictures = 500;
constexpr int kMovies = 500;
constexpr int kRounds = 3;

class BenchHost : public MediaLibraryHost {
public:
    explicit BenchHost(CAppSettings& s)
        : settings_(s)
    {
    }
    FormMode CurrentMode() const override { return FormMode::Live; }
    CAppSettings& Settings() override { return settings_; }
    void StopRecording() override { }
    void HideNoCameraNotice() override { }
    void PrepareVideoWindowForMedia() override { }
    bool ShowMovie(const QString&) override { return true; }
    void ShowPicture(const QString&) override { }
    void UpdateControlStates() override { }
    void ClosePlaybackBeforeDelete(const QString&) override { }

private:
    CAppSettings& settings_;
};

bool MakeFolders(const fs::path& root)
{
    const fs::path image = root / "image", movie = root / "movie";
    fs::create_directories(image);
    fs::create_directories(movie);
    const fs::path sample = root / "sample.avi";
    const std::string cmd
        = "ffmpeg -v error -y -f lavfi -i testsrc=size=1920x1080:rate=30 -f lavfi -i "
          "sine=frequency=440:sample_rate=48000 -t 2 -c:v libx264 -preset ultrafast -bf 0 -g 30 "
          "-pix_fmt yuv420p -c:a libmp3lame -b:a 128k '"
        + sample.string() + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "bench_medialist: ffmpeg could not make the sample movie\n");
        return false;
    }
    QImage picture(1920, 1080, QImage::Format_RGB32);
    QPainter p(&picture);
    QLinearGradient g(0, 0, 1920, 1080);
    g.setColorAt(0, QColor(120, 30, 30));
    g.setColorAt(1, QColor(240, 190, 160));
    p.fillRect(picture.rect(), g);
    p.end();
    const fs::path firstPicture = image / "170226_100000.jpg";
    if (!picture.save(QString::fromStdString(firstPicture.string()), "JPG"))
        return false;
    for (int i = 1; i < kPictures; ++i)
        fs::copy_file(firstPicture, image / ("170226_1" + std::to_string(100000 + i) + ".jpg"));
    for (int i = 0; i < kMovies; ++i)
        fs::copy_file(sample, movie / ("knee_170226_" + std::to_string(200000 + i) + ".avi"));
    return true;
}

double ThreadCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
        + usage.ru_stime.tv_usec / 1e3;
}

struct Refresh {
    double callMs = 0; // RefreshMediaList itself
    double allMs = 0; // until every thumbnail is in
    double longestBlockMs = 0; // longest time the event loop did not turn
    double guiCpuMs = 0; // CPU time the GUI thread spent meanwhile
    int missing = 0;
};

Refresh TimeRefresh(CKestovarFormView& form)
{
    Refresh r;
    QElapsedTimer clock;
    // A precise 5 ms timer: a gap between its runs longer than that is time the GUI
    // thread was busy with something else. (A zero timer would spin the thread and
    // take a core from the workers.)
    constexpr int kProbeMs = 5;
    qint64 lastTurn = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kProbeMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        r.longestBlockMs = std::max(r.longestBlockMs, (now - lastTurn) / 1e6 - kProbeMs);
        lastTurn = now;
    });
    const double cpuBefore = ThreadCpuMs();
    clock.start();
    form.RefreshMediaList();
    r.callMs = clock.nsecsElapsed() / 1e6;
    r.longestBlockMs = r.callMs;
    lastTurn = clock.nsecsElapsed();
    probe.start();
    // Wait as the station would: in its event loop, until the last thumbnail is in.
    if (form.ListModel()->PendingCount() > 0) {
        QEventLoop loop;
        QObject::connect(form.Loader(), &ThumbnailLoader::Idle, &loop, &QEventLoop::quit);
        loop.exec();
    }
    r.allMs = clock.nsecsElapsed() / 1e6;
    r.guiCpuMs = ThreadCpuMs() - cpuBefore;
    probe.stop();
    for (int row = 0; row < form.ListModel()->rowCount(); ++row)
        r.missing += form.ListModel()->StateOf(row) == MediaListModel::ThumbnailState::Missing;
    return r;
}

// Each figure's median over the rounds.
Refresh Middle(std::vector<Refresh> runs)
{
    Refresh m;
    auto median = [&runs](double Refresh::*field) {
        std::vector<double> v;
        for (const Refresh& r : runs)
            v.push_back(r.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    m.callMs = median(&Refresh::callMs);
    m.allMs = median(&Refresh::allMs);
    m.longestBlockMs = median(&Refresh::longestBlockMs);
    m.guiCpuMs = median(&Refresh::guiCpuMs);
    m.missing = runs.front().missing;
    return m;
}

// Every thumbnail made one after another on this thread, as a synchronous refresh would.
double SynchronousMs(const std::vector<MediaEntry>& entries, QSize size)
{
    QElapsedTimer clock;
    clock.start();
    for (const MediaEntry& e : entries) {
        if (e.kind == MediaKind::Movie)
            MakeMovieThumbnail(e.path, size);
        else
            MakePictureThumbnail(e.path, size);
    }
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR"))
        setenv("XDG_RUNTIME_DIR", "/tmp", 1);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("KESTOVAR_REGISTRY_DIR", dir.filePath(QStringLiteral("registry")).toLocal8Bit());
    const fs::path root = fs::path(dir.path().toStdString()) / "store";
    if (!MakeFolders(root))
        return 1;

    CAppSettings settings(dir.path());
    settings.SetRootPath(QString::fromStdString(root.string()));
    BenchHost host(settings);
    CKestovarFormView form(host);
    form.SetFreeSpaceSource([](const std::string&) { return std::nullopt; });
    if (const char* threads = std::getenv("KESTOVAR_THUMBNAIL_THREADS"))
        form.Loader()->SetThreadCount(std::atoi(threads));
    form.show();
    QApplication::processEvents();

    form.RefreshMediaList();
    form.Loader()->CancelAll();
    const double syncBefore = SynchronousMs(form.ListModel()->Entries(), form.ThumbnailPixelSize());
    // Three rounds of a first (cache emptied) and a second refresh; the middle one counts.
    std::vector<Refresh> firsts, seconds;
    for (int round = 0; round < kRounds; ++round) {
        form.Cache().Clear();
        firsts.push_back(TimeRefresh(form));
        seconds.push_back(TimeRefresh(form));
    }
    const Refresh first = Middle(firsts);
    const Refresh second = Middle(seconds);
    const int items = form.ListModel()->rowCount();
    const int workers = form.Loader()->ThreadCount();
    std::fprintf(stderr,
        "bench_medialist: %d items, %d without a thumbnail, %d workers, GUI thread CPU %.0f ms\n", items,
        first.missing, workers, first.guiCpuMs);
    // The reference before and after our rounds, the faster of the two (the machine's
    // load changes while the benchmark runs).
    const double sync
        = std::min(syncBefore, SynchronousMs(form.ListModel()->Entries(), form.ThumbnailPixelSize()));

    std::printf(
        "medialist %d pictures + %d movies, first refresh: GUI thread held by the refresh call (ms) | %.1f | "
        "%.1f | %.3f\n",
        kPictures, kMovies, first.callMs, sync, first.callMs / sync);
    std::printf(
        "medialist first refresh: longest GUI-thread block until all thumbnails are in (ms) | %.1f | %.1f | "
        "%.3f\n",
        first.longestBlockMs, sync, first.longestBlockMs / sync);
    std::printf("medialist first refresh: all %d thumbnails in, %d workers (ms) | %.1f | %.1f | %.2f\n",
        items, workers, first.allMs, sync, first.allMs / sync);
    std::printf("medialist second refresh, cached: list filled with thumbnails (ms) | %.1f | %.1f | %.4f\n",
        second.allMs, sync, second.allMs / sync);
    std::printf(
        "medialist second refresh: longest GUI-thread block (ms) | %.1f | - | -\n", second.longestBlockMs);
    return items == kPictures + kMovies ? 0 : 1;
}
