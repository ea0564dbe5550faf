#include "ui/CBitmapSlider.h"

#include "ui/SkinPalette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kestovar {

QImage MaskKeyColour(const QImage& image, QRgb key)
{
    if (image.isNull())
        return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb match = (key == CBitmapSlider::kKeyFromTopLeft ? out.pixel(0, 0) : key) & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == match)
                line[x] = 0;
        }
    }
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

CBitmapSlider::CBitmapSlider(int controlId, QWidget* parent)
    : QWidget(parent)
    , id_(controlId)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CBitmapSlider::SetRange(int minimum, int maximum, bool redraw)
{
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    pos_ = std::clamp(pos_, min_, max_);
    if (redraw)
        update();
}

void CBitmapSlider::SetPos(int position)
{
    pos_ = std::clamp(position, min_, max_);
    update();
}

void CBitmapSlider::SetMargin(int left, int top, int right, int bottom)
{
    marginLeft_ = left;
    marginTop_ = top;
    marginRight_ = right;
    marginBottom_ = bottom;
    update();
}

void CBitmapSlider::SetVertical(bool vertical)
{
    vertical_ = vertical;
    update();
}

bool CBitmapSlider::SetBitmapChannel(
    const QString& role, const QString& activeRole, bool transparent, QRgb key, QRgb activeKey)
{
    const bool ok = channel_.image.Load(role);
    channel_.transparent = channelActive_.transparent = transparent;
    channel_.key = key;
    channelActive_.key = activeKey;
    if (activeRole.isEmpty())
        channelActive_.image.Reset();
    else
        channelActive_.image.Load(activeRole);
    if (ok)
        resize(channel_.image.Size());
    Dirty();
    updateGeometry();
    return ok;
}

bool CBitmapSlider::SetBitmapThumb(
    const QString& role, const QString& activeRole, bool transparent, QRgb key, QRgb activeKey)
{
    const bool ok = thumb_.image.Load(role);
    thumb_.transparent = thumbActive_.transparent = transparent;
    thumb_.key = key;
    thumbActive_.key = activeKey;
    if (activeRole.isEmpty())
        thumbActive_.image.Reset();
    else
        thumbActive_.image.Load(activeRole);
    Dirty();
    return ok;
}

QSize CBitmapSlider::sizeHint() const
{
    return channel_.image.IsLoaded() ? channel_.image.Size() : QSize(100, 20);
}

void CBitmapSlider::Dirty()
{
    for (Layer* l : { &channel_, &channelActive_, &thumb_, &thumbActive_ })
        l->rendered = QImage();
    update();
}

QImage& CBitmapSlider::Rendered(Layer& layer, QSize size)
{
    const qreal dpr = devicePixelRatioF();
    if (layer.image.IsLoaded()
        && (layer.rendered.isNull() || layer.rendered.devicePixelRatio() != dpr
            || layer.rendered.deviceIndependentSize().toSize() != size)) {
        layer.rendered = layer.image.Render(size, dpr);
        if (layer.transparent)
            layer.rendered = MaskKeyColour(layer.rendered, layer.key);
    }
    return layer.rendered;
}

BitmapSliderGeometry CBitmapSlider::Geometry() const
{
    BitmapSliderGeometry g;
    const QSize thumb = thumb_.image.IsLoaded() ? thumb_.image.Size() : QSize(0, 0);
    // Vertical travel runs bottom-up, so the bottom margin is where it starts.
    g.length = vertical_ ? height() : width();
    g.marginStart = vertical_ ? marginBottom_ : marginLeft_;
    g.marginEnd = vertical_ ? marginTop_ : marginRight_;
    g.thumbLength = vertical_ ? thumb.height() : thumb.width();
    g.minimum = min_;
    g.maximum = max_;
    return g;
}

int CBitmapSlider::Along(const QPointF& p) const
{
    return vertical_ ? height() - 1 - qRound(p.y()) : qRound(p.x());
}

int CBitmapSlider::ThumbCentre() const
{
    const int along = Geometry().PixelOf(pos_);
    return vertical_ ? height() - 1 - along : along;
}

int CBitmapSlider::PixelToValue(int along) const
{
    return Geometry().ValueAt(along);
}

void CBitmapSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QSize full = size();
    if (QImage& ch = Rendered(channel_, full); !ch.isNull())
        p.drawImage(QPoint(0, 0), ch);

    const int centre = ThumbCentre();
    if (isEnabled() && channelActive_.image.IsLoaded()) {
        const QImage& active = Rendered(channelActive_, full);
        // The part already travelled: left of the thumb, or below it when vertical.
        const QRect part
            = vertical_ ? QRect(0, centre, width(), height() - centre) : QRect(0, 0, centre, height());
        p.save();
        p.setClipRect(part);
        p.drawImage(QPoint(0, 0), active);
        p.restore();
    }

    Layer& thumbLayer = (dragging_ && thumbActive_.image.IsLoaded()) ? thumbActive_ : thumb_;
    if (thumbLayer.image.IsLoaded()) {
        const QSize ts = thumbLayer.image.Size();
        const QImage& t = Rendered(thumbLayer, ts);
        const QPoint at = vertical_ ? QPoint((width() - ts.width()) / 2, centre - ts.height() / 2)
                                    : QPoint(centre - ts.width() / 2, (height() - ts.height()) / 2);
        p.drawImage(at, t);
    }

    if (hasFocus() && isEnabled() && drawFocusRect_) {
        QPen pen(skin::Colour(skin::kAccent));
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    dragging_ = true;
    const int along = Along(event->position());
    const int centre = Geometry().PixelOf(pos_);
    const int half = Geometry().thumbLength / 2;
    // Held inside the thumb, the thumb keeps its grip; elsewhere its centre jumps
    // to the pointer, and the parent hears of the new position at once.
    grabOffset_ = std::abs(along - centre) <= half ? along - centre : 0;
    if (grabOffset_ == 0) {
        const int value = PixelToValue(along);
        if (value != pos_) {
            pos_ = value;
            emit SliderMoving(id_, pos_);
        }
    }
    update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return;
    const int value = PixelToValue(Along(event->position()) - grabOffset_);
    if (value != pos_) {
        pos_ = value;
        update();
        emit SliderMoving(id_, pos_);
    }
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    update();
    emit SliderMoved(id_, pos_);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event)
{
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    int key = event->key();
    if (vertical_ && key == Qt::Key_Up)
        key = Qt::Key_Right;
    else if (vertical_ && key == Qt::Key_Down)
        key = Qt::Key_Left;
    const std::optional<int> next = BitmapSliderKeyPosition(key, pos_, min_, max_, page_);
    if (!next) {
        QWidget::keyPressEvent(event);
        return;
    }
    pos_ = *next;
    update();
    emit SliderMoved(id_, pos_);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

void CBitmapSlider::resizeEvent(QResizeEvent* event)
{
    Dirty();
    QWidget::resizeEvent(event);
}

} // namespace kestovar
