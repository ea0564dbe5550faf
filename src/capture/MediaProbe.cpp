#include "capture/MediaProbe.h"

#include "capture/MediaHandles.h"

#include <QImageReader>
#include <QString>

namespace kestovar {

bool ReadMovieFrameSize(const std::string& path, int& width, int& height)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return false;
    media::InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
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
