#include "ui/CMySliderControl.h"

#include "ui/SkinSliderStyle.h"

#include <QPainter>
#include <QStyleOptionSlider>

#include <algorithm>

namespace kestovar {

QRect SeekFillRect(const QRect& channel, int thumbLeft)
{
    const int width = std::clamp(thumbLeft + channel.left() - 5, 0, channel.width());
    return QRect(channel.left(), channel.top(), width, channel.height());
}

CMySliderControl::CMySliderControl(Qt::Orientation orientation, QWidget* parent)
    : CMySliderControl(ChannelLook::Stretched, orientation, parent)
{
}

CMySliderControl::CMySliderControl(ChannelLook look, Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
    , look_(look)
    , style_(new SkinSliderStyle(this))
{
    setStyle(style_);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool CMySliderControl::SetChannelBitmap(const QString& role)
{
    const bool ok = channel_.Load(role);
    update();
    return ok;
}

bool CMySliderControl::SetThumbBitmaps(const QString& normalRole, const QString& disabledRole)
{
    const bool ok = thumb_.Load(normalRole);
    thumbDisabled_.Load(disabledRole);
    if (ok) {
        const QSize s = thumb_.Size();
        // The image is drawn 2 pixels before the trackbar's thumb, so the thumb is
        // 4 pixels thinner than the image and the image sits centred on it.
        if (orientation() == Qt::Horizontal)
            style_->SetThumb(s.width(), s.height() - 4);
        else
            style_->SetThumb(s.height(), s.width() - 4);
        updateGeometry();
    }
    update();
    return ok;
}

void CMySliderControl::SetThumbColours(QRgb normal, QRgb selected)
{
    thumbColour_ = normal;
    thumbSelectedColour_ = selected;
    update();
}

const CGdiPlusBitmapResource& CMySliderControl::ShownThumb() const
{
    return isEnabled() || !thumbDisabled_.IsLoaded() ? thumb_ : thumbDisabled_;
}

QRect CMySliderControl::ThumbRect() const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

QRect CMySliderControl::ChannelRect() const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle = ThumbRect();
    const int len = style()->pixelMetric(QStyle::PM_SliderLength, &opt, this);
    // A trackbar channel: 4 pixels thick through the thumb's middle, running
    // between the thumb centre's two extremes.
    if (orientation() == Qt::Horizontal)
        return QRect(len / 2, handle.center().y() - 1, std::max(0, width() - len), 4);
    return QRect(handle.center().x() - 1, len / 2, 4, std::max(0, height() - len));
}

void CMySliderControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    if (tickPosition() != NoTicks) {
        opt.subControls = QStyle::SC_SliderTickmarks;
        style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
    }

    const QRect channel = ChannelRect();
    const QRect widened
        = orientation() == Qt::Horizontal ? channel.adjusted(0, -2, 0, 2) : channel.adjusted(-1, 0, 1, 0);
    if (channel_.IsLoaded()) {
        QRect target = widened;
        if (look_ == ChannelLook::Stretched) {
            if (orientation() == Qt::Horizontal)
                target = QRect(widened.left(), widened.top() - 10, widened.width(), widened.height() + 15);
            else
                target = QRect(widened.left() - 10, widened.top(), widened.width() + 15, widened.height());
        }
        channel_.Draw(p, QRectF(target));
    }
    const QRect thumbRect = ThumbRect();
    if (look_ == ChannelLook::FilledToThumb) {
        if (orientation() == Qt::Horizontal) {
            p.fillRect(SeekFillRect(channel, thumbRect.left()), Qt::white);
        } else {
            const QRect t = SeekFillRect(channel.transposed(), thumbRect.top());
            p.fillRect(t.transposed(), Qt::white);
        }
    }
    const CGdiPlusBitmapResource& thumb = ShownThumb();
    if (thumb.IsLoaded()) {
        const QSize s = thumb.Size();
        const QPoint at = orientation() == Qt::Horizontal ? QPoint(thumbRect.left(), thumbRect.top() - 2)
                                                          : QPoint(thumbRect.left() - 2, thumbRect.top());
        thumb.Draw(p, QRectF(at, QSizeF(s)));
    }
}

} // namespace kestovar
