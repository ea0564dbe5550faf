#pragma once
// A bar of text buttons drawn on the skin: a hot button (under the pointer) and a
// checked one are filled and outlined, a pressed one is dark; others show only
// their text. Buttons are hit-tested and pressed by index, like a tool bar.

#include <QWidget>

#include <vector>

namespace kestovar {

class CToolBarXP : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtonHeight = 26;
    static constexpr int kTextPadding = 6;

    explicit CToolBarXP(QWidget* parent = nullptr);

    int AddButton(const QString& text, int command);
    void ClearButtons();
    int ButtonCount() const { return int(buttons_.size()); }
    QString ButtonText(int index) const;
    int ButtonCommand(int index) const;
    QRect ButtonRect(int index) const;
    // The button under a point (widget coordinates), or -1.
    int HitTest(const QPoint& pos) const;
    void PressButton(int index, bool pressed);
    bool IsPressed(int index) const;
    void CheckButton(int index, bool checked);
    void EnableButton(int index, bool enabled);
    int HotButton() const { return hot_; }

    void SetHotFill(QRgb colour)
    {
        hotFill_ = colour;
        update();
    }
    void SetCheckedFill(QRgb colour)
    {
        checkedFill_ = colour;
        update();
    }
    void SetBorderColour(QRgb colour)
    {
        border_ = colour;
        update();
    }

    QSize sizeHint() const override;

signals:
    void ButtonClicked(int index, int command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    void SetHot(int index);

private:
    struct Button {
        QString text;
        int command = 0;
        bool pressed = false;
        bool checked = false;
        bool enabled = true;
    };
    void Relayout();

    std::vector<Button> buttons_;
    std::vector<QRect> rects_;
    int hot_ = -1;
    int clicking_ = -1;
    QRgb hotFill_ = 0xC1D2EE;
    QRgb checkedFill_ = 0xC1D2EE;
    QRgb border_ = 0x316AC5;
};

} // namespace kestovar
