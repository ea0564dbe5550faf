#include "dialogs/CDlgMenuPopup.h"

#include "ui/CFontStatic2.h"
#include "ui/SkinPalette.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>

namespace kestovar {

namespace {
const QRect kBackground(0, 0, 140, 100);
}

CDlgMenuPopup::CDlgMenuPopup(ChoiceKind kind, QSize size, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
    , kind_(kind)
{
    setFixedSize(size);
    setAttribute(Qt::WA_OpaquePaintEvent);
    background_.Load(QStringLiteral("popup_background"));
}

CFontStatic2* CDlgMenuPopup::AddItem(const QString& text, const QRect& rect)
{
    auto* item = new CFontStatic2(text, this);
    item->SetFont("Arial", 15, skin::kPopupItemText);
    item->SetColours(skin::kFrame, skin::kBackground);
    item->SetAutoHide(true);
    item->setGeometry(rect);
    connect(item, &CFontStatic2::Chosen, this, [this](CFontStatic2* chosen, QWidget*) { OnChosen(chosen); });
    items_.push_back(item);
    return item;
}

void CDlgMenuPopup::Select(int index)
{
    for (int i = 0; i < ItemCount(); ++i)
        items_[size_t(i)]->SetSelected(i == index);
}

int CDlgMenuPopup::SelectedItem() const
{
    for (int i = 0; i < ItemCount(); ++i)
        if (items_[size_t(i)]->IsSelected())
            return i;
    return -1;
}

void CDlgMenuPopup::OnChosen(CFontStatic2* item)
{
    const auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end() || !target_)
        return;
    const int index = int(it - items_.begin());
    // Posted, not sent: the frame rebuilds the preview when it takes the choice, and
    // by then this pop-up has hidden itself.
    QCoreApplication::postEvent(target_, new ApplyChoiceEvent(kind_, index, ChoiceOf(index)));
}

void CDlgMenuPopup::ShowAbove(QWidget* button)
{
    const QPoint topLeft = button->mapToGlobal(QPoint(0, 0));
    move(topLeft.x(), topLeft.y() + TopOffset());
    show();
}

void CDlgMenuPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (background_.IsLoaded())
        background_.Draw(p, kBackground);
}

} // namespace kestovar
