#pragma once
// The small thumb window of CBitSlider: it shows the first frame of its image
// strip. Mouse input passes through it to the slider underneath, so the slider
// itself does the dragging.

#include "ui/ImageStrip.h"

#include <QWidget>

namespace kestovar {

class CBitWnd : public QWidget {
    Q_OBJECT
public:
    explicit CBitWnd(QWidget* parent = nullptr);

    // Loads the strip and takes the size of one frame.
    bool LoadStrip(const QString& role, int frameWidth, int frameHeight);
    const ImageStrip& Strip() const { return strip_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ImageStrip strip_;
};

} // namespace kestovar
