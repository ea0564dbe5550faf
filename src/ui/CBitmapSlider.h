#pragma once
// A slider drawn entirely from skin images, with its own range, keyboard and
// mouse handling. It reports through two signals that carry its control id:
// SliderMoving while the thumb is dragged, SliderMoved when a drag ends or a key
// changed the position (the station's 0x28D1 and 0x28D2 notifications).
//
// A vertical slider has its minimum at the bottom; its active channel is the
// part below the thumb, and Up raises the value.

#include "ui/BitmapSliderGeometry.h"
#include "ui/CGdiPlusBitmapResource.h"

#include <QImage>
#include <QWidget>

namespace kestovar {

inline constexpr int kSliderMovingMessage = 0x28D1;
inline constexpr int kSliderMovedMessage = 0x28D2;

class CBitmapSlider : public QWidget {
    Q_OBJECT
public:
    // A key colour of 0xFF000000 means: the colour of the image's top-left pixel.
    static constexpr QRgb kKeyFromTopLeft = 0xFF000000;

    explicit CBitmapSlider(int controlId = 0, QWidget* parent = nullptr);

    int ControlId() const { return id_; }
    void SetControlId(int id) { id_ = id; }

    void SetRange(int minimum, int maximum, bool redraw = true);
    void SetPos(int position);
    int GetPos() const { return pos_; }
    int GetRangeMin() const { return min_; }
    int GetRangeMax() const { return max_; }
    void SetPageSize(int page) { page_ = page; }
    int GetPageSize() const { return page_; }
    void SetMargin(int left, int top, int right, int bottom);
    void SetVertical(bool vertical);

    // Channel images (normal, and the optional active part before the thumb). With
    // transparent set, pixels of the key colour are left out. The control takes the
    // channel's size. False when the normal image is missing.
    bool SetBitmapChannel(const QString& role, const QString& activeRole = {}, bool transparent = false,
        QRgb key = kKeyFromTopLeft, QRgb activeKey = kKeyFromTopLeft);
    bool SetBitmapThumb(const QString& role, const QString& activeRole = {}, bool transparent = false,
        QRgb key = kKeyFromTopLeft, QRgb activeKey = kKeyFromTopLeft);
    void Enable(bool on) { setEnabled(on); }
    void DrawFocusRect(bool on)
    {
        drawFocusRect_ = on;
        update();
    }
    bool IsDragging() const { return dragging_; }
    // Thumb centre of the current position, in widget coordinates along the travel.
    int ThumbCentre() const;

    QSize sizeHint() const override;

signals:
    void SliderMoving(int controlId, int position);
    void SliderMoved(int controlId, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Layer {
        CGdiPlusBitmapResource image;
        bool transparent = false;
        QRgb key = kKeyFromTopLeft;
        QImage rendered; // at the current size and device pixel ratio, key colour removed
    };

    BitmapSliderGeometry Geometry() const;
    int Along(const QPointF& p) const;
    int PixelToValue(int along) const;
    QImage& Rendered(Layer& layer, QSize size);
    void Dirty();

    int id_ = 0;
    int min_ = 0, max_ = 100, pos_ = 0, page_ = 10;
    int marginLeft_ = 0, marginTop_ = 0, marginRight_ = 0, marginBottom_ = 0;
    bool vertical_ = false;
    Layer channel_, channelActive_, thumb_, thumbActive_;
    bool dragging_ = false;
    bool drawFocusRect_ = true;
    int grabOffset_ = 0;
};

// An image with the pixels of one colour made fully transparent. key ==
// CBitmapSlider::kKeyFromTopLeft takes the colour of the top-left pixel.
QImage MaskKeyColour(const QImage& image, QRgb key);

} // namespace kestovar
