// The form's controls, look, modes, case fields and storage line. The media list's
// operations are in CKestovarFormViewMedia.cpp.
#include "library/CKestovarFormView.h"

#include "dialogs/CDlgOkCancel.h"
#include "library/CDlgFolder.h"
#include "library/CExEdit.h"
#include "library/CListCtrlEx.h"
#include "library/MediaLibraryHost.h"
#include "library/MediaListModel.h"
#include "library/StorageLabel.h"
#include "library/ThumbnailLoader.h"
#include "recording/CAppSettings.h"
#include "recording/FileNameRules.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/CMenuXP.h"
#include "ui/CSkinScrollWnd.h"
#include "ui/SkinPalette.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPlainTextEdit>

#include <cmath>
#include <ctime>

namespace kestovar {

namespace {

// The form was designed at 172 dialog units across the 300-pixel pane.
constexpr double kScale = 300.0 / 172.0;

QRect FormRect(int x, int y, int w, int h)
{
    auto px = [](int v) { return static_cast<int>(std::lround(v * kScale)); };
    return QRect(px(x), px(y), px(w), px(h));
}

constexpr int kBandHeight = 25;
constexpr int kPreviewBandTop = 345;
constexpr int kStorageBoxLeft = 103;
constexpr int kStorageBoxTop = 379;
constexpr int kStorageBoxRight = 293;
constexpr int kStorageBoxBottom = 399;

bool DefaultAsk(QWidget* parent, const QString& text)
{
    CDlgOkCancel dialog(text, parent);
    dialog.SetTitle(QStringLiteral("Kestovar"));
    return dialog.exec() == QDialog::Accepted;
}

QFont BandFont()
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(9.3);
    return f;
}

QFont StorageFont()
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(7.2);
    return f;
}

void DrawBand(QPainter& p, const QRect& band, const QString& caption)
{
    p.fillRect(band, skin::Colour(CKestovarFormView::kBandFace));
    // A raised frame: light on the upper and left edges, shadow on the others.
    p.setPen(skin::Colour(CKestovarFormView::kBandLight));
    p.drawLine(band.topLeft(), band.topRight());
    p.drawLine(band.topLeft(), band.bottomLeft());
    p.setPen(skin::Colour(CKestovarFormView::kBandShadow));
    p.drawLine(band.bottomLeft(), band.bottomRight());
    p.drawLine(band.topRight(), band.bottomRight());
    p.setFont(BandFont());
    p.setPen(skin::Colour(skin::kText));
    p.drawText(band.adjusted(9, 3, -2, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
}

} // namespace

CKestovarFormView::CKestovarFormView(MediaLibraryHost& host, QWidget* parent)
    : QWidget(parent)
    , host_(host)
    , prompts_ { DefaultAsk, ShowNotice }
    , freeSpace_(StatvfsFreeSpace)
{
    // The chooser opens at the current storage root.
    chooseFolder_ = [this](QWidget* parent) {
        CDlgFolder dialog(parent);
        dialog.SelectPath(host_.Settings().GetRootPath());
        return dialog.exec() == QDialog::Accepted ? dialog.ChosenPath() : QString();
    };
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kWidth, 640);
    setMinimumSize(kWidth, kListTop + 120);
    BuildControls();

    model_ = new MediaListModel(this);
    list_->setModel(model_);
    loader_ = new ThumbnailLoader(this);
    connect(loader_, &ThumbnailLoader::ThumbnailReady, this, &CKestovarFormView::OnThumbnailReady);
    // The rename runs once the editor has closed, never inside the view's commit.
    connect(
        model_, &MediaListModel::RenameRequested, this,
        [this](const QString& path, const QString& text) { RenameMedia(path, text); }, Qt::QueuedConnection);
    connect(list_, &CListCtrlEx::ItemDoubleClicked, this, &CKestovarFormView::OpenMediaItem);
    connect(list_, &CListCtrlEx::ContextMenuWanted, this, &CKestovarFormView::ShowContextMenu);
    connect(list_, &CListCtrlEx::DeleteKeyPressed, this, &CKestovarFormView::DeleteSelectedMedia);
    Relayout();
}

CKestovarFormView::~CKestovarFormView() = default;

void CKestovarFormView::BuildControls()
{
    static const char* const kCaptions[]
        = { "Date", "*File Name", "Doctor Name", "Patient Name", "Hospital Name", "Comment" };
    static const int kLabelY[] = { 23, 39, 55, 73, 91, 107 };
    static const int kEditY[] = { 21, 38, 55, 73, 90 };
    static const char* const kNames[]
        = { "Date", "File Name", "Doctor Name", "Patient Name", "Hospital Name" };
    const QFont fieldFont = skin::SkinFont(QStringLiteral("Arial"), 15);

    for (int i = 0; i < 6; ++i) {
        auto* label = new CFontStatic(QString::fromLatin1(kCaptions[i]), this);
        label->SetFont(QStringLiteral("Arial"), 15, skin::kText, CFontStatic::Left);
        label->SetBackground(kBackground);
        label->setGeometry(QRect(FormRect(5, kLabelY[i], 0, 0).topLeft(), QSize(88, 17)));
        labels_[static_cast<size_t>(i)] = label;
    }
    for (int i = 0; i < 5; ++i) {
        auto* edit = new CExEdit(this);
        edit->setObjectName(QString::fromLatin1(kNames[i]));
        edit->setAccessibleName(QString::fromLatin1(kNames[i]));
        edit->setFont(fieldFont);
        edit->setGeometry(FormRect(57, kEditY[i], 108, 12));
        edit->SetNotice([this](QWidget*, const QString& text) { Tell(text); });
        edits_[static_cast<size_t>(i)] = edit;
    }
    edits_[DateField]->setEnabled(false);
    edits_[FileNameField]->SetFileNameMode(true);

    comment_ = new QPlainTextEdit(this);
    comment_->setObjectName(QStringLiteral("Comment"));
    comment_->setAccessibleName(QStringLiteral("Comment"));
    comment_->setFont(fieldFont);
    comment_->setTabChangesFocus(true);
    comment_->setFrameShape(QFrame::NoFrame); // the form draws the field's border
    comment_->setGeometry(FormRect(6, 118, 158, 71).adjusted(1, 1, -1, -1));
    {
        QPalette p = comment_->palette();
        p.setColor(QPalette::Base, skin::Colour(CExEdit::kFace));
        p.setColor(QPalette::Text, skin::Colour(skin::kText));
        p.setColor(QPalette::Disabled, QPalette::Base, skin::Colour(CExEdit::kFace));
        p.setColor(QPalette::Disabled, QPalette::Text, skin::Colour(0xB4B4B4));
        comment_->setPalette(p);
    }
    commentFrame_ = new CSkinScrollWnd(this);
    commentFrame_->Attach(comment_, QStringLiteral("scrollbar_grid"));

    auto makeButton = [this](const char* role, const char* caption, const char* name) {
        auto* b = new CGdipButton(this);
        b->LoadStdImage(QString::fromLatin1(role));
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(QString::fromLatin1(name));
        b->SetToolTipText(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::TabFocus);
        if (caption)
            b->SetCaption(QString::fromLatin1(caption));
        return b;
    };
    save_ = makeButton("form_save", nullptr, "Save");
    modify_ = makeButton("form_modify", nullptr, "Modify");
    textClear_ = makeButton("form_text_clear", nullptr, "TextClear");
    worklist_ = makeButton("form_worklist", nullptr, "Worklist");
    deleteFile_ = makeButton("form_delete_file", nullptr, "DeleteFile");
    selectFolder_ = makeButton("form_select_folder", nullptr, "SelectFolder");
    movieFolder_ = makeButton("form_folder_button", "MovieFolder", "Movie Folder");
    imageFolder_ = makeButton("form_folder_button", "ImageFolder", "Image Folder");
    for (CGdipButton* b : { movieFolder_, imageFolder_ }) {
        b->LoadIconImage(QStringLiteral("form_folder_icon"));
        b->setFont(skin::SkinFont(QStringLiteral("Arial"), 14));
    }
    save_->move(FormRect(144, 3, 13, 14).topLeft());
    modify_->move(FormRect(144, 3, 13, 14).topLeft());
    textClear_->move(FormRect(157, 3, 13, 14).topLeft());
    worklist_->move(FormRect(131, 3, 13, 14).topLeft());
    worklist_->hide();
    deleteFile_->move(QPoint(FormRect(158, 200, 11, 14).x(), kPreviewBandTop + 1));
    selectFolder_->move(FormRect(159, 217, 11, 13).topLeft());
    save_->hide();
    modify_->hide();

    connect(save_, &QPushButton::clicked, this, &CKestovarFormView::Save);
    connect(modify_, &QPushButton::clicked, this, &CKestovarFormView::Modify);
    connect(textClear_, &QPushButton::clicked, this, &CKestovarFormView::ClearCaseFields);
    connect(worklist_, &QPushButton::clicked, this, [this] {
        if (worklistAction_)
            worklistAction_();
    });
    connect(deleteFile_, &QPushButton::clicked, this, &CKestovarFormView::DeleteSelectedMedia);
    connect(selectFolder_, &QPushButton::clicked, this, &CKestovarFormView::ChooseStorageFolder);
    connect(movieFolder_, &QPushButton::clicked, this, &CKestovarFormView::OpenMovieFolder);
    connect(imageFolder_, &QPushButton::clicked, this, &CKestovarFormView::OpenImageFolder);

    storageCaption_ = new CFontStatic(QStringLiteral("Storage"), this);
    storageCaption_->SetFont(QStringLiteral("Arial"), 15, skin::kText, CFontStatic::Left);
    storageCaption_->setGeometry(QRect(FormRect(6, 218, 0, 0).topLeft() + QPoint(0, -1), QSize(52, 17)));
    percent_ = new CFontStatic(QStringLiteral("80%"), this);
    percent_->SetFont(QStringLiteral("Arial"), 15, kPercentColour, CFontStatic::Left);
    percent_->setGeometry(
        QRect(FormRect(39, 218, 0, 0).topLeft() + QPoint(0, -1), QSize(kStorageBoxLeft - 69, 17)));

    list_ = new CListCtrlEx(this);
    list_->setObjectName(QStringLiteral("MediaList"));
    listFrame_ = new CSkinScrollWnd(this);
    listFrame_->Attach(list_, QStringLiteral("scrollbar_grid"));

    menu_ = new CMenuXP(this);
    menu_->SetColours(0x464646, 0x636363, skin::kText, skin::kText, skin::kGreyedText);
    menu_->SetMenuFont(QStringLiteral("Arial"), 15);
    menu_->AppendItem(kCommandDelete, QStringLiteral("Delete"));
    menu_->AppendItem(kCommandRename, QStringLiteral("Rename"));
    menu_->AppendItem(kCommandSendToPacs, QStringLiteral("Send to PACS"));
    connect(menu_, &CMenuXP::CommandTriggered, this, &CKestovarFormView::RunCommand);
}

void CKestovarFormView::Relayout()
{
    const int buttonsTop = height() - movieFolder_->height();
    movieFolder_->move(0, buttonsTop);
    imageFolder_->move(movieFolder_->width() + 2, buttonsTop);
    listFrame_->setGeometry(0, kListTop, width(), std::max(0, buttonsTop - kListTop));
}

void CKestovarFormView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Relayout();
    update();
}

void CKestovarFormView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    InitialUpdate();
}

void CKestovarFormView::InitialUpdate()
{
    if (initialised_)
        return;
    initialised_ = true;
    ClearCaseFields();
    RefreshMediaList();
    UpdateStorageLabel();
}

QRect CKestovarFormView::StorageBox() const
{
    const int right = std::min(kStorageBoxRight, selectFolder_->x() - 2);
    return QRect(QPoint(kStorageBoxLeft, kStorageBoxTop), QPoint(right - 1, kStorageBoxBottom - 1));
}

QString CKestovarFormView::StorageRootText() const
{
    const QRect box = StorageBox();
    return ElidePath(host_.Settings().GetRootPath(), QFontMetrics(StorageFont()), box.width() - 9);
}

void CKestovarFormView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::Colour(kBackground));
    DrawBand(p, QRect(0, 0, width(), kBandHeight), QStringLiteral("Information"));
    DrawBand(p, QRect(0, kPreviewBandTop, width(), kBandHeight), QStringLiteral("File Preview"));
    p.setPen(skin::Colour(CExEdit::kBorder));
    p.drawRect(commentFrame_->geometry().adjusted(-1, -1, 0, 0));
    const QRect box = StorageBox();
    p.fillRect(box, skin::Colour(kBandFace));
    p.setFont(StorageFont());
    p.setPen(skin::Colour(skin::kText));
    p.drawText(
        box.adjusted(7, 2, -2, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, StorageRootText());
}

// --- case fields ------------------------------------------------------------------------

QString CKestovarFormView::FieldText(CaseField field) const
{
    return field == CommentField ? comment_->toPlainText() : edits_[field]->text();
}

void CKestovarFormView::SetFieldText(CaseField field, const QString& text)
{
    if (field == CommentField)
        comment_->setPlainText(text);
    else
        edits_[field]->setText(text);
}

bool CKestovarFormView::FieldEnabled(CaseField field) const
{
    return field == CommentField ? comment_->isEnabled() : edits_[field]->isEnabled();
}

CaseInfo CKestovarFormView::CaseFields() const
{
    CaseInfo info;
    info.date = FieldText(DateField).toStdString();
    info.fileName = FieldText(FileNameField).toStdString();
    info.doctorName = FieldText(DoctorField).toStdString();
    info.patientName = FieldText(PatientField).toStdString();
    info.hospitalName = FieldText(HospitalField).toStdString();
    info.comment = FieldText(CommentField).toStdString();
    return info;
}

void CKestovarFormView::SetCaseFields(const CaseInfo& info)
{
    SetFieldText(DateField, QString::fromStdString(info.date));
    SetFieldText(FileNameField, QString::fromStdString(info.fileName));
    SetFieldText(DoctorField, QString::fromStdString(info.doctorName));
    SetFieldText(PatientField, QString::fromStdString(info.patientName));
    SetFieldText(HospitalField, QString::fromStdString(info.hospitalName));
    SetFieldText(CommentField, QString::fromStdString(info.comment));
}

void CKestovarFormView::StartFileNameAlert()
{
    edits_[FileNameField]->StartAlert(
        QString::fromUtf8(kEmptyFileNameMessage.data(), kEmptyFileNameMessage.size()));
}

void CKestovarFormView::StopFileNameAlert()
{
    edits_[FileNameField]->StopAlert();
}

void CKestovarFormView::ClearCaseFields()
{
    StopFileNameAlert();
    SetFieldText(DateField, QString::fromStdString(CaseDateText(std::time(nullptr))));
    if (ClearEmptiesCaseTexts(host_.CurrentMode())) {
        for (CaseField f : { FileNameField, DoctorField, PatientField, HospitalField, CommentField })
            SetFieldText(f, QString());
    }
    CAppSettings& settings = host_.Settings();
    if (const QString doctor = settings.GetDoctorName(); !doctor.isEmpty())
        SetFieldText(DoctorField, doctor);
    if (const QString hospital = settings.GetHospitalName(); !hospital.isEmpty())
        SetFieldText(HospitalField, hospital);
    modify_->hide();
    save_->hide();
}

void CKestovarFormView::ApplyStates(const FormControlStates& s)
{
    edits_[DateField]->setEnabled(s.dateEnabled);
    edits_[FileNameField]->setEnabled(s.fileNameEnabled);
    for (CaseField f : { DoctorField, PatientField, HospitalField })
        edits_[f]->setEnabled(s.caseTextsEnabled);
    comment_->setEnabled(s.caseTextsEnabled);
    textClear_->setEnabled(s.textClearEnabled);
    worklist_->setEnabled(s.caseTextsEnabled);
    selectFolder_->setEnabled(s.selectFolderEnabled);
    modify_->setVisible(s.modifyShown);
    save_->setVisible(s.saveShown);
}

void CKestovarFormView::SetWorklistAction(std::function<void()> action)
{
    worklistAction_ = std::move(action);
    worklist_->setVisible(bool(worklistAction_));
}

void CKestovarFormView::ApplyModeToForm(FormApply kind)
{
    ApplyStates(ControlStatesFor(kind, host_.CurrentMode()));
}

void CKestovarFormView::Modify()
{
    ApplyStates(ModifyControlStates());
}

void CKestovarFormView::Save()
{
    if (SaveWritesCaseFile(host_.CurrentMode())) {
        modify_->hide();
        save_->hide();
        if (!currentCaseFile_.isEmpty()) {
            CaseInfo fields = CaseFields();
            const bool shown = shownFor_ == currentCaseFile_;
            if (shown && fields.comment != shownCase_.comment && storedCommentChars_ > kCaseCommentMaxChars
                && !Ask(QStringLiteral("The stored comment is longer than the form shows (%1 characters; the form "
                                       "shows the first %2).\nSaving will shorten it.\n\nSave the shortened "
                                       "comment? Cancel keeps the stored comment whole.")
                            .arg(storedCommentChars_)
                            .arg(kCaseCommentMaxChars))) {
                fields.comment = shownCase_.comment;
                SetFieldText(CommentField, QString::fromStdString(fields.comment));
            }
            const CaseFileResult written
                = WriteCaseInfoFile(currentCaseFile_.toStdString(), fields, shown ? &shownCase_ : nullptr);
            if (written.ok && shown) {
                if (fields.comment != shownCase_.comment)
                    storedCommentChars_ = static_cast<std::size_t>(FieldText(CommentField).toUcs4().size());
                shownCase_ = CaseFields();
            }
            if (!written.ok)
                Tell(QString::fromStdString(written.message));
            else if (!written.keptAsidePath.empty())
                // What could not be read is never thrown away: say where it went.
                Tell(QStringLiteral(
                    "The case information file was damaged. It was kept as \"%1\" and a new one "
                    "was written.")
                         .arg(QFileInfo(QString::fromStdString(written.keptAsidePath)).fileName()));
        }
    }
    ApplyModeToForm(FormApply::ByMode);
}

// --- storage line -----------------------------------------------------------------------

void CKestovarFormView::UpdateStorageLabel()
{
    if (!freeSpace_)
        return;
    const std::optional<DiskSpaceInfo> space = freeSpace_(host_.Settings().GetRootPath().toStdString());
    if (!space)
        return; // the volume cannot be asked: keep what the label shows
    percent_->setText(FreeSpacePercentText(FreeSpacePercent(*space)));
    update(StorageBox());
}

void CKestovarFormView::ChooseStorageFolder()
{
    const QString chosen = chooseFolder_ ? chooseFolder_(this) : QString();
    if (chosen.isEmpty())
        return;
    ApplyStorageRoot(chosen);
}

bool CKestovarFormView::ApplyStorageRoot(const QString& path)
{
    CAppSettings& settings = host_.Settings();
    const QString previous = settings.GetRootPath();
    settings.SetRootPath(path);
    const QFileInfo movie(settings.GetMoviePath());
    const QFileInfo image(settings.GetImagePath());
    const bool usable = movie.isDir() && movie.isWritable() && image.isDir() && image.isWritable();
    if (!usable) {
        // A root where no capture could be stored would only fail later, at Record.
        if (!previous.isEmpty())
            settings.SetRootPath(previous);
        settings.SaveSettings();
        Tell(QStringLiteral("Captures cannot be stored in \"%1\".\nPlease choose a folder you can write to.")
                 .arg(path));
        return false;
    }
    settings.SaveSettings();
    host_.StorageRootChanged();
    update();
    RefreshMediaList();
    UpdateStorageLabel();
    return true;
}

bool CKestovarFormView::OpenFolder(const QString& path)
{
    if (host_.OpenFolder(path))
        return true;
    Tell(QStringLiteral("The folder \"%1\" could not be opened.").arg(path));
    return false;
}

void CKestovarFormView::OpenMovieFolder()
{
    OpenFolder(host_.Settings().GetMoviePath());
}

void CKestovarFormView::OpenImageFolder()
{
    OpenFolder(host_.Settings().GetImagePath());
}

// --- talking to the operator ----------------------------------------------------------

void CKestovarFormView::SetPrompts(Prompts prompts)
{
    prompts_ = std::move(prompts);
}

bool CKestovarFormView::Ask(const QString& text)
{
    return prompts_.ask && prompts_.ask(window(), text);
}

void CKestovarFormView::Tell(const QString& text)
{
    if (prompts_.tell && !text.isEmpty())
        prompts_.tell(window(), text);
}

} // namespace kestovar
