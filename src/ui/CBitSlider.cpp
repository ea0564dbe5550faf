#include "ui/CBitSlider.h"

#include "ui/SkinSliderStyle.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <QWheelEvent>

namespace kestovar {

CBitSlider::CBitSlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
    , style_(new SkinSliderStyle(this))
{
    setStyle(style_);
    style_->SetThumb(6, 6);
    toolTip_ = [this] { return QString::number(value()); };
}

bool CBitSlider::CreateThumb(const QString& role, int frameWidth, int frameHeight)
{
    if (!thumb_)
        thumb_ = new CBitWnd(this);
    const bool ok = thumb_->LoadStrip(role, frameWidth, frameHeight);
    if (ok) {
        const QSize s = thumb_->size();
        style_->SetThumb(orientation() == Qt::Horizontal ? s.width() : s.height(),
            orientation() == Qt::Horizontal ? s.height() : s.width());
    }
    thumb_->show();
    PlaceThumb();
    update();
    return ok;
}

bool CBitSlider::LoadBarImages(const QString& afterThumbRole, const QString& beforeThumbRole)
{
    const bool ok = after_.Load(afterThumbRole) & before_.Load(beforeThumbRole);
    if (before_.IsLoaded())
        resize(before_.ImageSize());
    updateGeometry();
    update();
    return ok;
}

void CBitSlider::SetThumbOffset(int offset)
{
    thumbOffset_ = offset;
    update();
}

QSize CBitSlider::sizeHint() const
{
    return before_.IsLoaded() ? before_.ImageSize() : QSize(52, 12);
}

QRect CBitSlider::ThumbRect() const
{
    if (!thumb_)
        return {};
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const QSize t = thumb_->size();
    if (orientation() == Qt::Horizontal)
        return QRect(handle.left() + (t.width() - handle.width()) / 2, thumbOffset_, t.width(), t.height());
    return QRect(thumbOffset_, handle.top() + (t.height() - handle.height()) / 2, t.width(), t.height());
}

void CBitSlider::paintEvent(QPaintEvent*)
{
    if (!thumb_ || !before_.IsLoaded() || !after_.IsLoaded())
        return;
    QPainter p(this);
    const qreal dpr = devicePixelRatioF();
    const QImage before = before_.Frame(0, dpr);
    const QImage after = after_.Frame(0, dpr);
    const QRect thumb = ThumbRect();
    const bool horizontal = orientation() == Qt::Horizontal;
    const int split = horizontal ? thumb.right() + 1 : thumb.bottom() + 1;
    // Both images are copied unscaled from the same positions they cover, so the
    // bar reads as one image whose colour changes at the thumb.
    auto copy = [&](const QImage& image, const QRect& area) {
        const QRect src(qRound(area.x() * dpr), qRound(area.y() * dpr), qRound(area.width() * dpr),
            qRound(area.height() * dpr));
        p.drawImage(area, image, src);
    };
    if (horizontal) {
        copy(before, QRect(0, 0, split, height()));
        copy(after, QRect(split, 0, width() - split, height()));
    } else {
        copy(before, QRect(0, 0, width(), split));
        copy(after, QRect(0, split, width(), height() - split));
    }
    PlaceThumb();
}

void CBitSlider::PlaceThumb()
{
    // The thumb window follows the value at once, painted or not.
    if (thumb_ && thumb_->geometry() != ThumbRect())
        thumb_->setGeometry(ThumbRect());
}

void CBitSlider::sliderChange(SliderChange change)
{
    QSlider::sliderChange(change);
    PlaceThumb();
}

void CBitSlider::resizeEvent(QResizeEvent* event)
{
    QSlider::resizeEvent(event);
    PlaceThumb();
}

void CBitSlider::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

bool CBitSlider::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const QString text = toolTip_ ? toolTip_() : QString();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, this);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const bool handled = QSlider::event(event);
        update();
        return handled;
    }
    return QSlider::event(event);
}

} // namespace kestovar
