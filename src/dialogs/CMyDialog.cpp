#include "dialogs/CMyDialog.h"

#include "dialogs/DialogFrameGeometry.h"
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/SkinPalette.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace kestovar {

namespace {

const char* const kClipProperty = "kestovarClipDialogFrame";

const CGdiPlusBitmapResource& CloseImage(bool hover)
{
    static CGdiPlusBitmapResource normal, lit;
    static bool loaded = (normal.Load("dialog_close"), lit.Load("dialog_close_hover"), true);
    (void)loaded;
    return hover ? lit : normal;
}

} // namespace

void ClipDialogFrame(QWidget* dialog)
{
    if (!dialog)
        return;
    dialog->setProperty(kClipProperty, true);
    dialog->setMask(QRegion(DialogClipRect(dialog->size())));
}

CMyDialog::CMyDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , textColour_(skin::kText)
    , frameColour_(skin::kFrame)
    , backgroundColour_(skin::kBackground)
{
    setMouseTracking(true);
    setWindowTitle(title_);
    setFont(skin::SkinFont("Arial", 15));
    setContentsMargins(DialogFrameMetrics::kBorder, DialogFrameMetrics::kCaptionHeight,
        DialogFrameMetrics::kBorder, DialogFrameMetrics::kBorder);
}

void CMyDialog::SetTitle(const QString& title)
{
    title_ = title;
    setWindowTitle(title);
    update();
}

void CMyDialog::SetColours(QRgb text, QRgb frame, QRgb background)
{
    textColour_ = text;
    frameColour_ = frame;
    backgroundColour_ = background;
    update();
}

void CMyDialog::SetClientSize(QSize client)
{
    const QSize s = WindowSizeForClient(client);
    setFixedSize(s);
}

QPoint CMyDialog::ClientOrigin() const
{
    return ClientRect(size()).topLeft();
}

void CMyDialog::CentreOnScreen()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect r = frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
}

void CMyDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QSize s = size();
    const QColor frame = skin::Colour(frameColour_);
    p.fillRect(rect(), frame);
    p.fillRect(ClientRect(s), skin::Colour(backgroundColour_));

    // Title: clipped to its rectangle, so a long one never runs under the close button.
    const QRect textRect = CaptionTextRect(s);
    QFont captionFont = skin::SkinFont("Arial", 16, true);
    p.save();
    p.setClipRect(textRect);
    p.setFont(captionFont);
    p.setPen(skin::Colour(textColour_));
    p.drawText(textRect.adjusted(DialogFrameMetrics::kTitleIndent, 0, 0, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);
    p.restore();

    p.setRenderHint(QPainter::Antialiasing);
    CloseImage(closeHover_).Draw(p, QRectF(CloseButtonRect(s)));
}

void CMyDialog::SetCloseHover(bool on)
{
    if (on != closeHover_) {
        closeHover_ = on;
        update(CloseButtonRect(size()));
    }
}

void CMyDialog::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (CloseHitRect(size()).contains(pos)) {
        closePressed_ = true;
        SetCloseHover(true);
        return;
    }
    if (pos.y() < DialogFrameMetrics::kCaptionHeight) {
        // The window manager moves the window where it can; otherwise we do.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        moving_ = true;
        moveGrab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CMyDialog::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (moving_) {
        move(event->globalPosition().toPoint() - moveGrab_);
        return;
    }
    SetCloseHover(CloseHitRect(size()).contains(pos));
    QDialog::mouseMoveEvent(event);
}

void CMyDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        moving_ = false;
        const bool wasPressed = closePressed_;
        closePressed_ = false;
        if (wasPressed && CloseHitRect(size()).contains(event->position().toPoint())) {
            reject();
            return;
        }
        SetCloseHover(CloseHitRect(size()).contains(event->position().toPoint()));
    }
    QDialog::mouseReleaseEvent(event);
}

void CMyDialog::leaveEvent(QEvent* event)
{
    if (!closePressed_)
        SetCloseHover(false);
    QDialog::leaveEvent(event);
}

void CMyDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (property(kClipProperty).toBool())
        setMask(QRegion(DialogClipRect(size())));
}

} // namespace kestovar
