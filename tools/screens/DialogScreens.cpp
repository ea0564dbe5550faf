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

// The PACS dialog with its worklist half, and today's worklist with a few procedures.
#include "dicom/CDlgPacs.h"
#include "dicom/CDlgWorklist.h"

namespace {

DicomSettings ScreenDicomSettings()
{
    DicomSettings s;
    s.pacsHost = QStringLiteral("pacs.hospital.local");
    s.pacsPort = 11112;
    s.worklistHost = QStringLiteral("ris.hospital.local");
    s.worklistPort = 4242;
    s.worklistAeTitle = QStringLiteral("RIS_MWL");
    s.stationAeTitle = QStringLiteral("OR3_KESTOVAR");
    return s;
}

WorklistEntry ScreenEntry(const char* time, const char* name, const char* id, const char* birth, const char* what,
    const char* accession, const char* physician)
{
    WorklistEntry e;
    e.scheduledTime = QString::fromUtf8(time);
    e.patientName = QString::fromUtf8(name);
    e.patientId = QString::fromUtf8(id);
    e.birthDate = QString::fromUtf8(birth);
    e.procedureDescription = QString::fromUtf8(what);
    e.accessionNumber = QString::fromUtf8(accession);
    e.performingPhysician = QString::fromUtf8(physician);
    return e;
}

} // namespace

QWidget* MakeWorklist(bool empty);

KESTOVAR_SCREEN(dlg_pacs, [] { return new CDlgPacs(ScreenDicomSettings()); });

QWidget* MakeWorklist(bool empty)
{
    DicomSettings s = ScreenDicomSettings();
    s.worklistHost.clear(); // no query: the screen shows the entries below
    auto* d = new CDlgWorklist(s);
    WorklistResult r;
    r.ok = true;
    if (!empty) {
        r.entries.push_back(ScreenEntry("081500", "Łukaszewicz^Żaneta", "HOSP-1029", "19580211", "Gastroscopy",
            "ACC-2026-0811", "House^Gregory"));
        r.entries.push_back(ScreenEntry("093000", "Müller^Jürgen", "HOSP-4711", "19700314",
            "Colonoscopy: polyp follow-up", "ACC-2026-0815", "House^Gregory^^Dr."));
        r.entries.push_back(
            ScreenEntry("110000", "Doe^Jane", "HOSP-0007", "19851130", "ERCP", "ACC-2026-0820", "Moreau^Claire"));
    }
    d->ShowResult(r);
    return d;
}

KESTOVAR_SCREEN(dlg_worklist, [] { return MakeWorklist(false); });
KESTOVAR_SCREEN(dlg_worklist_empty, [] { return MakeWorklist(true); });
