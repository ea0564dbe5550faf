#pragma once
// A scroll bar drawn from the skin's scroll grid: a square grid of 9 x 3 cells
// whose side is the bar thickness t. Columns 0-3 are the vertical bar's up arrow,
// down arrow, thumb and channel, columns 4-7 the same for the horizontal bar,
// column 8 the corner; rows 0-2 the normal, hovered and pressed looks.
//
// The bar shows the scroll information it is given and reports the operator's
// actions through Scroll(code, position); its owner applies them and hands the
// new information back. Arrows and the channel repeat while held: once after
// 500 ms, then every 100 ms.

#include "ui/CGdiPlusBitmapResource.h"
#include "ui/SkinScrollGeometry.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

namespace kestovar {

class CSkinScrollBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRepeatDelayMs = 500;
    static constexpr int kRepeatMs = 100;

    explicit CSkinScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    bool SetSkin(const QString& gridRole);
    int Thickness() const { return thickness_; }
    Qt::Orientation Orientation() const { return orientation_; }

    void SetScrollInfo(const ScrollInfo& info, bool redraw = true);
    const ScrollInfo& GetScrollInfo() const { return info_; }
    bool IsDragging() const { return dragging_; }
    int TrackPosition() const { return trackPosition_; }
    SkinScrollLayout Layout() const;
    ScrollPart HoveredPart() const { return hovered_; }
    ScrollPart PressedPart() const { return pressed_; }

    QSize sizeHint() const override;

signals:
    void Scroll(int code, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int Along(const QPointF& p) const;
    QRect PartRect(const SkinScrollLayout& layout, ScrollPart part) const;
    QRect Cell(int column, int row) const;
    void RepeatTick();
    void StopRepeat();

    Qt::Orientation orientation_;
    CGdiPlusBitmapResource skin_;
    QImage grid_;
    int thickness_ = 0;
    ScrollInfo info_;
    int trackPosition_ = -1;
    bool dragging_ = false;
    int pressAlong_ = 0;
    int pressPosition_ = 0;
    ScrollPart pressed_ = ScrollPart::None;
    ScrollPart hovered_ = ScrollPart::None;
    bool pointerOutside_ = false;
    int lastAlong_ = 0;
    QTimer delay_; // first repeat
    QTimer repeat_; // later repeats
};

} // namespace kestovar
