#pragma once
// The screenshot tool's list of screens. A screen makes one top-level widget in
// the state to be shown; after it is shown, an optional stage step can act on it
// (hover, press, open a menu). The PNG holds the widget and any pop-up open over
// it. Add a screen with one line in any .cpp file of this folder:
//
//   KESTOVAR_SCREEN(dlg_ok, [] { return new CDlgOk("Kestovar camera is not detected!"); });
//   KESTOVAR_SCREEN_STAGED(menu_open, [] { return MakeBar(); }, [](QWidget* w) { ... });

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QGridLayout;

namespace kestovar::screens {

using MakeFn = std::function<QWidget*()>;
using StageFn = std::function<void(QWidget*)>;

struct Screen {
    QString name;
    MakeFn make;
    StageFn stage;
};

std::vector<Screen>& Registry();
bool Register(const char* name, MakeFn make, StageFn stage = {});

// A labelled grid on the skin's background, for showing controls side by side.
class Sheet : public QWidget {
public:
    explicit Sheet(const QString& title, int columns = 4, QRgb background = 0x464646);
    // Adds a control with a caption under it; returns the control.
    template <class W> W* Add(const QString& caption, W* control)
    {
        AddWidget(caption, control);
        return control;
    }
    void AddWidget(const QString& caption, QWidget* control);
    void NewRow();

protected:
    bool event(QEvent* event) override;

private:
    QGridLayout* grid_;
    std::vector<std::pair<QWidget*, QWidget*>> holders_; // holder, control
    int columns_;
    int index_ = 0;
};

// Sends the events a real pointer would: entering a widget, moving inside it.
void Hover(QWidget* widget);
void MoveMouse(QWidget* widget, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton);
void PressMouse(QWidget* widget, QPoint pos);

} // namespace kestovar::screens

#define KESTOVAR_SCREEN(id, make)                                                                            \
    static const bool kestovarScreen_##id = kestovar::screens::Register(#id, make)
#define KESTOVAR_SCREEN_STAGED(id, make, stage)                                                              \
    static const bool kestovarScreen_##id = kestovar::screens::Register(#id, make, stage)
