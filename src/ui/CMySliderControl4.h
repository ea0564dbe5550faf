#pragma once
// The transport bar's trackbar: drawn exactly as CMySliderControl.

#include "ui/CMySliderControl.h"

namespace kestovar {

class CMySliderControl4 : public CMySliderControl {
    Q_OBJECT
public:
    explicit CMySliderControl4(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr)
        : CMySliderControl(ChannelLook::Stretched, orientation, parent)
    {
    }
};

} // namespace kestovar
