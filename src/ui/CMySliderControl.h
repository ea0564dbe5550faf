#pragma once
// A trackbar (Qt slider: range, position, keyboard, valueChanged) whose channel
// and thumb are drawn from skin images. CMySliderControl2 adds a white fill up to
// the thumb (the seek bar); CMySliderControl4 draws as this class does.

#include "ui/CGdiPlusBitmapResource.h"

#include <QRect>
#include <QSlider>

namespace kestovar {

class SkinSliderStyle;

class CMySliderControl : public QSlider {
    Q_OBJECT
public:
    explicit CMySliderControl(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

    bool SetChannelBitmap(const QString& role);
    // Normal and disabled thumb images; the thumb takes the normal image's size.
    bool SetThumbBitmaps(const QString& normalRole, const QString& disabledRole);
    // Kept for callers that colour a thumb without images (0 = the skin's colours).
    void SetThumbColours(QRgb normal, QRgb selected);

    // Where the channel (the trackbar's own, before widening) and the thumb lie.
    QRect ChannelRect() const;
    QRect ThumbRect() const;
    // Which thumb image a paint uses now (for checks): the disabled one when disabled.
    const CGdiPlusBitmapResource& ShownThumb() const;

protected:
    enum class ChannelLook { Stretched, FilledToThumb };
    CMySliderControl(ChannelLook look, Qt::Orientation orientation, QWidget* parent);

    void paintEvent(QPaintEvent* event) override;

private:
    ChannelLook look_;
    SkinSliderStyle* style_ = nullptr;
    CGdiPlusBitmapResource channel_;
    CGdiPlusBitmapResource thumb_;
    CGdiPlusBitmapResource thumbDisabled_;
    QRgb thumbColour_ = 0;
    QRgb thumbSelectedColour_ = 0;
};

// The white "played" bar of the seek slider: from the channel's left edge over
// the channel's height, as wide as thumb left + channel left - 5 (never negative,
// never past the channel).
QRect SeekFillRect(const QRect& channel, int thumbLeft);

} // namespace kestovar
