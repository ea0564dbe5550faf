#include "dialogs/NoCameraNotice.h"

#include <Qt>

#include <algorithm>

namespace kestovar {

int BlinkOpacity::Step()
{
    if (opacity_ > 254)
        down_ = true;
    else if (opacity_ <= 0)
        down_ = false;
    opacity_ = std::clamp(opacity_ + (down_ ? -kStep : kStep), 0, 255);
    return opacity_;
}

bool ForwardNoCameraKey(int key, bool recordingKeysAllowed)
{
    switch (key) {
    case Qt::Key_F1:
    case Qt::Key_F7:
    case Qt::Key_F9:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_F3:
    case Qt::Key_F4:
    case Qt::Key_F5:
        return recordingKeysAllowed;
    default:
        return false;
    }
}

} // namespace kestovar
