#include "ui/ImageStrip.h"

namespace kestovar {

bool ImageStrip::Load(const QString& role, int frameWidth, int frameHeight)
{
    if (!image_.Load(role)) {
        frame_ = {};
        return false;
    }
    const QSize s = image_.Size();
    frame_ = (frameWidth > 0 && frameHeight > 0) ? QSize(frameWidth, frameHeight) : s;
    return true;
}

int ImageStrip::FrameCount() const
{
    if (!IsLoaded() || frame_.isEmpty())
        return 0;
    const QSize s = image_.Size();
    return s.height() > s.width() ? s.height() / frame_.height() : s.width() / frame_.width();
}

QRect ImageStrip::FrameRect(int index) const
{
    if (index < 0 || index >= FrameCount())
        return {};
    const QSize s = image_.Size();
    if (s.height() > s.width())
        return QRect(QPoint(0, index * frame_.height()), frame_);
    return QRect(QPoint(index * frame_.width(), 0), frame_);
}

QImage ImageStrip::Frame(int index, qreal devicePixelRatio) const
{
    const QRect r = FrameRect(index);
    if (r.isEmpty())
        return {};
    const QImage all = image_.Render(devicePixelRatio);
    const qreal d = all.devicePixelRatio();
    QImage frame
        = all.copy(qRound(r.x() * d), qRound(r.y() * d), qRound(r.width() * d), qRound(r.height() * d));
    frame.setDevicePixelRatio(d);
    return frame;
}

} // namespace kestovar
