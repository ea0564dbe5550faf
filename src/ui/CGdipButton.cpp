#include "ui/CGdipButton.h"

#include "ui/ImageEffects.h"
#include "ui/SkinPalette.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kestovar {

namespace {

constexpr int kIconX = 9;
constexpr int kIconWidth = 14;

QImage DrawnAt(const CGdiPlusBitmapResource& image, QSize canvas, QPoint at, qreal dpr)
{
    QImage face((QSizeF(canvas) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    face.setDevicePixelRatio(dpr);
    face.fill(Qt::transparent);
    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing);
    image.Draw(p, QRectF(at, QSizeF(image.Size())));
    return face;
}

} // namespace

CGdipButton::CGdipButton(QWidget* parent)
    : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setFlat(true);
    setFont(skin::SkinFont("Arial", 15));
}

CGdipButton::CGdipButton(const QString& stdRole, const QString& caption, QWidget* parent)
    : CGdipButton(parent)
{
    LoadStdImage(stdRole);
    SetCaption(caption);
}

bool CGdipButton::LoadStdImage(const QString& role)
{
    const bool ok = std_.Load(role);
    if (ok)
        resize(std_.Size());
    Invalidate();
    updateGeometry();
    return ok;
}

bool CGdipButton::LoadAltImage(const QString& role)
{
    const bool ok = alt_.Load(role);
    Invalidate();
    return ok;
}

bool CGdipButton::LoadIconImage(const QString& role)
{
    const bool ok = icon_.Load(role);
    update();
    return ok;
}

void CGdipButton::SetCaption(const QString& caption)
{
    setText(caption);
    update();
}

void CGdipButton::SetToggleMode(bool on)
{
    toggleMode_ = on;
    update();
}

void CGdipButton::SetToggled(bool on)
{
    toggled_ = on;
    update();
}

void CGdipButton::SetDisabledLook(bool on)
{
    disabledLook_ = on;
    update();
}

void CGdipButton::SetToolTipText(const QString& text)
{
    setToolTip(text);
}

void CGdipButton::SetCustomCursor(const QCursor& cursor)
{
    setCursor(cursor);
}

QSize CGdipButton::sizeHint() const
{
    return std_.IsLoaded() ? std_.Size() : QSize(100, 40);
}

GdipFace CGdipButton::CurrentFace() const
{
    GdipButtonState s;
    // Only the owner's SetDisabledLook dims; a disabled button keeps its face.
    s.disabledLook = disabledLook_;
    s.toggleMode = toggleMode_;
    s.toggled = toggled_;
    s.pressed = isDown();
    s.hover = hover_;
    s.hasAlternate = alt_.IsLoaded();
    return ChooseGdipFace(s);
}

void CGdipButton::Invalidate()
{
    prepared_ = false;
    update();
}

void CGdipButton::PrepareFaces()
{
    const qreal dpr = devicePixelRatioF();
    if (prepared_ && preparedRatio_ == dpr && preparedSize_ == size())
        return;
    faces_ = {};
    prepared_ = true;
    preparedRatio_ = dpr;
    preparedSize_ = size();
    if (!std_.IsLoaded())
        return;
    // Faces are button-sized; the image sits at its own size in the top-left corner
    // and whatever it leaves transparent shows the parent through it.
    const QSize canvas = size();
    auto at = [](GdipFace f) { return static_cast<size_t>(f); };
    faces_[at(GdipFace::Standard)] = DrawnAt(std_, canvas, { 0, 0 }, dpr);
    faces_[at(GdipFace::StandardPressed)] = DrawnAt(std_, canvas, { 1, 1 }, dpr);
    faces_[at(GdipFace::StandardHover)]
        = ApplyColorMatrix(faces_[at(GdipFace::Standard)], kHoverFactor, kHoverOffset);
    faces_[at(GdipFace::Dim)] = ApplyColorMatrix(faces_[at(GdipFace::Standard)], kDimFactor, kDimOffset);
    if (alt_.IsLoaded()) {
        faces_[at(GdipFace::Alternate)] = DrawnAt(alt_, canvas, { 0, 0 }, dpr);
        faces_[at(GdipFace::AlternatePressed)] = DrawnAt(alt_, canvas, { 1, 1 }, dpr);
        faces_[at(GdipFace::AlternateHover)]
            = ApplyColorMatrix(faces_[at(GdipFace::Alternate)], kHoverFactor, kHoverOffset);
    }
}

QImage CGdipButton::FaceImage(GdipFace face)
{
    PrepareFaces();
    return faces_[static_cast<size_t>(face)];
}

void CGdipButton::paintEvent(QPaintEvent*)
{
    PrepareFaces();
    if (!std_.IsLoaded())
        return; // a button without its image draws nothing
    QPainter p(this);
    const GdipFace face = CurrentFace();
    const bool dim = face == GdipFace::Dim;
    p.drawImage(QPoint(0, 0), faces_[static_cast<size_t>(face)]);

    if (!text().isEmpty()) {
        p.setFont(font());
        p.setPen(skin::Colour(dim ? skin::kDisabledButtonText : skin::kText));
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    if (icon_.IsLoaded()) {
        const QSize is = icon_.Size();
        const int h = is.width() > 0 ? is.height() * kIconWidth / is.width() : kIconWidth;
        QImage iconImage = icon_.Render(QSize(kIconWidth, h), devicePixelRatioF());
        if (dim)
            iconImage = ApplyColorMatrix(iconImage, kDimIconFactor, 0.0f);
        p.drawImage(QPoint(kIconX, (height() - h) / 2), iconImage);
    }
    if (keyboardFocus_ && hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing);
        QColor ring = skin::Colour(skin::kAccent);
        ring.setAlpha(200);
        p.setPen(QPen(ring, 1.5));
        p.setBrush(Qt::NoBrush);
        const QSize s = std_.Size().boundedTo(size());
        p.drawRoundedRect(QRectF(2.5, 2.5, s.width() - 5, s.height() - 5), 3, 3);
    }
}

void CGdipButton::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event)
{
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CGdipButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        toggled_ = !toggled_;
    QPushButton::mouseReleaseEvent(event);
    update();
}

void CGdipButton::focusInEvent(QFocusEvent* event)
{
    keyboardFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QPushButton::focusInEvent(event);
}

void CGdipButton::focusOutEvent(QFocusEvent* event)
{
    keyboardFocus_ = false;
    QPushButton::focusOutEvent(event);
}

void CGdipButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QPushButton::changeEvent(event);
}

} // namespace kestovar
