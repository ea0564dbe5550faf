#pragma once
// A drop-down list combo box drawn from skin pieces: a left edge, a stretched
// middle and a drop button, with the current text on the face colour.

#include "ui/CGdiPlusBitmapResource.h"

#include <QComboBox>

namespace kestovar {

class CBitListBox;

class CBitComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CBitComboBox(QWidget* parent = nullptr);

    // The seven pieces by skin role: face left edge, drop button, middle, and the
    // drop-down list's left, right, top and bottom frame pieces.
    void SetBitmaps(const QString& left, const QString& button, const QString& middle,
        const QString& listLeft, const QString& listRight, const QString& listTop, const QString& listBottom);
    // Face background and text with and without the focus.
    void SetColours(QRgb focusBackground, QRgb focusText, QRgb background, QRgb text);

    CBitListBox* List() const { return list_; }
    // Where the face text is drawn (widget coordinates).
    QRect TextRect() const;

    // The x offset of item text in the drop-down list, shared by every combo box:
    // 5 until a list has been drawn, then the list's indent.
    static int ItemTextOffset();
    static void SetItemTextOffset(int offset);

    QSize sizeHint() const override;
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBitListBox* list_;
    CGdiPlusBitmapResource left_, button_, middle_;
    QRgb focusBackground_ = 0x3A3A3A, focusText_ = 0xFFFFFF;
    QRgb background_ = 0x3A3A3A, text_ = 0xFFFFFF;
};

} // namespace kestovar
