#pragma once
// A check box drawn on the skin: a 13x13 box from an image strip (or a plain
// drawn box when no strip is set) and white text beside it.

#include "ui/CGdiPlusBitmapResource.h"

#include <QAbstractButton>

namespace kestovar {

// Index into the check box strip: 6 when disabled (else 0), +1 hovered, +2 checked.
inline int CheckBoxImageIndex(bool enabled, bool hover, bool checked)
{
    return (enabled ? 0 : 6) + (hover ? 1 : 0) + (checked ? 2 : 0);
}

class CAdvCheckBox : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kBoxSize = 13;
    static constexpr int kTextLeft = 18;

    explicit CAdvCheckBox(const QString& text = {}, QWidget* parent = nullptr);

    // An image strip of 13x13 frames (skin role); false when it cannot be loaded.
    bool SetImageList(const QString& role);
    void SetChecked(bool on) { setChecked(on); }
    // Text on the left and the box at the right edge.
    void SetLeftText(bool on);
    void SetTextAlignment(Qt::Alignment horizontal);
    void SetFrameColour(QRgb colour);
    bool IsHover() const { return hover_; }
    // Where the box is drawn, in widget coordinates.
    QRect BoxRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    CGdiPlusBitmapResource strip_;
    bool hover_ = false;
    bool leftText_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    QRgb frameColour_ = 0xC0C0C0;
};

} // namespace kestovar
