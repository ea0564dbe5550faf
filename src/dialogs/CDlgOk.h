#pragma once
// The one-button message box ("Ok"). With auto-close on, it closes by itself on
// the third tick of its one-second timer, about three seconds after it opened.

#include "dialogs/CMyDialog.h"

#include <QTimer>

namespace kestovar {

class CFontStatic;
class CGdipButton;

class CDlgOk : public CMyDialog {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 1000;
    static constexpr int kAutoCloseLimit = 2;

    explicit CDlgOk(QWidget* parent = nullptr);
    CDlgOk(const QString& message, QWidget* parent = nullptr);

    void SetMessage(const QString& message);
    QString Message() const;
    // Sets the auto-close flag and starts counting from zero.
    void EnableAutoClose();
    bool AutoClose() const { return autoClose_; }
    int ElapsedSeconds() const { return elapsed_; }

    CGdipButton* OkButton() const { return ok_; }
    CFontStatic* MessageLabel() const { return label_; }

    // One tick of the timer (the timer calls it every second while open).
    void Tick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Relayout();

    CFontStatic* label_;
    CGdipButton* ok_;
    QTimer timer_;
    bool autoClose_ = false;
    int elapsed_ = 0;
};

} // namespace kestovar
