#include "ui/CFontStatic.h"

#include "ui/SkinPalette.h"

#include <QPainter>

namespace kestovar {

CFontStatic::CFontStatic(QWidget* parent)
    : QLabel(parent)
{
    QFont f = skin::SkinFont("MS Sans Serif", 8);
    setFont(f);
    setWordWrap(true);
}

CFontStatic::CFontStatic(const QString& text, QWidget* parent)
    : CFontStatic(parent)
{
    setText(text);
}

void CFontStatic::SetFont(const QString& face, int height, QRgb textColour, unsigned style)
{
    style_ = style;
    textColour_ = textColour;
    QFont f = skin::SkinFont(face, height, style & Bold);
    f.setItalic(style & Italic);
    f.setUnderline(style & Underline);
    f.setStrikeOut(style & Strikeout);
    f.setStyleStrategy((style & Antialiased) ? QFont::PreferAntialias : QFont::PreferDefault);
    setFont(f);
    update();
}

void CFontStatic::SetBackground(QRgb colour, bool useOwn)
{
    background_ = colour;
    useOwnBackground_ = useOwn;
    update();
}

Qt::Alignment CFontStatic::HorizontalAlignment() const
{
    if (style_ & Centre)
        return Qt::AlignHCenter;
    if (style_ & Right)
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

QSize CFontStatic::sizeHint() const
{
    const QFontMetrics fm(font());
    return fm.boundingRect(QRect(0, 0, 400, 1000), Qt::TextWordWrap, text()).size() + QSize(2, 2);
}

void CFontStatic::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(useOwnBackground_ ? background_ : skin::kBackground));
    p.setFont(font());
    p.setPen(skin::Colour(textColour_));
    // Word-wrapped from the top, as a static control draws; '&' is plain text.
    p.drawText(rect(), HorizontalAlignment() | Qt::AlignTop | Qt::TextWordWrap, text());
}

} // namespace kestovar
