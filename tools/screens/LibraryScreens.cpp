// Screens of the case information form with its media list, and of the storage
// folder chooser. They run on a storage folder made for the tool, with pictures
// drawn here and movies from the ffmpeg command line when it is there.
#include "ScreenRegistry.h"

#include "library/CDlgFolder.h"
#include "library/CExEdit.h"
#include "library/CKestovarFormView.h"
#include "library/CListCtrlEx.h"
#include "library/CShellTreeCtrl.h"
#include "library/MediaLibraryHost.h"
#include "library/MediaListModel.h"
#include "library/ThumbnailLoader.h"
#include "recording/CAppSettings.h"
#include "ui/CMenuXP.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

using namespace kestovar;
using namespace kestovar::screens;

namespace {

QTemporaryDir& Storage()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        qputenv("KESTOVAR_REGISTRY_DIR", dir.filePath(QStringLiteral("registry")).toLocal8Bit());
        const QString root = dir.filePath(QStringLiteral("Kestovar"));
        QDir().mkpath(root + QStringLiteral("/image"));
        QDir().mkpath(root + QStringLiteral("/movie"));
        QDir().mkpath(dir.filePath(QStringLiteral("Cases/2017/Knee")));
        QDir().mkpath(dir.filePath(QStringLiteral("Cases/2017/Shoulder")));
        QDir().mkpath(dir.filePath(QStringLiteral("Cases/Archive")));
        const QColor tints[] = { QColor(180, 70, 60), QColor(200, 120, 90), QColor(150, 60, 80) };
        const char* pictures[] = { "170226_140611.jpg", "170226_140733.jpg", "170226_141502.jpg" };
        for (int i = 0; i < 3; ++i) {
            QImage image(640, 480, QImage::Format_RGB32);
            QPainter p(&image);
            QRadialGradient g(QPointF(320 + 60 * i, 240), 300);
            g.setColorAt(0, tints[i].lighter(160));
            g.setColorAt(1, tints[i].darker(300));
            p.fillRect(image.rect(), g);
            p.setPen(QPen(QColor(255, 230, 210), 6));
            p.drawArc(QRect(160 + 30 * i, 120, 260, 220), 30 * 16, 120 * 16);
            p.end();
            image.save(root + QStringLiteral("/image/") + QLatin1String(pictures[i]));
        }
        for (const char* name : { "knee_170226_140509.avi", "shoulder_170226_143012.avi" }) {
            QProcess::execute(QStringLiteral("ffmpeg"),
                { "-v", "quiet", "-y", "-f", "lavfi", "-i", "testsrc=size=640x480:rate=10", "-t", "1", "-c:v",
                    "libx264", "-pix_fmt", "yuv420p",
                    root + QStringLiteral("/movie/") + QLatin1String(name) });
        }
        QFile damaged(root + QStringLiteral("/movie/damaged_170226_150000.avi"));
        damaged.open(QIODevice::WriteOnly);
    }
    return dir;
}

// The form on its own, as the frame's right pane shows it, with a stand-in frame.
class FormScreen : public QWidget, public MediaLibraryHost {
public:
    explicit FormScreen(FormMode mode = FormMode::Live)
        : mode_(mode)
    {
        QTemporaryDir& dir = Storage();
        settings_ = std::make_unique<CAppSettings>(dir.path());
        settings_->SetRootPath(dir.filePath(QStringLiteral("Kestovar")));
        settings_->doctorName = QStringLiteral("Dr. Adams");
        settings_->hospitalName = QStringLiteral("General Hospital");
        settings_->SaveCaseNames();
        form = new CKestovarFormView(*this, this);
        form->SetFreeSpaceSource([](const std::string&) {
            return std::optional<DiskSpaceInfo>(DiskSpaceInfo { 186ULL << 30, 500ULL << 30 });
        });
        form->SetPrompts({ [](QWidget*, const QString&) { return false; }, [](QWidget*, const QString&) {} });
        form->resize(CKestovarFormView::kWidth, 700);
        resize(form->size());
        form->InitialUpdate();
        form->Loader()->WaitForIdle(30000);
    }

    FormMode CurrentMode() const override { return mode_; }
    CAppSettings& Settings() override { return *settings_; }
    void StopRecording() override { }
    void HideNoCameraNotice() override { }
    void PrepareVideoWindowForMedia() override { }
    bool ShowMovie(const QString&) override
    {
        mode_ = FormMode::PlaybackPaused;
        return true;
    }
    void ShowPicture(const QString&) override { mode_ = FormMode::StillShown; }
    void UpdateControlStates() override { }
    void ClosePlaybackBeforeDelete(const QString&) override { }
    bool OpenFolder(const QString&) override { return true; }

    int Row(const QString& prefix) const
    {
        const auto& entries = form->ListModel()->Entries();
        for (size_t i = 0; i < entries.size(); ++i)
            if (QString::fromStdString(entries[i].name).startsWith(prefix))
                return static_cast<int>(i);
        return 0;
    }

    CKestovarFormView* form;

private:
    FormMode mode_;
    std::unique_ptr<CAppSettings> settings_;
};

FormScreen* Form(QWidget* w)
{
    return static_cast<FormScreen*>(w);
}

QWidget* MakeChooser()
{
    QTemporaryDir& dir = Storage();
    auto* d = new CDlgFolder;
    d->SelectPath(dir.filePath(QStringLiteral("Cases/2017")));
    return d;
}

} // namespace

KESTOVAR_SCREEN_STAGED(
    form_live, [] { return new FormScreen; },
    [](QWidget* w) {
        auto* form = Form(w)->form;
        form->SetFieldText(CKestovarFormView::FileNameField, QStringLiteral("knee"));
        form->SetFieldText(CKestovarFormView::PatientField, QStringLiteral("John Smith"));
        form->SetFieldText(
            CKestovarFormView::CommentField, QStringLiteral("Arthroscopy, left knee.\nMedial meniscus."));
        form->List()->SelectRow(Form(w)->Row(QStringLiteral("170226_140733")));
    });
KESTOVAR_SCREEN_STAGED(
    form_opened_movie, [] { return new FormScreen; },
    [](QWidget* w) {
        FormScreen* s = Form(w);
        const int row = s->Row(QStringLiteral("knee"));
        s->form->List()->SelectRow(row);
        s->form->OpenMediaItem(row);
    });
KESTOVAR_SCREEN_STAGED(
    form_modify, [] { return new FormScreen; },
    [](QWidget* w) {
        FormScreen* s = Form(w);
        const int row = s->Row(QStringLiteral("knee"));
        s->form->OpenMediaItem(row);
        s->form->Modify();
    });
KESTOVAR_SCREEN_STAGED(
    form_recording, [] { return new FormScreen(FormMode::Recording); },
    [](QWidget* w) {
        auto* form = Form(w)->form;
        form->SetFieldText(CKestovarFormView::FileNameField, QStringLiteral("shoulder"));
        form->ApplyModeToForm(FormApply::ByMode);
    });
KESTOVAR_SCREEN_STAGED(
    form_file_name_alert, [] { return new FormScreen; },
    [](QWidget* w) {
        auto* form = Form(w)->form;
        form->FileNameEdit()->SetNotice({});
        form->StartFileNameAlert();
        form->FileNameEdit()->AlertTick();
    });
KESTOVAR_SCREEN_STAGED(
    form_context_menu, [] { return new FormScreen; },
    [](QWidget* w) {
        auto* form = Form(w)->form;
        form->List()->SelectRow(Form(w)->Row(QStringLiteral("shoulder")));
        form->ShowContextMenu(form->mapToGlobal(QPoint(150, 470)));
    });
KESTOVAR_SCREEN_STAGED(
    form_rename, [] { return new FormScreen; },
    [](QWidget* w) {
        auto* form = Form(w)->form;
        form->List()->SelectRow(Form(w)->Row(QStringLiteral("knee")));
        form->BeginRenameSelected();
    });
KESTOVAR_SCREEN(dlg_folder, [] { return MakeChooser(); });
KESTOVAR_SCREEN_STAGED(
    dlg_folder_create, [] { return MakeChooser(); },
    [](QWidget* w) {
        auto* d = static_cast<CDlgFolder*>(w);
        d->CreateNewFolder();
        QDir(CShellTreeCtrl::PathOf(d->Tree()->currentItem())).removeRecursively();
    });

// The form of a station with a worklist server: the band's Worklist button shows.
KESTOVAR_SCREEN_STAGED(
    form_worklist, [] { return new FormScreen; },
    [](QWidget* w) {
        auto* form = Form(w)->form;
        form->SetWorklistAction([] {});
        form->SetFieldText(CKestovarFormView::FileNameField, QStringLiteral("Colonoscopy polyp follow-up"));
        form->SetFieldText(CKestovarFormView::PatientField, QStringLiteral("Jürgen Müller"));
        form->SetFieldText(CKestovarFormView::DoctorField, QStringLiteral("Dr. Gregory House"));
    });
