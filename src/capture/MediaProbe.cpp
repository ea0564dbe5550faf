#include "capture/MediaProbe.h"
#include "platform/CameraAvPtr.h"

#include "capture/MediaHandles.h"

#include <QImageReader>
#include <QString>

#include <vector>

namespace kestovar {

namespace {
constexpr int64_t kMaxProbePixels = 8192LL * 8192LL;
} // namespace

bool ReadMovieFrameSize(const std::string& path, int& width, int& height)
{
    AVFormatContext* raw = nullptr;
    av::LimitAllocations();
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return false;
    media::InputPtr input(raw);
    // The probe may decode a first picture; a damaged file claiming a giant one must not
    // make it allocate that (the player refuses such pictures anyway).
    std::vector<AVDictionary*> options(input->nb_streams, nullptr);
    for (AVDictionary*& o : options)
        av_dict_set_int(&o, "max_pixels", kMaxProbePixels, 0);
    const int probed = avformat_find_stream_info(input.get(), options.empty() ? nullptr : options.data());
    for (AVDictionary*& o : options)
        av_dict_free(&o);
    if (probed < 0)
        return false;
    bool found = false;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* par = stream->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_VIDEO || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        if (par->width <= 0 || par->height <= 0)
            continue;
        width = par->width;
        height = par->height;
        found = true;
    }
    return found;
}

bool ReadPictureSize(const std::string& path, int& width, int& height)
{
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.canRead() ? reader.size() : QSize();
    width = size.isValid() ? size.width() : 0;
    height = size.isValid() ? size.height() : 0;
    return true;
}

} // namespace kestovar
