#pragma once
// Sample pictures for the grabber and graph tests: H.264 and MJPG packets of the
// simulated camera's test picture, and checks of its orientation mark (a red square
// near the top-left corner of an upright, unmirrored picture).

#include "platform/SimulatedH264Clip.h"

#include <QImage>

#include <memory>

namespace kestovar::test {

inline std::shared_ptr<const SimulatedClip> H264Clip(uint32_t width, uint32_t height)
{
    return SimulatedH264Clip({ width, height, 30, 4000000, {} });
}

// Centre of the orientation mark in an upright picture of this height.
inline int MarkOffset(int height)
{
    return 6 * (std::max(2, height / 54) & ~1);
}

inline bool IsRed(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90;
}
inline bool IsBlack(QRgb c)
{
    return qRed(c) < 24 && qGreen(c) < 24 && qBlue(c) < 24;
}

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight, None };

// Where the mark is in a picture of the source (or scaled from it): the corner whose
// mark position is red.
inline Corner MarkCorner(const QImage& image, int sourceWidth, int sourceHeight)
{
    const int ox = MarkOffset(sourceHeight) * image.width() / sourceWidth;
    const int oy = MarkOffset(sourceHeight) * image.height() / sourceHeight;
    const QPoint points[4] = { { ox, oy }, { image.width() - 1 - ox, oy }, { ox, image.height() - 1 - oy },
        { image.width() - 1 - ox, image.height() - 1 - oy } };
    for (int i = 0; i < 4; ++i)
        if (IsRed(image.pixel(points[i])))
            return static_cast<Corner>(i);
    return Corner::None;
}

} // namespace kestovar::test
