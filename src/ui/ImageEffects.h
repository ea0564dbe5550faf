#pragma once
// Colour arithmetic on skin images: the brightened hover face and the dimmed face
// of image buttons are the button image passed through a colour matrix.

#include <QImage>

namespace kestovar {

// Every colour channel c (0..1) becomes c * factor + offset, held within 0..1;
// alpha is unchanged, so transparent parts stay transparent. Keeps the device
// pixel ratio; the result is premultiplied ARGB32.
QImage ApplyColorMatrix(const QImage& image, float factor, float offset);

// The faces of an image button (factor, offset).
inline constexpr float kHoverFactor = 1.05f, kHoverOffset = 0.05f;
inline constexpr float kDimFactor = 0.55f, kDimOffset = 0.05f;
inline constexpr float kDimIconFactor = 0.7f;

} // namespace kestovar
