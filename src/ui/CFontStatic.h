#pragma once
// A text label with its own font, colours and alignment, drawn on the skin.

#include <QLabel>

namespace kestovar {

class CFontStatic : public QLabel {
    Q_OBJECT
public:
    // Style word bits of SetFont.
    enum Style : unsigned {
        Bold = 0x01,
        Italic = 0x02,
        Underline = 0x04,
        Strikeout = 0x08,
        Antialiased = 0x10,
        Centre = 0x20,
        Left = 0x40,
        Right = 0x80,
    };

    explicit CFontStatic(QWidget* parent = nullptr);
    CFontStatic(const QString& text, QWidget* parent = nullptr);

    // Face, cell height in pixels, text colour and style word.
    void SetFont(const QString& face, int height, QRgb textColour, unsigned style);
    // Own background colour; without it the label is filled with the skin's background.
    void SetBackground(QRgb colour, bool useOwn = true);

    unsigned StyleWord() const { return style_; }
    QRgb TextColour() const { return textColour_; }
    Qt::Alignment HorizontalAlignment() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    unsigned style_ = Left;
    QRgb textColour_ = 0x000000;
    QRgb background_ = 0x464646;
    bool useOwnBackground_ = false;
};

} // namespace kestovar
