#pragma once
// The trackbar metrics of a skinned slider: its thumb is as long and as thick as
// the skin's thumb image, so Qt's hit testing and dragging match what is drawn.

#include <QProxyStyle>

namespace kestovar {

class SkinSliderStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit SkinSliderStyle(QObject* parent = nullptr);

    void SetThumb(int length, int thickness);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;

private:
    int length_ = 10;
    int thickness_ = 11;
};

} // namespace kestovar
