#pragma once
// A label with its own background and text colours (the transport bar's times).

#include <QLabel>

namespace kestovar {

class CColorStatic : public QLabel {
    Q_OBJECT
public:
    explicit CColorStatic(const QString& text = {}, QWidget* parent = nullptr);

    // Both repaint at once.
    void SetBackgroundColour(QRgb colour);
    void SetTextColour(QRgb colour);
    QRgb BackgroundColour() const { return background_; }
    QRgb TextColour() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRgb background_ = 0x464646;
    QRgb text_ = 0xFFFFFF;
};

} // namespace kestovar
