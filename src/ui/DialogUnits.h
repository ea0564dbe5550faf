#pragma once
// Dialog layouts are given in dialog units of an 8-point "MS Shell Dlg" font:
// a horizontal unit is a quarter of the font's average character width (6 pixels)
// and a vertical unit an eighth of its height (13 pixels). These turn them into
// logical pixels, so every dialog keeps its designed proportions.

#include <QRect>

namespace kestovar {

inline constexpr int kDluBaseX = 6;
inline constexpr int kDluBaseY = 13;

// Rounded as the platform's MapDialogRect rounds (multiply, then divide).
inline int DluToPixelsX(int dlu)
{
    return (dlu * kDluBaseX + 2) / 4;
}
inline int DluToPixelsY(int dlu)
{
    return (dlu * kDluBaseY + 4) / 8;
}
inline QRect DluRect(int x, int y, int width, int height)
{
    return QRect(DluToPixelsX(x), DluToPixelsY(y), DluToPixelsX(width), DluToPixelsY(height));
}
inline QSize DluSize(int width, int height)
{
    return QSize(DluToPixelsX(width), DluToPixelsY(height));
}

} // namespace kestovar
