#pragma once
// The drop-down list of CBitComboBox: items on the dark list colour with their
// text at the shared item text offset, inside a frame drawn from four skin pieces.

#include "ui/CGdiPlusBitmapResource.h"

#include <QListView>

namespace kestovar {

class CBitListBox : public QListView {
    Q_OBJECT
public:
    static constexpr int kFrame = 4;

    explicit CBitListBox(QWidget* parent = nullptr);

    // Frame pieces by skin role (left, right, top, bottom), each 4 pixels thick.
    void SetFramePieces(const QString& left, const QString& right, const QString& top, const QString& bottom);
    // Width of the combo box's left edge piece, which the item text is indented by.
    void SetLeftEdgeWidth(int width) { leftEdge_ = width; }
    int LeftEdgeWidth() const { return leftEdge_; }
    void SetTextColours(QRgb focused, QRgb unfocused);
    QRgb FocusedTextColour() const { return focusedText_; }
    QRgb UnfocusedTextColour() const { return unfocusedText_; }

protected:
    bool event(QEvent* event) override;

private:
    CGdiPlusBitmapResource pieces_[4];
    int leftEdge_ = 2;
    QRgb focusedText_ = 0xFFFFFF;
    QRgb unfocusedText_ = 0xFFFFFF;
};

} // namespace kestovar
