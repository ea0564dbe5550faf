#pragma once
// The microphone volume slider: a trackbar drawn from two bar images (before and
// after the thumb) with a small separate thumb window. The mouse wheel does not
// move it. Its tool tip text is asked from a provider when the tip is due.

#include "ui/CBitWnd.h"
#include "ui/ImageStrip.h"

#include <QSlider>

#include <functional>

namespace kestovar {

class SkinSliderStyle;

class CBitSlider : public QSlider {
    Q_OBJECT
public:
    explicit CBitSlider(QWidget* parent = nullptr);

    // The thumb window from its image strip (frames of frameWidth x frameHeight).
    bool CreateThumb(const QString& role, int frameWidth, int frameHeight);
    // The bar images; the control takes the size of the image before the thumb.
    bool LoadBarImages(const QString& afterThumbRole, const QString& beforeThumbRole);
    // Thumb offset across the bar, in pixels.
    void SetThumbOffset(int offset);
    void SetToolTipProvider(std::function<QString()> provider) { toolTip_ = std::move(provider); }
    void SetCustomCursor(const QCursor& cursor) { setCursor(cursor); }

    CBitWnd* Thumb() const { return thumb_; }
    // Where the thumb window goes for the current value.
    QRect ThumbRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
    void sliderChange(SliderChange change) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceThumb();

    SkinSliderStyle* style_;
    CBitWnd* thumb_ = nullptr;
    ImageStrip before_;
    ImageStrip after_;
    int thumbOffset_ = 3;
    std::function<QString()> toolTip_;
};

} // namespace kestovar
