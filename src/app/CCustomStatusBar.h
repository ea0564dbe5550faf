#pragma once
// The frame's status bar: two panes of grey text on the frame colour, both
// stretching, and the skin's size grip as a square in the bottom right corner.

#include <QString>
#include <QWidget>

#include <array>

namespace kestovar {

class CGdiPlusBitmapResource;

class CCustomStatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 20;
    static constexpr QRgb kTextColour = 0x999999;

    explicit CCustomStatusBar(QWidget* parent = nullptr);
    ~CCustomStatusBar() override;

    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    // The PACS queue's count, drawn at the right end of the second pane; empty for none.
    void SetSendText(const QString& text);
    QString SendText() const { return sendText_; }
    // A pane's rectangle: the width without the grip split in two.
    QRect PaneRect(int pane) const;
    QRect GripRect() const;

    QSize sizeHint() const override { return QSize(200, kHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QString, 2> texts_;
    QString sendText_;
    std::unique_ptr<CGdiPlusBitmapResource> grip_;
};

} // namespace kestovar
