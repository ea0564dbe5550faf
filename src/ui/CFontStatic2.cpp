#include "ui/CFontStatic2.h"

#include "ui/SkinPalette.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestovar {

namespace {
constexpr int kTextTop = 3;
}

CFontStatic2::CFontStatic2(const QString& text, QWidget* parent)
    : QWidget(parent)
    , text_(text)
{
    setFont(skin::SkinFont("Arial", 15));
}

void CFontStatic2::SetFont(const QString& face, int height, QRgb textColour, bool bold)
{
    setFont(skin::SkinFont(face, height, bold));
    textColour_ = textColour;
    update();
}

void CFontStatic2::SetColours(QRgb normalBackground, QRgb selectedBackground)
{
    normal_ = normalBackground;
    selectedColour_ = selectedBackground;
    current_ = normalBackground;
    update();
}

void CFontStatic2::SetSelected(bool on)
{
    selected_ = on;
    update();
}

void CFontStatic2::SetText(const QString& text)
{
    text_ = text;
    update();
}

QSize CFontStatic2::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text_) + 16, fm.height() + 2 * kTextTop);
}

void CFontStatic2::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(selected_ ? selectedColour_ : current_));
    p.setFont(font());
    p.setPen(skin::Colour(isEnabled() ? textColour_ : skin::kGreyedText));
    p.drawText(
        rect().adjusted(0, kTextTop, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text_);
}

void CFontStatic2::enterEvent(QEnterEvent* event)
{
    if (isEnabled()) {
        current_ = selectedColour_;
        update();
    }
    QWidget::enterEvent(event);
}

void CFontStatic2::leaveEvent(QEvent* event)
{
    if (isEnabled()) {
        current_ = normal_;
        update();
    }
    QWidget::leaveEvent(event);
}

void CFontStatic2::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    QWidget* popup = window();
    emit Chosen(this, popup);
    if (autoHide_ && popup && popup != this)
        popup->hide();
}

} // namespace kestovar
