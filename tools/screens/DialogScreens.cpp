// Screens of the skinned dialogs, the no-camera notice and the splash.
#include "ScreenRegistry.h"

#include "dialogs/CDlgNoCamera.h"
#include "dialogs/CDlgOk.h"
#include "dialogs/CDlgOkCancel.h"
#include "dialogs/CDlgSplash.h"
#include "dialogs/CMyDialog.h"
#include "ui/SkinPalette.h"

#include <QPainter>

using namespace kestovar;
using namespace kestovar::screens;

namespace {

QWidget* MakeFrame(const QString& title)
{
    auto* d = new CMyDialog;
    d->SetTitle(title);
    d->SetClientSize(QSize(380, 160));
    ClipDialogFrame(d);
    return d;
}

// A stand-in for the video window: black, as it is with no camera.
class VideoArea : public QWidget {
public:
    VideoArea()
    {
        setFixedSize(960, 540);
        notice_ = new CDlgNoCamera(this);
        notice_->show();
        notice_->Place();
        notice_->StartBlink();
    }
    CDlgNoCamera* notice_;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::black); }
};

} // namespace

KESTOVAR_SCREEN(dlg_frame, [] { return MakeFrame("Devices"); });
KESTOVAR_SCREEN_STAGED(
    dlg_frame_close_hover, [] { return MakeFrame("Video Quality Setting"); },
    [](QWidget* w) { MoveMouse(w, QPoint(w->width() - 15, 16)); });
KESTOVAR_SCREEN(dlg_frame_long_title,
    [] { return MakeFrame("A title far longer than the caption strip of this small dialog can hold"); });
KESTOVAR_SCREEN(dlg_ok, [] { return new CDlgOk("Kestovar camera is not detected!"); });
KESTOVAR_SCREEN(
    dlg_ok_two_lines, [] { return new CDlgOk("Insufficient disk space\n(5% of disk space remaining)"); });
KESTOVAR_SCREEN(dlg_ok_long,
    [] { return new CDlgOk("A file name can't contain any of the following characters  :\uFF3C/:+?\"<>|"); });
KESTOVAR_SCREEN(dlg_okcancel, [] {
    auto* d = new CDlgOkCancel("Do you want to stop recording?");
    d->SetTitle("Kestovar");
    return d;
});
KESTOVAR_SCREEN(dlg_okcancel_delete,
    [] { return new CDlgOkCancel("Do you want to delete \"knee_170226_140509.avi\"?"); });
KESTOVAR_SCREEN(no_camera, [] { return new VideoArea; });
KESTOVAR_SCREEN_STAGED(
    no_camera_fading, [] { return new VideoArea; },
    [](QWidget* w) {
        auto* notice = static_cast<VideoArea*>(w)->notice_;
        notice->StopBlink();
        for (int i = 0; i < 6; ++i)
            notice->BlinkStep(); // opacity 105
    });
KESTOVAR_SCREEN_STAGED(
    splash, [] { return new CDlgSplash; },
    [](QWidget* w) {
        auto* splash = static_cast<CDlgSplash*>(w);
        while (splash->Steps() < 24)
            splash->Step();
    });
KESTOVAR_SCREEN_STAGED(
    splash_complete, [] { return new CDlgSplash; },
    [](QWidget* w) { static_cast<CDlgSplash*>(w)->Complete(); });
