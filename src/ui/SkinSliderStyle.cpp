#include "ui/SkinSliderStyle.h"

#include <QStyleFactory>

namespace kestovar {

SkinSliderStyle::SkinSliderStyle(QObject* parent)
    : QProxyStyle(QStyleFactory::create("Fusion"))
{
    setParent(parent);
}

void SkinSliderStyle::SetThumb(int length, int thickness)
{
    length_ = std::max(1, length);
    thickness_ = std::max(1, thickness);
}

int SkinSliderStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_SliderLength:
        return length_;
    case PM_SliderControlThickness:
        return thickness_;
    case PM_SliderThickness:
        return thickness_;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

} // namespace kestovar
