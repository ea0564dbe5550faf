#include "ui/CColorStatic.h"

#include "ui/SkinPalette.h"

#include <QPainter>

namespace kestovar {

CColorStatic::CColorStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setFont(skin::SkinFont("Arial", 15));
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CColorStatic::SetBackgroundColour(QRgb colour)
{
    background_ = colour;
    repaint();
}

void CColorStatic::SetTextColour(QRgb colour)
{
    text_ = colour;
    update();
}

void CColorStatic::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(background_));
    p.setFont(font());
    p.setPen(skin::Colour(text_));
    p.drawText(contentsRect(), alignment() | Qt::TextSingleLine, text());
}

} // namespace kestovar
