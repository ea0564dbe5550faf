#pragma once
// Thumbnails of listed captures: movies from their first decodable picture through
// FFmpeg, pictures through Qt's image reader at the thumbnail's size. Both stretch the
// picture to exactly the size asked for, as the list's image slots are all one size.
//
// Damaged and hostile files must neither crash nor stall the list, so the movie reader
// is bounded: it probes a limited amount, refuses pictures larger than maxPixels before
// allocating anything, decodes a limited number of packets and gives up at a deadline
// (or as soon as `cancel` is set). The picture reader decodes JPEGs scaled down inside
// libjpeg, so a 20000 x 20000 picture costs about as much as a 2500 x 2500 one, and
// never allocates more than Qt's image allocation limit.
//
// Any thread; the functions share nothing.

#include <QImage>
#include <QSize>

#include <atomic>
#include <cstdint>
#include <string>

namespace kestovar {

struct ThumbnailLimits {
    int64_t probeBytes = 2 * 1024 * 1024; // read to find the streams
    int64_t analyzeMicros = 2'000'000; // media time looked at to find the streams
    int maxPackets = 600; // packets read in all
    int maxVideoPackets = 150; // video packets given to the decoder
    int64_t maxPixels = 8192LL * 8192LL; // larger pictures are not decoded
    int timeoutMs = 5000; // the whole attempt
};

struct ThumbnailResult {
    QImage image; // Format_RGB32 of the size asked for; null when there is none
    std::string why; // what went wrong, for logs and tests
    bool ok() const { return !image.isNull(); }
};

ThumbnailResult MakeMovieThumbnail(const std::string& path, QSize pixelSize,
    const ThumbnailLimits& limits = {}, const std::atomic<bool>* cancel = nullptr);

// Pictures larger than this are not decoded (the JPEG reader still needs a 64th of the
// picture's pixels); 20000 x 20000 is well inside.
inline constexpr int64_t kMaxPicturePixels = 1LL << 30;

ThumbnailResult MakePictureThumbnail(const std::string& path, QSize pixelSize);

} // namespace kestovar
