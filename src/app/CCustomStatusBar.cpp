#include "app/CCustomStatusBar.h"

#include "ui/CGdiPlusBitmapResource.h"
#include "ui/SkinPalette.h"

#include <QPainter>

namespace kestovar {

CCustomStatusBar::CCustomStatusBar(QWidget* parent)
    : QWidget(parent)
    , texts_ { QStringLiteral("Video Source Size"), QStringLiteral("Frame rate") }
    , grip_(std::make_unique<CGdiPlusBitmapResource>())
{
    grip_->Load(QStringLiteral("size_grip"));
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CCustomStatusBar::~CCustomStatusBar() = default;

void CCustomStatusBar::SetPaneText(int pane, const QString& text)
{
    if (pane < 0 || pane > 1 || texts_[size_t(pane)] == text)
        return;
    texts_[size_t(pane)] = text;
    update(PaneRect(pane));
}

void CCustomStatusBar::SetSendText(const QString& text)
{
    if (sendText_ == text)
        return;
    sendText_ = text;
    update(PaneRect(1));
}

QString CCustomStatusBar::PaneText(int pane) const
{
    return pane == 0 || pane == 1 ? texts_[size_t(pane)] : QString();
}

QRect CCustomStatusBar::GripRect() const
{
    const int side = std::max(0, height() - 3);
    return QRect(width() - side, height() - side, side, side);
}

QRect CCustomStatusBar::PaneRect(int pane) const
{
    const int usable = std::max(0, width() - GripRect().width());
    const int half = usable / 2;
    return pane == 0 ? QRect(0, 0, half, height()) : QRect(half, 0, usable - half, height());
}

void CCustomStatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(skin::kFrame));
    p.setPen(skin::Colour(kTextColour));
    p.setFont(font());
    for (int i = 0; i < 2; ++i)
        p.drawText(PaneRect(i).adjusted(6, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, texts_[size_t(i)]);
    if (!sendText_.isEmpty())
        p.drawText(PaneRect(1).adjusted(6, 0, -8, 0), Qt::AlignVCenter | Qt::AlignRight, sendText_);
    if (grip_->IsLoaded())
        grip_->Draw(p, GripRect());
}

} // namespace kestovar
