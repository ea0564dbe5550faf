#include "ui/CSkinScrollBar.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestovar {

namespace {
constexpr int kThumbEnd = 3; // pixels of the thumb cell kept unstretched at each end
enum Row { Normal = 0, Hovered = 1, Pressed = 2 };
} // namespace

CSkinScrollBar::CSkinScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent)
    , orientation_(orientation)
{
    setMouseTracking(true);
    delay_.setSingleShot(true);
    delay_.setInterval(kRepeatDelayMs);
    repeat_.setInterval(kRepeatMs);
    connect(&delay_, &QTimer::timeout, this, [this] {
        RepeatTick();
        if (pressed_ != ScrollPart::None)
            repeat_.start();
    });
    connect(&repeat_, &QTimer::timeout, this, &CSkinScrollBar::RepeatTick);
}

bool CSkinScrollBar::SetSkin(const QString& gridRole)
{
    if (!skin_.Load(gridRole))
        return false;
    thickness_ = skin_.Size().width() / 9;
    grid_ = QImage();
    updateGeometry();
    update();
    return true;
}

QSize CSkinScrollBar::sizeHint() const
{
    return orientation_ == Qt::Vertical ? QSize(thickness_, 100) : QSize(100, thickness_);
}

void CSkinScrollBar::SetScrollInfo(const ScrollInfo& info, bool redraw)
{
    info_ = info;
    if (redraw)
        update();
}

SkinScrollLayout CSkinScrollBar::Layout() const
{
    const int length = orientation_ == Qt::Vertical ? height() : width();
    return LayoutSkinScrollBar(length, thickness_, info_, dragging_ ? trackPosition_ : -1);
}

int CSkinScrollBar::Along(const QPointF& p) const
{
    return orientation_ == Qt::Vertical ? qRound(p.y()) : qRound(p.x());
}

QRect CSkinScrollBar::PartRect(const SkinScrollLayout& l, ScrollPart part) const
{
    const int start = l.PartStart(part), len = l.PartLength(part);
    return orientation_ == Qt::Vertical ? QRect(0, start, width(), len) : QRect(start, 0, len, height());
}

QRect CSkinScrollBar::Cell(int column, int row) const
{
    const qreal d = grid_.devicePixelRatio();
    const int side = qRound(thickness_ * d);
    return QRect(column * side, row * side, side, side);
}

void CSkinScrollBar::paintEvent(QPaintEvent*)
{
    if (!skin_.IsLoaded() || thickness_ <= 0)
        return;
    const qreal dpr = devicePixelRatioF();
    if (grid_.isNull() || grid_.devicePixelRatio() != dpr)
        grid_ = skin_.Render(dpr);
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled())
        p.setOpacity(0.5);
    const SkinScrollLayout l = Layout();
    const int base = orientation_ == Qt::Vertical ? 0 : 4;
    auto rowOf = [&](ScrollPart part) {
        if (!isEnabled())
            return int(Normal);
        if (pressed_ == part && (part == ScrollPart::Thumb ? dragging_ : !pointerOutside_))
            return int(Pressed);
        return hovered_ == part ? int(Hovered) : int(Normal);
    };

    const QRect channelCell = Cell(base + 3, Normal);
    if (l.hasThumb) {
        p.drawImage(PartRect(l, ScrollPart::PageBefore), grid_, channelCell);
        p.drawImage(PartRect(l, ScrollPart::PageAfter), grid_, channelCell);
        // The thumb: its cell's two 3-pixel ends as they are, the middle stretched.
        const QRect t = PartRect(l, ScrollPart::Thumb);
        const QRect cell = Cell(base + 2, rowOf(ScrollPart::Thumb));
        const int e = kThumbEnd, de = qRound(kThumbEnd * dpr);
        if (orientation_ == Qt::Vertical) {
            p.drawImage(QRect(t.left(), t.top(), t.width(), e), grid_,
                QRect(cell.left(), cell.top(), cell.width(), de));
            p.drawImage(QRect(t.left(), t.top() + e, t.width(), t.height() - 2 * e), grid_,
                QRect(cell.left(), cell.top() + de, cell.width(), cell.height() - 2 * de));
            p.drawImage(QRect(t.left(), t.bottom() - e + 1, t.width(), e), grid_,
                QRect(cell.left(), cell.bottom() - de + 1, cell.width(), de));
        } else {
            p.drawImage(QRect(t.left(), t.top(), e, t.height()), grid_,
                QRect(cell.left(), cell.top(), de, cell.height()));
            p.drawImage(QRect(t.left() + e, t.top(), t.width() - 2 * e, t.height()), grid_,
                QRect(cell.left() + de, cell.top(), cell.width() - 2 * de, cell.height()));
            p.drawImage(QRect(t.right() - e + 1, t.top(), e, t.height()), grid_,
                QRect(cell.right() - de + 1, cell.top(), de, cell.height()));
        }
    } else if (l.channel > 0) {
        const QRect c = orientation_ == Qt::Vertical ? QRect(0, l.arrow, width(), l.channel)
                                                     : QRect(l.arrow, 0, l.channel, height());
        p.drawImage(c, grid_, channelCell);
    }
    p.drawImage(PartRect(l, ScrollPart::FirstArrow), grid_, Cell(base + 0, rowOf(ScrollPart::FirstArrow)));
    p.drawImage(PartRect(l, ScrollPart::SecondArrow), grid_, Cell(base + 1, rowOf(ScrollPart::SecondArrow)));
}

void CSkinScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    const SkinScrollLayout l = Layout();
    const int along = Along(event->position());
    const ScrollPart part = l.PartAt(along);
    if (part == ScrollPart::None)
        return;
    pressed_ = part;
    lastAlong_ = along;
    pointerOutside_ = false;
    if (part == ScrollPart::Thumb) {
        dragging_ = true;
        pressAlong_ = along;
        pressPosition_ = info_.position;
        trackPosition_ = info_.position;
        update();
        return;
    }
    emit Scroll(ScrollCodeOf(part), 0);
    update();
    delay_.start();
}

void CSkinScrollBar::RepeatTick()
{
    if (pressed_ == ScrollPart::None || pressed_ == ScrollPart::Thumb) {
        StopRepeat();
        return;
    }
    if (pointerOutside_)
        return; // paused until the pointer is back on the pressed part
    if (pressed_ == ScrollPart::FirstArrow && info_.position <= info_.minimum) {
        StopRepeat();
        return;
    }
    if (pressed_ == ScrollPart::SecondArrow && info_.position >= MaxScrollPosition(info_)) {
        StopRepeat();
        return;
    }
    if ((pressed_ == ScrollPart::PageBefore || pressed_ == ScrollPart::PageAfter)
        && Layout().PartAt(lastAlong_) != pressed_) {
        StopRepeat(); // the thumb has reached the pointer
        return;
    }
    emit Scroll(ScrollCodeOf(pressed_), 0);
    update();
}

void CSkinScrollBar::StopRepeat()
{
    delay_.stop();
    repeat_.stop();
}

void CSkinScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    const int along = Along(event->position());
    lastAlong_ = along;
    if (dragging_) {
        const SkinScrollLayout l
            = LayoutSkinScrollBar(orientation_ == Qt::Vertical ? height() : width(), thickness_, info_);
        const int position = DragScrollPosition(l, info_, pressPosition_, along - pressAlong_);
        if (position != trackPosition_) {
            trackPosition_ = position;
            update();
            emit Scroll(SB_THUMBTRACK, position);
        }
        return;
    }
    if (pressed_ != ScrollPart::None) {
        const bool outside
            = !rect().contains(event->position().toPoint()) || Layout().PartAt(along) != pressed_;
        if (outside != pointerOutside_) {
            pointerOutside_ = outside;
            update();
        }
        return;
    }
    const ScrollPart part = Layout().PartAt(along);
    if (part != hovered_) {
        hovered_ = part;
        update();
    }
}

void CSkinScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    StopRepeat();
    if (dragging_) {
        const int position = trackPosition_;
        dragging_ = false;
        trackPosition_ = -1;
        pressed_ = ScrollPart::None;
        emit Scroll(SB_THUMBPOSITION, position);
    }
    pressed_ = ScrollPart::None;
    pointerOutside_ = false;
    hovered_ = rect().contains(event->position().toPoint()) ? Layout().PartAt(Along(event->position()))
                                                            : ScrollPart::None;
    update();
}

void CSkinScrollBar::leaveEvent(QEvent*)
{
    if (hovered_ != ScrollPart::None) {
        hovered_ = ScrollPart::None;
        update();
    }
}

} // namespace kestovar
