#pragma once
// Watches every mouse movement the station's windows receive while it is installed,
// and reports those whose pointer lies over the video window (anywhere inside its
// rectangle, over its children too). The transport bar installs it at Play so that
// moving the mouse over the picture brings the bar back and restarts its hide
// countdown. It only looks: every event goes on to its window unchanged.
//
// GUI thread only. It is an application event filter; the video window and its
// children track the mouse, so movements without a pressed button reach it too.

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace kestovar {

class VideoMouseHook : public QObject {
    Q_OBJECT
public:
    // `onMove` is called for every movement over `videoWindow` while installed.
    VideoMouseHook(QWidget* videoWindow, std::function<void()> onMove);
    ~VideoMouseHook() override;

    // Installing again first removes the earlier installation.
    void Install();
    void Remove();
    bool IsInstalled() const { return installed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> videoWindow_;
    std::function<void()> onMove_;
    bool installed_ = false;
};

} // namespace kestovar
