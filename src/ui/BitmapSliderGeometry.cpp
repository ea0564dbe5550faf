#include "ui/BitmapSliderGeometry.h"

#include <Qt>

#include <algorithm>
#include <cmath>

namespace kestovar {

int BitmapSliderGeometry::PixelOf(int value) const
{
    const int start = TravelStart();
    const int span = std::max(0, TravelEnd() - start);
    if (maximum <= minimum)
        return start;
    const int v = std::clamp(value, minimum, maximum);
    return start + static_cast<int>(std::lround(double(v - minimum) * span / double(maximum - minimum)));
}

int BitmapSliderGeometry::ValueAt(int pixel) const
{
    const int start = TravelStart();
    const int span = TravelEnd() - start;
    if (span <= 0 || maximum <= minimum)
        return minimum;
    const int p = std::clamp(pixel, start, start + span);
    const int v
        = minimum + static_cast<int>(std::lround(double(p - start) * (maximum - minimum) / double(span)));
    return std::clamp(v, minimum, maximum);
}

std::optional<int> BitmapSliderKeyPosition(int key, int position, int minimum, int maximum, int page)
{
    int next;
    switch (key) {
    case Qt::Key_PageUp:
        next = position - page;
        break;
    case Qt::Key_PageDown:
        next = position + page;
        break;
    case Qt::Key_End:
        next = maximum;
        break;
    case Qt::Key_Home:
        next = minimum;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        next = position + 1;
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        next = position - 1;
        break;
    default:
        return std::nullopt;
    }
    return std::clamp(next, minimum, std::max(minimum, maximum));
}

} // namespace kestovar
