#include "ui/CBitWnd.h"

#include <QPainter>

namespace kestovar {

CBitWnd::CBitWnd(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool CBitWnd::LoadStrip(const QString& role, int frameWidth, int frameHeight)
{
    const bool ok = strip_.Load(role, frameWidth, frameHeight);
    if (ok)
        resize(strip_.FrameSize());
    update();
    return ok;
}

void CBitWnd::paintEvent(QPaintEvent*)
{
    if (!strip_.IsLoaded())
        return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), strip_.Frame(0, devicePixelRatioF()));
}

} // namespace kestovar
