#pragma once
// Position arithmetic of the owner-drawn bitmap slider: where the thumb centre of
// a value lies, which value a pointer position means, and what a key does.

#include <optional>

namespace kestovar {

struct BitmapSliderGeometry {
    int length = 0; // control length along the travel (pixels)
    int marginStart = 0; // pixels kept free at the start (left, or top)
    int marginEnd = 0; // pixels kept free at the end (right, or bottom)
    int thumbLength = 0; // thumb size along the travel
    int minimum = 0;
    int maximum = 100;

    // First and last pixel the thumb centre can take.
    int TravelStart() const { return marginStart + thumbLength / 2; }
    int TravelEnd() const { return length - marginEnd - thumbLength / 2; }
    // Thumb centre of a value (values outside the range are held to it).
    int PixelOf(int value) const;
    // Value under a thumb centre at pixel (held to the travel and the range).
    int ValueAt(int pixel) const;
};

// The new position after a key (Qt::Key value), or nothing when the key does not
// move the slider. Page Up/Down move by page, Home/End go to the ends, arrows by
// one (Right and Down up, Left and Up down); the result is held to the range.
std::optional<int> BitmapSliderKeyPosition(int key, int position, int minimum, int maximum, int page);

} // namespace kestovar
