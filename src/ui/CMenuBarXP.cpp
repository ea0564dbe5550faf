#include "ui/CMenuBarXP.h"

#include "ui/CMenuXP.h"
#include "ui/SkinPalette.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace kestovar {

CMenuBarXP::CMenuBarXP(QWidget* parent)
    : CToolBarXP(parent)
{
    SetHotFill(skin::kBackground);
    SetBorderColour(skin::kBackground);
}

void CMenuBarXP::LoadMenu(CMenuXP* menu)
{
    CloseMenu();
    delete menu_;
    menu_ = menu;
    ClearButtons();
    if (!menu_)
        return;
    menu_->setParent(this, menu_->windowFlags());
    const QList<QAction*> titles = menu_->actions();
    for (int i = 0; i < titles.size(); ++i) {
        AddButton(QStringLiteral("  %1  ").arg(titles[i]->text()), i);
        if (auto* sub = qobject_cast<CMenuXP*>(titles[i]->menu())) {
            sub->installEventFilter(this);
            connect(sub, &QMenu::aboutToHide, this, [this, i] { MenuHidden(i); });
            connect(sub, &CMenuXP::CommandTriggered, this, &CMenuBarXP::CommandTriggered);
            connect(sub, &QMenu::hovered, this, [this](QAction* a) {
                bool ok = false;
                const int command = a->data().toInt(&ok);
                if (ok)
                    emit ItemHighlighted(command);
            });
        }
    }
}

CMenuXP* CMenuBarXP::TitleMenu(int index) const
{
    if (!menu_ || index < 0 || index >= menu_->actions().size())
        return nullptr;
    return qobject_cast<CMenuXP*>(menu_->actions()[index]->menu());
}

QPoint CMenuBarXP::MenuPosition(int index) const
{
    // Under the title, 3 pixels up into it so title and menu read as one piece.
    const QRect r = ButtonRect(index);
    return mapToGlobal(QPoint(r.left() - 3, r.top() + r.height() - 3));
}

void CMenuBarXP::OpenTitle(int index)
{
    const int n = TitleCount();
    if (n == 0)
        return;
    if (index < 0)
        index = n - 1;
    else if (index >= n)
        index = 0;
    openTitle_ = index;
    CMenuXP* menu = TitleMenu(index);
    if (!menu || (available_ && !available_(index))) {
        if (tracking_) {
            tracking_ = false;
            emit MenuLoopExited();
        }
        return;
    }
    if (!tracking_) {
        tracking_ = true;
        emit MenuLoopEntered();
    }
    PressButton(index, true);
    emit MenuAboutToShow(index, menu);
    openMenu_ = menu;
    lastPointer_ = QPoint(-1, -1);
    menu->popup(MenuPosition(index));
}

void CMenuBarXP::CloseMenu()
{
    if (openMenu_ && openMenu_->isVisible())
        openMenu_->hide();
}

void CMenuBarXP::SwitchTo(int index)
{
    PressButton(openTitle_, false);
    openTitle_ = index;
    switching_ = true;
    CloseMenu();
    // Opened once the closing menu has let go of the pointer and keyboard.
    QMetaObject::invokeMethod(this, "ReopenAtOpenTitle", Qt::QueuedConnection);
}

void CMenuBarXP::ReopenAtOpenTitle()
{
    switching_ = false;
    OpenTitle(openTitle_);
}

void CMenuBarXP::MenuHidden(int index)
{
    PressButton(index, false);
    if (switching_)
        return;
    openMenu_ = nullptr;
    if (tracking_) {
        tracking_ = false;
        emit MenuLoopExited();
    }
}

void CMenuBarXP::mousePressEvent(QMouseEvent* event)
{
    const int i = HitTest(event->position().toPoint());
    if (event->button() == Qt::LeftButton && i >= 0)
        OpenTitle(i);
}

void CMenuBarXP::mouseReleaseEvent(QMouseEvent*)
{
}

bool CMenuBarXP::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != openMenu_ || !openMenu_->isVisible())
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            CloseMenu();
            return true;
        }
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            SwitchTo(openTitle_ + (key == Qt::Key_Left ? -1 : 1));
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        const QPoint local = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        if (local == lastPointer_)
            return false;
        lastPointer_ = local;
        const int i = HitTest(local);
        if (i >= 0 && i != openTitle_)
            SwitchTo(i);
        return false;
    }
    case QEvent::MouseButtonPress: {
        const QPoint local = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        const int i = HitTest(local);
        if (i == openTitle_) {
            CloseMenu();
            return true;
        }
        if (i >= 0) {
            SwitchTo(i);
            return true;
        }
        return false; // elsewhere the menu closes itself
    }
    default:
        return false;
    }
}

} // namespace kestovar
