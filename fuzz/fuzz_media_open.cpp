// Every file in the storage folders is opened by the media list (thumbnail), by the
// layout code (frame size, picture size) and, when double-clicked, by the player. Files
// arrive from cameras, copies and damaged disks: none may crash, hang or exhaust memory
// in any of these paths.

#include "capture/MediaProbe.h"
#include "library/MediaThumbnail.h"
#include "playback/MovieEngine.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

using namespace kestovar;
namespace fs = std::filesystem;

namespace {

const fs::path& Folder()
{
    static const fs::path folder = [] {
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path p = base / ("kestovar-fuzz-media-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

void Write(const fs::path& file, const uint8_t* data, size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    av_log_set_level(AV_LOG_QUIET);
    // The picture readers are Qt plugins, found through the application's library paths.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string movie = (Folder() / "case_170226_140509.avi").string();
    const std::string picture = (Folder() / "170226_140509.jpg").string();
    Write(movie, data, size);
    Write(picture, data, size);

    int width = -1, height = -1;
    if (ReadMovieFrameSize(movie, width, height) && (width <= 0 || height <= 0))
        std::abort(); // a size was reported that is none
    ReadPictureSize(picture, width, height);

    ThumbnailLimits limits;
    limits.timeoutMs = 3000;
    const ThumbnailResult movieThumb = MakeMovieThumbnail(movie, QSize(95, 70), limits);
    if (movieThumb.ok() && movieThumb.image.size() != QSize(95, 70))
        std::abort();
    const ThumbnailResult pictureThumb = MakePictureThumbnail(picture, QSize(95, 70));
    if (pictureThumb.ok() && pictureThumb.image.size() != QSize(95, 70))
        std::abort();

    // The player's open path: first frame decoded and shown, then closed again.
    {
        int shown = 0;
        MovieEngine engine(nullptr, { [&](const AVFrame* f) { shown += f && f->width > 0; }, [] {} });
        std::string error;
        if (engine.Open(movie, &error) && shown == 0)
            std::abort(); // opened without a first picture
    }
    return 0;
}
