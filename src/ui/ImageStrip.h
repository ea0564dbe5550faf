#pragma once
// A skin image cut into equal frames. The frames run along the height when the
// image is taller than wide, else along the width; a frame size of 0 means the
// whole image is one frame.

#include "ui/CGdiPlusBitmapResource.h"

#include <QImage>
#include <QRect>

namespace kestovar {

class ImageStrip {
public:
    bool Load(const QString& role, int frameWidth = 0, int frameHeight = 0);
    bool IsLoaded() const { return image_.IsLoaded(); }
    QSize ImageSize() const { return image_.Size(); }
    QSize FrameSize() const { return frame_; }
    int FrameCount() const;
    // Logical rectangle of frame i inside the image (empty when out of range).
    QRect FrameRect(int index) const;
    // Frame i rendered for a device pixel ratio.
    QImage Frame(int index, qreal devicePixelRatio) const;

private:
    CGdiPlusBitmapResource image_;
    QSize frame_;
};

} // namespace kestovar
