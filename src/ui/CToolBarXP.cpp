#include "ui/CToolBarXP.h"

#include "ui/SkinPalette.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestovar {

CToolBarXP::CToolBarXP(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFont(skin::SkinFont("Arial", 15));
}

int CToolBarXP::AddButton(const QString& text, int command)
{
    buttons_.push_back({ text, command });
    Relayout();
    return int(buttons_.size()) - 1;
}

void CToolBarXP::ClearButtons()
{
    buttons_.clear();
    hot_ = -1;
    Relayout();
}

QString CToolBarXP::ButtonText(int index) const
{
    return index >= 0 && index < ButtonCount() ? buttons_[index].text : QString();
}

int CToolBarXP::ButtonCommand(int index) const
{
    return index >= 0 && index < ButtonCount() ? buttons_[index].command : -1;
}

QRect CToolBarXP::ButtonRect(int index) const
{
    return index >= 0 && index < int(rects_.size()) ? rects_[index] : QRect();
}

int CToolBarXP::HitTest(const QPoint& pos) const
{
    for (int i = 0; i < int(rects_.size()); ++i) {
        if (rects_[i].contains(pos))
            return i;
    }
    return -1;
}

void CToolBarXP::PressButton(int index, bool pressed)
{
    if (index >= 0 && index < ButtonCount()) {
        buttons_[index].pressed = pressed;
        update(ButtonRect(index));
    }
}

bool CToolBarXP::IsPressed(int index) const
{
    return index >= 0 && index < ButtonCount() && buttons_[index].pressed;
}

void CToolBarXP::CheckButton(int index, bool checked)
{
    if (index >= 0 && index < ButtonCount()) {
        buttons_[index].checked = checked;
        update();
    }
}

void CToolBarXP::EnableButton(int index, bool enabled)
{
    if (index >= 0 && index < ButtonCount()) {
        buttons_[index].enabled = enabled;
        update();
    }
}

void CToolBarXP::Relayout()
{
    // Each button is as wide as its text (auto-size), all in one row.
    rects_.clear();
    const QFontMetrics fm(font());
    int x = 0;
    for (const Button& b : buttons_) {
        const int w = fm.horizontalAdvance(b.text) + 2 * kTextPadding;
        rects_.emplace_back(x, 0, w, kButtonHeight);
        x += w;
    }
    updateGeometry();
    update();
}

QSize CToolBarXP::sizeHint() const
{
    return QSize(rects_.empty() ? 0 : rects_.back().right() + 1, kButtonHeight);
}

void CToolBarXP::SetHot(int index)
{
    if (index != hot_) {
        hot_ = index;
        update();
    }
}

void CToolBarXP::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    for (int i = 0; i < ButtonCount(); ++i) {
        const Button& b = buttons_[i];
        const QRect r = rects_[i];
        if (b.pressed) {
            p.fillRect(r, skin::Colour(skin::kMenuBarPressed));
        } else if (i == hot_ && b.enabled) {
            p.fillRect(r, skin::Colour(hotFill_));
            p.setPen(skin::Colour(border_));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        } else if (b.checked) {
            p.fillRect(r, skin::Colour(checkedFill_));
            p.setPen(skin::Colour(border_));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
        p.setPen(skin::Colour(b.enabled ? skin::kMenuBarText : skin::kDisabledButtonText));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, b.text);
    }
}

void CToolBarXP::mouseMoveEvent(QMouseEvent* event)
{
    SetHot(HitTest(event->position().toPoint()));
}

void CToolBarXP::leaveEvent(QEvent*)
{
    SetHot(-1);
}

void CToolBarXP::mousePressEvent(QMouseEvent* event)
{
    const int i = HitTest(event->position().toPoint());
    if (event->button() == Qt::LeftButton && i >= 0 && buttons_[i].enabled) {
        clicking_ = i;
        PressButton(i, true);
    }
}

void CToolBarXP::mouseReleaseEvent(QMouseEvent* event)
{
    if (clicking_ < 0)
        return;
    const int i = clicking_;
    clicking_ = -1;
    PressButton(i, false);
    if (HitTest(event->position().toPoint()) == i)
        emit ButtonClicked(i, buttons_[i].command);
}

void CToolBarXP::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        Relayout();
    QWidget::changeEvent(event);
}

} // namespace kestovar
