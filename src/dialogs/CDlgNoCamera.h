#pragma once
// The notice "Please connect Kestovar cameras." that blinks slowly over the video
// area while no camera is connected. It is a child of the video window and draws
// only its text, whose opacity follows BlinkOpacity.
//
// Keys pressed while it has the focus: the main window's hot keys are posted on
// to the main window (see ForwardNoCameraKey); every other key is swallowed, so
// nothing reaches the video window and Escape never closes anything.

#include "dialogs/NoCameraNotice.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace kestovar {

class CDlgNoCamera : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBlinkMs = 200;
    static constexpr int kBelowCentre = 80;
    static constexpr QRgb kTextColour = 0x828282;

    explicit CDlgNoCamera(QWidget* parent = nullptr);

    static QString Text() { return QStringLiteral("Please connect Kestovar cameras."); }

    // Opacity back to 255 and the blink timer running / stopped.
    void StartBlink();
    void StopBlink();
    bool IsBlinking() const { return timer_.isActive(); }
    int Opacity() const { return opacity_.Value(); }
    // One blink step (the timer calls it every 200 ms).
    void BlinkStep();

    // Centred on the parent, 80 pixels below its centre.
    void Place();

    // Where hot keys go, and whether F3, F4 and F5 may go there now.
    void SetKeyTarget(QWidget* mainWindow, std::function<bool()> recordingKeysAllowed);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    BlinkOpacity opacity_;
    QTimer timer_;
    QPointer<QWidget> mainWindow_;
    std::function<bool()> recordingKeysAllowed_;
};

// The notice's top-left corner for a parent of the given size.
QPoint NoCameraPosition(QSize parent, QSize notice);

} // namespace kestovar
