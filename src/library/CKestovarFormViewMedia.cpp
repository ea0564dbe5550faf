// The media list of the case information form: refresh, thumbnails, opening, delete
// and rename, the context menu.
#include "library/CKestovarFormView.h"

#include "library/CExEdit.h"
#include "library/CListCtrlEx.h"
#include "library/MediaFileOperations.h"
#include "library/MediaItemDelegate.h"
#include "library/MediaLibraryHost.h"
#include "library/MediaListModel.h"
#include "library/ThumbnailLoader.h"
#include "recording/CAppSettings.h"
#include "ui/CGdipButton.h"
#include "ui/CMenuXP.h"

#include <QFileInfo>

namespace kestovar {

CaptureFolders CKestovarFormView::Folders() const
{
    const CAppSettings& settings = host_.Settings();
    return CaptureFolders { settings.GetMoviePath().toStdString(), settings.GetImagePath().toStdString() };
}

QSize CKestovarFormView::ThumbnailPixelSize() const
{
    const qreal ratio = list_->devicePixelRatioF();
    const QSize logical = MediaItemDelegate::kThumbnailSize;
    return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

void CKestovarFormView::RefreshMediaList()
{
    // Nothing of an earlier refresh may land in this one.
    loader_->CancelAll();
    std::vector<MediaEntry> entries = ScanMediaFolders(Folders());
    const QSize pixels = ThumbnailPixelSize();
    std::vector<std::optional<QImage>> known(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        known[i] = cache_.Find(KeyOf(entries[i], pixels));
    model_->Reset(entries, std::move(known));
    for (size_t i = 0; i < entries.size(); ++i) {
        if (model_->StateOf(static_cast<int>(i)) == MediaListModel::ThumbnailState::Pending)
            loader_->Request(i, entries[i], pixels);
    }
    emit MediaListRefreshed();
}

void CKestovarFormView::OnThumbnailReady(quint64 ticket, const ThumbnailKey& key, const QImage& image)
{
    cache_.Insert(key, image);
    const int row = static_cast<int>(ticket);
    if (row < model_->rowCount() && model_->Entry(row).path == key.path)
        model_->SetThumbnail(row, image);
}

void CKestovarFormView::OpenMediaItem(int row)
{
    if (row < 0 || row >= model_->rowCount())
        return;
    // Copied: stopping a recording refreshes the list under us.
    const MediaEntry entry = model_->Entry(row);
    host_.HideNoCameraNotice();
    if (host_.CurrentMode() == FormMode::Recording) {
        if (!Ask(QStringLiteral("Do you want to stop recording?")))
            return;
        host_.StopRecording();
    }
    if (!QFileInfo::exists(QString::fromStdString(entry.path))) {
        Tell(QStringLiteral("\"%1\" is no longer there.").arg(QString::fromStdString(entry.name)));
        RefreshMediaList();
        return;
    }
    host_.PrepareVideoWindowForMedia();
    const QString path = QString::fromStdString(entry.path);
    if (entry.kind == MediaKind::Movie) {
        if (!host_.ShowMovie(path))
            Tell(QStringLiteral("\"%1\" cannot be played.\nIt is damaged, was not completed, or is not a movie.")
                     .arg(QString::fromStdString(entry.name)));
        StopFileNameAlert();
        currentCaseFile_ = QString::fromStdString(CaseInfoFilePath(entry.path));
        SetCaseFields(ReadCaseInfoFile(entry.path, nullptr, &storedCommentChars_));
        shownCase_ = CaseFields();
        shownFor_ = currentCaseFile_;
        modify_->show();
        ApplyModeToForm(FormApply::OpenedMovie);
    } else {
        host_.ShowPicture(path);
        ClearCaseFields();
        ApplyModeToForm(FormApply::ByMode);
    }
    host_.UpdateControlStates();
}

void CKestovarFormView::DeleteSelectedMedia()
{
    const int row = list_->SelectedRow();
    if (row < 0)
        return;
    const MediaEntry entry = model_->Entry(row);
    if (!Ask(QString::fromStdString(DeleteQuestionText(entry.name))) || entry.name.empty())
        return;
    if (entry.kind == MediaKind::Movie)
        host_.ClosePlaybackBeforeDelete(QString::fromStdString(entry.path));
    const FileOpResult result = DeleteMedia(entry.path);
    if (result.outcome == FileOpOutcome::Done)
        host_.MediaDeleted(QString::fromStdString(entry.path));
    if (entry.kind == MediaKind::Movie && currentCaseFile_.toStdString() == CaseInfoFilePath(entry.path)) {
        // Save must not bring back a case file whose movie is gone.
        currentCaseFile_.clear();
    }
    Tell(QString::fromStdString(result.message));
    RefreshMediaList();
}

bool CKestovarFormView::BeginRenameSelected()
{
    return list_->EditSelected();
}

void CKestovarFormView::RenameMedia(const QString& sourcePath, const QString& text)
{
    const std::string source = sourcePath.toStdString();
    const FileOpResult result = kestovar::RenameMedia(source, text.toStdString(), Folders());
    if (!result.refreshList())
        return;
    if (result.outcome == FileOpOutcome::Done && !result.newPath.empty()) {
        const std::string oldCase = CaseInfoFilePath(source);
        if (MediaKindOf(source) == MediaKind::Movie && !currentCaseFile_.isEmpty()
            && (currentCaseFile_.toStdString() == oldCase || currentCaseFile_ == sourcePath)) {
            // The open movie's case file moved: Save follows it, and the field shows
            // the name the file now holds.
            const bool shownHere = shownFor_ == currentCaseFile_;
            currentCaseFile_ = QString::fromStdString(CaseInfoFilePath(result.newPath));
            SetFieldText(FileNameField, text);
            if (shownHere) {
                shownFor_ = currentCaseFile_;
                shownCase_.fileName = CaseFields().fileName;
            }
        }
        host_.MediaRenamed(sourcePath, QString::fromStdString(result.newPath));
    }
    Tell(QString::fromStdString(result.message));
    RefreshMediaList();
    const std::string shown = result.outcome == FileOpOutcome::Done ? result.newPath : source;
    list_->SelectRow(model_->RowOf(shown));
}

void CKestovarFormView::ShowContextMenu(const QPoint& globalPos)
{
    menu_->popup(globalPos);
}

void CKestovarFormView::RunCommand(int command)
{
    if (command == kCommandDelete)
        DeleteSelectedMedia();
    else if (command == kCommandRename)
        BeginRenameSelected();
    else if (command == kCommandSendToPacs)
        SendSelectedToPacs();
}

void CKestovarFormView::SendSelectedToPacs()
{
    const int row = list_->SelectedRow();
    if (row < 0)
        return;
    host_.SendToPacs({ QString::fromStdString(model_->Entry(row).path) }, CaseFields());
}

void CKestovarFormView::SetSendBadgeSource(std::function<int(const QString& path)> source)
{
    model_->SetSendBadgeSource([source = std::move(source)](const QString& path) {
        return static_cast<MediaListModel::SendBadge>(source(path));
    });
}

void CKestovarFormView::SendBadgesChanged()
{
    model_->SendBadgesChanged();
}

} // namespace kestovar
