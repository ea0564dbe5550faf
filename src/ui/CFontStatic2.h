#pragma once
// A clickable text label used as an item of the small pop-up menus: it lights up
// under the pointer, can be marked selected, and reports a click.

#include <QWidget>

namespace kestovar {

class CFontStatic2 : public QWidget {
    Q_OBJECT
public:
    explicit CFontStatic2(const QString& text = {}, QWidget* parent = nullptr);

    void SetFont(const QString& face, int height, QRgb textColour, bool bold = false);
    void SetColours(QRgb normalBackground, QRgb selectedBackground);
    void SetSelected(bool on);
    bool IsSelected() const { return selected_; }
    // With auto-hide on, a click also hides the pop-up window the item sits in.
    void SetAutoHide(bool on) { autoHide_ = on; }
    void SetText(const QString& text);
    QString Text() const { return text_; }
    QRgb CurrentBackground() const { return current_; }

    QSize sizeHint() const override;

signals:
    // The item was clicked while enabled; popup is the window it sits in.
    void Chosen(kestovar::CFontStatic2* item, QWidget* popup);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString text_;
    QRgb textColour_ = 0xFEFEFE;
    QRgb normal_ = 0x222222;
    QRgb selectedColour_ = 0x464646;
    QRgb current_ = 0x222222;
    bool selected_ = false;
    bool autoHide_ = true;
};

} // namespace kestovar
