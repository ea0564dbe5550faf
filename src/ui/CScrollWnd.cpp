#include "ui/CScrollWnd.h"

#include "ui/CSkinScrollWnd.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace kestovar {

CScrollWnd::CScrollWnd(QWidget* parent)
    : QWidget(parent)
{
    repeat_.setInterval(kRepeatMs);
    connect(&repeat_, &QTimer::timeout, this, [this] {
        if (HitTest(pointer_) == pressed_)
            Step(pressed_);
    });
    sync_.setInterval(kSyncMs);
    connect(&sync_, &QTimer::timeout, this, &CScrollWnd::SyncWithTarget);
    hide();
}

bool CScrollWnd::SetBitmaps(
    const QString& up, const QString& down, const QString& channel, const QString& thumb)
{
    const bool ok = up_.Load(up) & down_.Load(down) & channel_.Load(channel) & thumb_.Load(thumb);
    update();
    return ok;
}

void CScrollWnd::Bind(QAbstractScrollArea* target)
{
    target_ = target;
    if (target_) {
        target_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        sync_.start();
        SyncWithTarget();
    } else {
        sync_.stop();
        hide();
    }
}

SkinScrollLayout CScrollWnd::Layout() const
{
    const int t = up_.IsLoaded() ? up_.Size().height() : width();
    return LayoutSkinScrollBar(height(), t, info_);
}

void CScrollWnd::SyncWithTarget()
{
    if (!target_)
        return;
    info_ = CSkinScrollWnd::InfoFrom(target_->verticalScrollBar());
    const int thickness = up_.IsLoaded() ? up_.Size().width() : 14;
    const QRect g = target_->geometry();
    if (parentWidget() == target_->parentWidget())
        setGeometry(g.right() + 1 - thickness, g.top(), thickness, g.height());
    setVisible(info_.page < info_.maximum - info_.minimum + 1 && target_->isVisible());
    raise();
    update();
}

CScrollWnd::Part CScrollWnd::HitTest(const QPoint& pos) const
{
    if (!rect().contains(pos))
        return None;
    const SkinScrollLayout l = Layout();
    switch (l.PartAt(pos.y())) {
    case ScrollPart::FirstArrow:
        return UpArrow;
    case ScrollPart::SecondArrow:
        return DownArrow;
    case ScrollPart::Thumb:
        return ThumbPart;
    case ScrollPart::PageBefore:
    case ScrollPart::PageAfter:
        return ChannelPart;
    default:
        return None;
    }
}

void CScrollWnd::Step(Part part)
{
    if (!target_)
        return;
    QScrollBar* bar = target_->verticalScrollBar();
    if (part == UpArrow)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (part == DownArrow)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else if (part == ChannelPart) {
        const SkinScrollLayout l = Layout();
        bar->triggerAction(pointer_.y() < l.thumbStart ? QAbstractSlider::SliderPageStepSub
                                                       : QAbstractSlider::SliderPageStepAdd);
    }
    info_ = CSkinScrollWnd::InfoFrom(bar);
    update();
}

void CScrollWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const SkinScrollLayout l = Layout();
    auto along = [&](int start, int len) { return QRectF(0, start, width(), len); };
    if (channel_.IsLoaded())
        channel_.Draw(p, along(l.ChannelStart(), l.channel));
    if (l.hasThumb && thumb_.IsLoaded())
        thumb_.Draw(p, along(l.thumbStart, l.thumbLength));
    if (up_.IsLoaded())
        up_.Draw(p, along(0, l.arrow));
    if (down_.IsLoaded())
        down_.Draw(p, along(l.length - l.arrow, l.arrow));
}

void CScrollWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pointer_ = event->position().toPoint();
    pressed_ = HitTest(pointer_);
    if (pressed_ == ThumbPart) {
        grabOffset_ = pointer_.y() - Layout().thumbStart;
    } else if (pressed_ != None) {
        Step(pressed_);
        if (pressed_ != ChannelPart)
            repeat_.start();
    }
}

void CScrollWnd::mouseMoveEvent(QMouseEvent* event)
{
    pointer_ = event->position().toPoint();
    if (pressed_ != ThumbPart || !target_)
        return;
    const SkinScrollLayout l = Layout();
    const int free = l.channel - l.thumbLength;
    if (free <= 0)
        return;
    const int offset = std::clamp(pointer_.y() - grabOffset_ - l.ChannelStart(), 0, free);
    const int position
        = info_.minimum + static_cast<int>(static_cast<long long>(offset) * ScrollSpan(info_) / free);
    target_->verticalScrollBar()->setValue(position);
    info_ = CSkinScrollWnd::InfoFrom(target_->verticalScrollBar());
    update();
}

void CScrollWnd::mouseReleaseEvent(QMouseEvent*)
{
    repeat_.stop();
    pressed_ = None;
    update();
}

} // namespace kestovar
