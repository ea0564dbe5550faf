#pragma once
// The seek-bar slider: the channel image stretched exactly over the channel and a
// white bar filled up to the thumb.

#include "ui/CMySliderControl.h"

namespace kestovar {

class CMySliderControl2 : public CMySliderControl {
    Q_OBJECT
public:
    explicit CMySliderControl2(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr)
        : CMySliderControl(ChannelLook::FilledToThumb, orientation, parent)
    {
    }
};

} // namespace kestovar
