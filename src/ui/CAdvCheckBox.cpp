#include "ui/CAdvCheckBox.h"

#include "ui/SkinPalette.h"

#include <QPainter>
#include <QPainterPath>

namespace kestovar {

CAdvCheckBox::CAdvCheckBox(const QString& text, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setAttribute(Qt::WA_Hover);
    setFont(skin::SkinFont("Arial", 15));
}

bool CAdvCheckBox::SetImageList(const QString& role)
{
    const bool ok = strip_.Load(role);
    update();
    return ok;
}

void CAdvCheckBox::SetLeftText(bool on)
{
    leftText_ = on;
    update();
}

void CAdvCheckBox::SetTextAlignment(Qt::Alignment horizontal)
{
    alignment_ = horizontal & Qt::AlignHorizontal_Mask;
    update();
}

void CAdvCheckBox::SetFrameColour(QRgb colour)
{
    frameColour_ = colour;
    update();
}

QRect CAdvCheckBox::BoxRect() const
{
    const int top = (height() - kBoxSize) / 2;
    const int left = leftText_ ? width() - kBoxSize : 0;
    return QRect(left, top, kBoxSize, kBoxSize);
}

QSize CAdvCheckBox::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(kTextLeft + fm.horizontalAdvance(text()) + 4, std::max(kBoxSize + 4, fm.height() + 4));
}

void CAdvCheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(skin::kBackground));
    const QRect box = BoxRect();
    if (strip_.IsLoaded()) {
        const qreal dpr = devicePixelRatioF();
        const QImage all = strip_.Render(dpr);
        const int index = CheckBoxImageIndex(isEnabled(), hover_, isChecked());
        const int side = qRound(kBoxSize * dpr);
        QImage cell = all.copy(qRound(index * kBoxSize * dpr), 0, side, side);
        cell.setDevicePixelRatio(dpr);
        p.drawImage(box.topLeft(), cell);
    } else {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(skin::Colour(frameColour_));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
        if (isChecked()) {
            QPainterPath tick;
            tick.moveTo(box.left() + 3, box.top() + 6.5);
            tick.lineTo(box.left() + 5.5, box.top() + 9);
            tick.lineTo(box.left() + 10, box.top() + 3.5);
            p.setPen(QPen(skin::Colour(frameColour_), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(tick);
        }
    }
    QRect textRect
        = leftText_ ? rect().adjusted(0, 0, -(kBoxSize + 5), 0) : rect().adjusted(kTextLeft, 0, 0, 0);
    p.setFont(font());
    p.setPen(skin::Colour(isEnabled() ? skin::kText : skin::kDisabledButtonText));
    const QString shown = QFontMetrics(font()).elidedText(text(), Qt::ElideRight, textRect.width());
    p.drawText(textRect, alignment_ | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

void CAdvCheckBox::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CAdvCheckBox::leaveEvent(QEvent* event)
{
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace kestovar
