#pragma once
// The main window's menu bar: a CToolBarXP whose buttons are the titles of a
// CMenuXP. Pressing a title opens its menu below it; while a menu is open, Left
// and Right move to the neighbouring title (wrapping round), moving the pointer
// along the bar opens the title under it, and a press on the open title closes
// it. Before any title opens, the owner's availability check is asked; a refused
// title opens nothing.

#include "ui/CToolBarXP.h"

#include <QPointer>

#include <functional>

namespace kestovar {

class CMenuXP;

class CMenuBarXP : public CToolBarXP {
    Q_OBJECT
public:
    explicit CMenuBarXP(QWidget* parent = nullptr);

    // One title per top-level item of menu (padded "  %s  "); the bar takes the
    // menu over and deletes the previous one.
    void LoadMenu(CMenuXP* menu);
    CMenuXP* Menu() const { return menu_; }
    int TitleCount() const { return ButtonCount(); }
    CMenuXP* TitleMenu(int index) const;

    void SetAvailabilityCheck(std::function<bool(int title)> check) { available_ = std::move(check); }

    // Opens a title's menu; -1 means the last title and the count the first.
    void OpenTitle(int index);
    void CloseMenu();
    int OpenTitleIndex() const { return openTitle_; }
    bool IsTracking() const { return tracking_; }
    CMenuXP* OpenMenu() const { return openMenu_; }
    // Where a title's menu opens (global coordinates).
    QPoint MenuPosition(int index) const;

signals:
    void MenuAboutToShow(int title, kestovar::CMenuXP* menu);
    void MenuLoopEntered();
    void MenuLoopExited();
    void ItemHighlighted(int command);
    void CommandTriggered(int command);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void ReopenAtOpenTitle();

private:
    void SwitchTo(int index);
    void MenuHidden(int index);

    CMenuXP* menu_ = nullptr;
    QPointer<CMenuXP> openMenu_;
    std::function<bool(int)> available_;
    int openTitle_ = -1;
    bool tracking_ = false;
    bool switching_ = false;
    QPoint lastPointer_ { -1, -1 };
};

} // namespace kestovar
