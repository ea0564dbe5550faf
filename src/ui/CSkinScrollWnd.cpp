#include "ui/CSkinScrollWnd.h"

#include "ui/CSkinScrollBar.h"
#include "ui/SkinPalette.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QScrollBar>

namespace kestovar {

CSkinScrollWnd::CSkinScrollWnd(QWidget* parent)
    : QWidget(parent)
    , limit_(new QWidget(this))
    , vbar_(new CSkinScrollBar(Qt::Vertical, this))
    , hbar_(new CSkinScrollBar(Qt::Horizontal, this))
{
    vbar_->hide();
    hbar_->hide();
    connect(vbar_, &CSkinScrollBar::Scroll, this, [this](int c, int p) { Forward(Qt::Vertical, c, p); });
    connect(hbar_, &CSkinScrollBar::Scroll, this, [this](int c, int p) { Forward(Qt::Horizontal, c, p); });
    // The view's signals keep the bars current; the timer catches what changes
    // without a signal (a new page size, for one).
    sync_.setInterval(kSyncMs);
    connect(&sync_, &QTimer::timeout, this, &CSkinScrollWnd::Sync);
}

CSkinScrollWnd::~CSkinScrollWnd() = default;

ScrollInfo CSkinScrollWnd::InfoFrom(const QScrollBar* bar)
{
    ScrollInfo info;
    info.minimum = bar->minimum();
    info.page = bar->pageStep();
    info.maximum = bar->maximum() + std::max(info.page, 1) - 1;
    info.position = bar->value();
    return info;
}

bool CSkinScrollWnd::Attach(QAbstractScrollArea* view, const QString& gridRole)
{
    if (!view || view_ || !vbar_->SetSkin(gridRole) || !hbar_->SetSkin(gridRole))
        return false;
    view_ = view;
    oldParent_ = view->parentWidget();
    oldGeometry_ = view->geometry();
    oldVPolicy_ = view->verticalScrollBarPolicy();
    oldHPolicy_ = view->horizontalScrollBarPolicy();
    const bool wasHidden = view->isHidden();

    if (oldParent_ && oldParent_->layout())
        oldParent_->layout()->replaceWidget(view, this);
    setParent(oldParent_);
    setGeometry(oldGeometry_);
    view->setParent(limit_);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->show();
    view->installEventFilter(this);
    for (QScrollBar* bar : { view->verticalScrollBar(), view->horizontalScrollBar() }) {
        connect(bar, &QScrollBar::rangeChanged, this, &CSkinScrollWnd::Sync);
        connect(bar, &QScrollBar::valueChanged, this, &CSkinScrollWnd::Sync);
    }
    setVisible(!wasHidden);
    sync_.start();
    Relayout();
    return true;
}

void CSkinScrollWnd::Detach()
{
    if (!view_)
        return;
    sync_.stop();
    QAbstractScrollArea* view = view_;
    view->removeEventFilter(this);
    for (QScrollBar* bar : { view->verticalScrollBar(), view->horizontalScrollBar() })
        disconnect(bar, nullptr, this, nullptr);
    view->setVerticalScrollBarPolicy(oldVPolicy_);
    view->setHorizontalScrollBarPolicy(oldHPolicy_);
    if (oldParent_ && oldParent_->layout())
        oldParent_->layout()->replaceWidget(this, view);
    view->setParent(oldParent_);
    view->setGeometry(geometry());
    view->setVisible(!isHidden());
    view_ = nullptr;
    hide();
}

bool CSkinScrollWnd::Wants(Qt::Orientation orientation) const
{
    if (!view_)
        return false;
    const Qt::ScrollBarPolicy policy = orientation == Qt::Vertical ? oldVPolicy_ : oldHPolicy_;
    if (policy == Qt::ScrollBarAlwaysOff)
        return false;
    if (policy == Qt::ScrollBarAlwaysOn)
        return true;
    const QScrollBar* bar
        = orientation == Qt::Vertical ? view_->verticalScrollBar() : view_->horizontalScrollBar();
    return bar->maximum() > bar->minimum();
}

void CSkinScrollWnd::Sync()
{
    if (!view_ || forwarding_)
        return;
    bool relayout = false;
    for (CSkinScrollBar* skinBar : { vbar_, hbar_ }) {
        const Qt::Orientation o = skinBar->Orientation();
        const QScrollBar* bar = o == Qt::Vertical ? view_->verticalScrollBar() : view_->horizontalScrollBar();
        const bool wanted = Wants(o);
        if (wanted == skinBar->isHidden())
            relayout = true;
        if (skinBar->IsDragging())
            continue;
        const ScrollInfo info = InfoFrom(bar);
        if (!(info == skinBar->GetScrollInfo()))
            skinBar->SetScrollInfo(info);
        skinBar->setEnabled(info.maximum >= info.page && bar->maximum() > bar->minimum());
    }
    if (relayout)
        Relayout();
}

void CSkinScrollWnd::Relayout()
{
    limit_->setGeometry(rect());
    if (!view_)
        return;
    const bool v = Wants(Qt::Vertical);
    const bool h = Wants(Qt::Horizontal);
    const int tv = vbar_->Thickness(), th = hbar_->Thickness();
    const int w = width() - (v ? tv : 0);
    const int hgt = height() - (h ? th : 0);
    view_->setGeometry(0, 0, std::max(0, w), std::max(0, hgt));
    vbar_->setGeometry(w, 0, tv, std::max(0, hgt));
    hbar_->setGeometry(0, hgt, std::max(0, w), th);
    vbar_->setVisible(v);
    hbar_->setVisible(h);
    vbar_->raise();
    hbar_->raise();
    update();
}

void CSkinScrollWnd::Forward(Qt::Orientation orientation, int code, int position)
{
    if (!view_)
        return;
    QScrollBar* bar = orientation == Qt::Vertical ? view_->verticalScrollBar() : view_->horizontalScrollBar();
    CSkinScrollBar* skinBar = orientation == Qt::Vertical ? vbar_ : hbar_;
    forwarding_ = true;
    switch (code) {
    case SB_LINEUP:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case SB_LINEDOWN:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case SB_PAGEUP:
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case SB_PAGEDOWN:
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        bar->setValue(position);
        break;
    default:
        break;
    }
    forwarding_ = false;
    if (code != SB_THUMBTRACK)
        skinBar->SetScrollInfo(InfoFrom(bar));
    update();
}

void CSkinScrollWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Relayout();
}

void CSkinScrollWnd::paintEvent(QPaintEvent*)
{
    // The corner between two bars.
    if (vbar_->isVisible() && hbar_->isVisible()) {
        QPainter p(this);
        p.fillRect(QRect(vbar_->x(), hbar_->y(), vbar_->width(), hbar_->height()), skin::Colour(0x262626));
    }
}

bool CSkinScrollWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize))
        QMetaObject::invokeMethod(this, &CSkinScrollWnd::Sync, Qt::QueuedConnection);
    return false;
}

} // namespace kestovar
