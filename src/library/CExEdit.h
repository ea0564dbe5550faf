#pragma once
// A case information text field on the skin: white text on a dark face with a thin
// border. In file-name mode (the File Name field) it refuses, as they are typed, the
// eight characters a file name cannot hold, telling the operator why; and it can
// raise an alert: its border blinks red every 300 ms until the operator types into
// the filled field or the form clears it.
//
// The alert timer is the field's timer 1029. GUI thread only.

#include <QLineEdit>
#include <QTimer>

#include <functional>

namespace kestovar {

class CExEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kAlertTimerId = 1029;
    static constexpr int kAlertPeriodMs = 300;
    static constexpr QRgb kFace = 0x3A3A3A;
    static constexpr QRgb kBorder = 0x303030;
    static constexpr QRgb kAlertBorder = 0xFF0000;

    explicit CExEdit(QWidget* parent = nullptr);

    void SetFileNameMode(bool on) { fileNameMode_ = on; }
    bool FileNameMode() const { return fileNameMode_; }

    // The message, then the blinking border. The message shows through the notice
    // hook (the skinned one-button box by default) and returns when it is closed.
    void StartAlert(const QString& message);
    void StopAlert();
    bool AlertRunning() const { return alertTimer_.isActive(); }
    bool AlertFlag() const { return alertFlag_; }
    QRgb BorderColour() const { return alertFlag_ ? kAlertBorder : kBorder; }
    // One tick of the alert timer.
    void AlertTick();

    // How messages reach the operator; by default the skinned CDlgOk, modal.
    using Notice = std::function<void(QWidget* parent, const QString& text)>;
    void SetNotice(Notice notice) { notice_ = std::move(notice); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool fileNameMode_ = false;
    bool alertFlag_ = false;
    QTimer alertTimer_;
    Notice notice_;
};

// The skinned one-button message, modal over parent.
void ShowNotice(QWidget* parent, const QString& text);

} // namespace kestovar
