#pragma once
// The case information form: the right-hand pane of the main window (300 pixels wide).
// Top to bottom: the "Information" band with Worklist, Save / Modify and TextClear, the six case
// fields, the "File Preview" band with DeleteFile, the storage line (free-space
// percentage, storage root, SelectFolder), the media list of thumbnails, and the Movie
// Folder and Image Folder buttons.
//
// The form holds the case fields and the current case file (the target of Save); the
// rest of the station is reached through MediaLibraryHost. Operations other parts call:
//   RefreshMediaList   recording stop, still picture taken, storage folder changed
//   ClearCaseFields    recording stop, the Live action
//   ApplyModeToForm    recording start, roll-over and stop, Live, Play on the transport bar
//   UpdateStorageLabel
//   StartFileNameAlert / StopFileNameAlert   Record Start with an empty File Name
//   CaseFields, SetCurrentCaseFile, FileNameField   recording start and roll-over
//   ChooseStorageFolder   the frame's "Record Storage Path" command
//
// Thumbnails are made on worker threads (ThumbnailLoader) and kept in a cache, so a
// refresh only scans the two folders, fills the list with what is known and returns;
// the list always holds exactly the files found by that scan.
//
// GUI thread only.

#include "library/CaseInfoFile.h"
#include "library/FormMode.h"
#include "library/MediaFolderScan.h"
#include "library/ThumbnailCache.h"
#include "platform/DiskSpace.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QPlainTextEdit;

namespace kestovar {

class CExEdit;
class CFontStatic;
class CGdipButton;
class CListCtrlEx;
class CMenuXP;
class CSkinScrollWnd;
class MediaLibraryHost;
class MediaListModel;
class ThumbnailLoader;

class CKestovarFormView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 300;
    static constexpr QRgb kBackground = 0x464646;
    static constexpr QRgb kBandFace = 0x3A3A3A;
    static constexpr QRgb kBandLight = 0x5C5C5C;
    static constexpr QRgb kBandShadow = 0x272727;
    static constexpr QRgb kPercentColour = 0x5EB7E3;
    static constexpr int kListTop = 405;
    // Context menu commands.
    static constexpr int kCommandDelete = 32807;
    static constexpr int kCommandRename = 32808;
    static constexpr int kCommandSendToPacs = 32850;

    enum CaseField { DateField, FileNameField, DoctorField, PatientField, HospitalField, CommentField };

    explicit CKestovarFormView(MediaLibraryHost& host, QWidget* parent = nullptr);
    ~CKestovarFormView() override;

    // The first display's work (runs once, from the first show or when called):
    // ClearCaseFields, RefreshMediaList, UpdateStorageLabel.
    void InitialUpdate();

    void RefreshMediaList();
    void ClearCaseFields();
    void ApplyModeToForm(FormApply kind);
    void UpdateStorageLabel();

    // The File Name field's alert: "Please enter a file name!", then its border blinks
    // red every 300 ms (timer 1029) until the operator types into the filled field or
    // the fields are cleared. Record Start gives the field the focus afterwards.
    void StartFileNameAlert();
    void StopFileNameAlert();

    // The six fields, in the case file's order.
    CaseInfo CaseFields() const;
    void SetCaseFields(const CaseInfo& info);
    QString FieldText(CaseField field) const;
    void SetFieldText(CaseField field, const QString& text);
    bool FieldEnabled(CaseField field) const;
    CExEdit* FileNameEdit() const { return edits_[FileNameField]; }
    CExEdit* Edit(CaseField field) const { return field == CommentField ? nullptr : edits_[field]; }
    QPlainTextEdit* CommentEdit() const { return comment_; }

    // The target of Save: a movie's path or its case file's path; empty for none.
    QString CurrentCaseFile() const { return currentCaseFile_; }
    void SetCurrentCaseFile(const QString& path) { currentCaseFile_ = path; }

    // Commands of the form's own controls.
    void Save();
    void Modify();
    void OpenMediaItem(int row);
    void DeleteSelectedMedia();
    // Hands the selected capture to the host's PACS queue.
    void SendSelectedToPacs();
    // The list's send badges come from `source`; BadgesChanged repaints them.
    void SetSendBadgeSource(std::function<int(const QString& path)> source);
    void SendBadgesChanged();
    // Opens the selected item's label for editing; the edit's end renames the file.
    bool BeginRenameSelected();
    // The end of an edit: renames the capture at sourcePath to text (its base name).
    void RenameMedia(const QString& sourcePath, const QString& text);
    void OpenMovieFolder();
    void OpenImageFolder();
    void ShowContextMenu(const QPoint& globalPos);
    void RunCommand(int command);

    // SelectFolder: the storage folder chooser, then ApplyStorageRoot with its choice.
    void ChooseStorageFolder();
    // Makes path the storage root (its "movie" and "image" folders are made), saves the
    // settings, repaints, refreshes the list and the percentage. A folder where they
    // cannot be made is refused with a message and the old root stays.
    bool ApplyStorageRoot(const QString& path);

    // The band's Worklist button runs `action` (the frame opens today's worklist); it is
    // shown only while an action is set, and usable while the case texts are editable.
    void SetWorklistAction(std::function<void()> action);

    // Hooks for the parts of the form that talk to the operator or the system.
    struct Prompts {
        std::function<bool(QWidget* parent, const QString& text)> ask; // Yes / No
        std::function<void(QWidget* parent, const QString& text)> tell; // Ok
    };
    void SetPrompts(Prompts prompts);
    void SetFreeSpaceSource(FreeSpaceSource source) { freeSpace_ = std::move(source); }
    // Returns the folder chosen, or empty when cancelled. The default runs CDlgFolder.
    using FolderChooser = std::function<QString(QWidget* parent)>;
    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

    // For the frame and for checks.
    CListCtrlEx* List() const { return list_; }
    MediaListModel* ListModel() const { return model_; }
    ThumbnailLoader* Loader() const { return loader_; }
    ThumbnailCache& Cache() { return cache_; }
    CGdipButton* SaveButton() const { return save_; }
    CGdipButton* ModifyButton() const { return modify_; }
    CGdipButton* TextClearButton() const { return textClear_; }
    CGdipButton* WorklistButton() const { return worklist_; }
    CGdipButton* DeleteFileButton() const { return deleteFile_; }
    CGdipButton* SelectFolderButton() const { return selectFolder_; }
    CGdipButton* MovieFolderButton() const { return movieFolder_; }
    CGdipButton* ImageFolderButton() const { return imageFolder_; }
    CFontStatic* PercentLabel() const { return percent_; }
    CMenuXP* ContextMenu() const { return menu_; }
    QRect StorageBox() const;
    // The storage root as the storage box shows it.
    QString StorageRootText() const;
    CaptureFolders Folders() const;
    // The thumbnail size in device pixels.
    QSize ThumbnailPixelSize() const;

signals:
    // RefreshMediaList finished its scan and filled the list.
    void MediaListRefreshed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void Relayout();
    void ApplyStates(const FormControlStates& states);
    void OnThumbnailReady(quint64 ticket, const ThumbnailKey& key, const QImage& image);
    bool Ask(const QString& text);
    void Tell(const QString& text);
    bool OpenFolder(const QString& path);

    MediaLibraryHost& host_;
    Prompts prompts_;
    FreeSpaceSource freeSpace_;
    FolderChooser chooseFolder_;
    bool initialised_ = false;
    QString currentCaseFile_;
    // The fields as shown when currentCaseFile_ was read (shownFor_): what Save leaves
    // as stored when unchanged. The stored comment's length, before the read limit.
    CaseInfo shownCase_;
    QString shownFor_;
    std::size_t storedCommentChars_ = 0;

    std::array<CFontStatic*, 6> labels_ {};
    std::array<CExEdit*, 5> edits_ {};
    QPlainTextEdit* comment_ = nullptr;
    CSkinScrollWnd* commentFrame_ = nullptr;
    CGdipButton* save_ = nullptr;
    CGdipButton* modify_ = nullptr;
    CGdipButton* textClear_ = nullptr;
    CGdipButton* worklist_ = nullptr;
    std::function<void()> worklistAction_;
    CGdipButton* deleteFile_ = nullptr;
    CFontStatic* storageCaption_ = nullptr;
    CFontStatic* percent_ = nullptr;
    CGdipButton* selectFolder_ = nullptr;
    CListCtrlEx* list_ = nullptr;
    CSkinScrollWnd* listFrame_ = nullptr;
    CGdipButton* movieFolder_ = nullptr;
    CGdipButton* imageFolder_ = nullptr;
    CMenuXP* menu_ = nullptr;

    MediaListModel* model_ = nullptr;
    ThumbnailLoader* loader_ = nullptr;
    ThumbnailCache cache_;
};

} // namespace kestovar
