#include "ui/CPictureCtrl.h"

#include <QPainter>

namespace kestovar {

CPictureCtrl::CPictureCtrl(QWidget* parent)
    : QWidget(parent)
{
}

bool CPictureCtrl::LoadFromFile(const QString& path)
{
    const bool ok = image_.LoadFile(path);
    update();
    return ok;
}

bool CPictureCtrl::LoadFromResource(const QString& role)
{
    const bool ok = image_.Load(role);
    update();
    return ok;
}

void CPictureCtrl::Clear()
{
    image_.Reset();
    update();
}

void CPictureCtrl::paintEvent(QPaintEvent*)
{
    if (!image_.IsLoaded())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    image_.Draw(p, QRectF(rect()));
}

} // namespace kestovar
