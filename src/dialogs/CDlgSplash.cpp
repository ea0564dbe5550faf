#include "dialogs/CDlgSplash.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace kestovar {

QRect SplashProgressRect(int steps, QSize window)
{
    const int width = std::clamp(steps, 0, window.width()) * CDlgSplash::kStepWidth;
    return QRect(0, window.height() - CDlgSplash::kBarFromBottom, std::min(width, window.width()), 5);
}

CDlgSplash::CDlgSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Kestovar"));
    background_.Load("splash_background");
    progress_.Load("splash_progress");
    resize(background_.IsLoaded() ? background_.Size() : QSize(650, 450));
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, &CDlgSplash::Step);
}

void CDlgSplash::ShowNow()
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(screen->geometry().center());
        move(r.topLeft());
    }
    show();
    raise();
    repaint();
}

void CDlgSplash::WaitUntilShown()
{
    // Shown at the very start, before the station builds anything: the window system
    // must have put it on the screen before the main thread goes on with that work,
    // or nothing shows until the first turn of the event loop.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 20);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CDlgSplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!SplashFull(steps_, width()))
        timer_.start();
}

void CDlgSplash::Step()
{
    ++steps_;
    update();
    if (SplashFull(steps_, width()))
        timer_.stop();
}

void CDlgSplash::Complete()
{
    timer_.stop();
    steps_ = width();
    repaint();
}

QRect CDlgSplash::ProgressRect() const
{
    return SplashProgressRect(steps_, size());
}

void CDlgSplash::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (background_.IsLoaded())
        background_.Draw(p, QRectF(rect()));
    else
        p.fillRect(rect(), QColor(0x22, 0x22, 0x22));
    const QRect bar = ProgressRect();
    if (!bar.isEmpty() && progress_.IsLoaded())
        progress_.Draw(p, QRectF(bar));
}

} // namespace kestovar
