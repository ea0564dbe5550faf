#include "dialogs/CDlgNoCamera.h"

#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

namespace kestovar {

QPoint NoCameraPosition(QSize parent, QSize notice)
{
    return QPoint(parent.width() / 2 - notice.width() / 2,
        parent.height() / 2 + CDlgNoCamera::kBelowCentre - notice.height() / 2);
}

CDlgNoCamera::CDlgNoCamera(QWidget* parent)
    : QWidget(parent)
{
    setFont(skin::SkinFont("Arial", 30));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    timer_.setInterval(kBlinkMs);
    connect(&timer_, &QTimer::timeout, this, &CDlgNoCamera::BlinkStep);
    resize(sizeHint());
    hide();
}

QSize CDlgNoCamera::sizeHint() const
{
    // The template's size, widened when the text needs more room.
    const QSize templ = DluSize(272, 19);
    const QFontMetrics fm(font());
    return QSize(
        std::max(templ.width(), fm.horizontalAdvance(Text()) + 4), std::max(templ.height(), fm.height()));
}

void CDlgNoCamera::StartBlink()
{
    opacity_.Reset();
    timer_.start();
    update();
}

void CDlgNoCamera::StopBlink()
{
    timer_.stop();
}

void CDlgNoCamera::BlinkStep()
{
    opacity_.Step();
    update();
}

void CDlgNoCamera::Place()
{
    resize(sizeHint());
    if (parentWidget())
        move(NoCameraPosition(parentWidget()->size(), size()));
}

void CDlgNoCamera::SetKeyTarget(QWidget* mainWindow, std::function<bool()> recordingKeysAllowed)
{
    mainWindow_ = mainWindow;
    recordingKeysAllowed_ = std::move(recordingKeysAllowed);
}

void CDlgNoCamera::paintEvent(QPaintEvent*)
{
    // Only the text is drawn; everything else shows the video area beneath.
    QPainter p(this);
    QColor text = skin::Colour(kTextColour);
    text.setAlpha(opacity_.Value());
    p.setFont(font());
    p.setPen(text);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Text());
}

void CDlgNoCamera::keyPressEvent(QKeyEvent* event)
{
    const bool allowed = recordingKeysAllowed_ && recordingKeysAllowed_();
    if (mainWindow_ && ForwardNoCameraKey(event->key(), allowed)) {
        QCoreApplication::postEvent(
            mainWindow_, new QKeyEvent(QEvent::KeyPress, event->key(), Qt::NoModifier));
    }
    event->accept();
}

} // namespace kestovar
