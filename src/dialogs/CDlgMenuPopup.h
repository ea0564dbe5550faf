#pragma once
// The common part of the resolution and rotation pop-ups: a small borderless
// drop-up menu of CFontStatic2 items on the pop-up background. Choosing an item
// posts an ApplyChoiceEvent to the notify target (the embedded frame) and hides the
// pop-up; a press of any mouse button outside it closes it (a Qt::Popup window does
// so; the press then goes on to the widget under the pointer), as does Escape.
//
// The control panel owns the open pop-up of each kind: it deletes the previous one,
// makes a new one, marks the current item (Prepare of the subclass) and shows it
// next to its button.

#include "dialogs/ApplyChoiceEvent.h"
#include "ui/CGdiPlusBitmapResource.h"

#include <QPointer>
#include <QWidget>

#include <vector>

namespace kestovar {

class CFontStatic2;

class CDlgMenuPopup : public QWidget {
    Q_OBJECT
public:
    int ItemCount() const { return int(items_.size()); }
    CFontStatic2* Item(int index) const { return items_.at(size_t(index)); }
    // The selected item's index, or -1.
    int SelectedItem() const;
    void SetNotifyTarget(QObject* target) { target_ = target; }
    QObject* NotifyTarget() const { return target_; }

    // Places the pop-up with its left edge at the button's left edge and its top
    // edge TopOffset() pixels from the button's top edge, and shows it.
    void ShowAbove(QWidget* button);
    // Where the top edge goes relative to the button's top edge.
    virtual int TopOffset() const { return -height(); }

protected:
    CDlgMenuPopup(ChoiceKind kind, QSize size, QWidget* parent);
    // Adds an item at a rectangle (pop-up coordinates) with the item style of both pop-ups.
    CFontStatic2* AddItem(const QString& text, const QRect& rect);
    void Select(int index);
    // The meaning of an item: a ResolutionChoice or a RotationMode.
    virtual int32_t ChoiceOf(int item) const = 0;

    void paintEvent(QPaintEvent* event) override;

private:
    void OnChosen(CFontStatic2* item);

    ChoiceKind kind_;
    std::vector<CFontStatic2*> items_;
    QPointer<QObject> target_;
    CGdiPlusBitmapResource background_;
};

} // namespace kestovar
