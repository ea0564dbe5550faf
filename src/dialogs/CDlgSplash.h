#pragma once
// The start-up picture with a growing progress bar. A frameless window on the
// GUI thread, shown before the main window is built: its 50 ms timer adds one
// 12-pixel step to the bar until it spans the window, and Complete() fills it at
// once when the main window is ready.

#include "ui/CGdiPlusBitmapResource.h"

#include <QRect>
#include <QTimer>
#include <QWidget>

namespace kestovar {

class CDlgSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 50;
    static constexpr int kStepWidth = 12;
    static constexpr int kBarFromBottom = 50;
    // How long ShowNow waits at most for the window system to show the splash.
    static constexpr int kExposeWaitMs = 1000;

    explicit CDlgSplash(QWidget* parent = nullptr);

    // Shows the splash centred on the screen and paints it at once.
    void ShowNow();
    // Turns the event loop (user input left alone) until the splash is on the screen,
    // at most kExposeWaitMs, and paints it. Only before the application object exists:
    // later, a signal or timer handled here would run the station's close before its
    // event loop does.
    void WaitUntilShown();
    // Stops the timer and draws the bar full.
    void Complete();
    // One timer step.
    void Step();

    int Steps() const { return steps_; }
    bool IsRunning() const { return timer_.isActive(); }
    QRect ProgressRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CGdiPlusBitmapResource background_;
    CGdiPlusBitmapResource progress_;
    QTimer timer_;
    int steps_ = 0;
};

// The bar after a number of steps in a window of the given size: steps x 12
// pixels wide (never wider than the window), 5 high, 50 pixels above the bottom.
QRect SplashProgressRect(int steps, QSize window);
// True once the bar spans the window (the timer then stops).
inline bool SplashFull(int steps, int windowWidth)
{
    return windowWidth <= CDlgSplash::kStepWidth * steps;
}

} // namespace kestovar
