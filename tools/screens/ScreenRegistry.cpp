#include "ScreenRegistry.h"

#include "ui/SkinPalette.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace kestovar::screens {

std::vector<Screen>& Registry()
{
    static std::vector<Screen> screens;
    return screens;
}

bool Register(const char* name, MakeFn make, StageFn stage)
{
    Registry().push_back({ QString::fromLatin1(name), std::move(make), std::move(stage) });
    return true;
}

Sheet::Sheet(const QString& title, int columns, QRgb background)
    : columns_(columns)
{
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, skin::Colour(background));
    setPalette(pal);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 14, 18, 18);
    outer->setSpacing(12);
    auto* heading = new QLabel(title);
    heading->setFont(skin::SkinFont("Arial", 18, true));
    heading->setStyleSheet("color: #ffffff;");
    outer->addWidget(heading);
    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(26);
    grid_->setVerticalSpacing(14);
    outer->addLayout(grid_);
    outer->addStretch(1);
}

void Sheet::AddWidget(const QString& caption, QWidget* control)
{
    auto* cell = new QWidget;
    auto* v = new QVBoxLayout(cell);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(5);
    // Controls keep their own size; a fixed-size holder stops the layout stretching them.
    // (sized when the sheet is polished, after the caller has sized the control).
    auto* holder = new QWidget;
    control->setParent(holder);
    control->move(0, 0);
    holders_.emplace_back(holder, control);
    v->addWidget(holder, 0, Qt::AlignLeft);
    auto* label = new QLabel(caption);
    label->setFont(skin::SkinFont("Arial", 13));
    label->setStyleSheet("color: #b8b8b8;");
    v->addWidget(label, 0, Qt::AlignLeft);
    grid_->addWidget(cell, index_ / columns_, index_ % columns_, Qt::AlignLeft | Qt::AlignTop);
    ++index_;
}

bool Sheet::event(QEvent* event)
{
    if (event->type() == QEvent::Polish) {
        for (auto& [holder, control] : holders_) {
            const QSize size = control->testAttribute(Qt::WA_Resized) ? control->size() : control->sizeHint();
            control->resize(size);
            holder->setFixedSize(size);
        }
    }
    return QWidget::event(event);
}

void Sheet::NewRow()
{
    if (index_ % columns_)
        index_ += columns_ - index_ % columns_;
}

void Hover(QWidget* widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QEnterEvent enter(centre, widget->mapTo(widget->window(), centre), widget->mapToGlobal(centre));
    QApplication::sendEvent(widget, &enter);
    MoveMouse(widget, centre.toPoint());
}

void MoveMouse(QWidget* widget, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::NoButton,
        buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void PressMouse(QWidget* widget, QPoint pos)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), widget->mapToGlobal(QPointF(pos)),
        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

} // namespace kestovar::screens
