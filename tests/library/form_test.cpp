// The case information form with its media list, on temporary storage folders and a
// fake frame: what is listed, opening, delete and rename with their questions, the
// File Name filter and alert, the modes, and the storage line.

#include "dialogs/CDlgOkCancel.h"
#include "library/CExEdit.h"
#include "library/CKestovarFormView.h"
#include "library/CListCtrlEx.h"
#include "library/MediaListModel.h"
#include "library/ThumbnailLoader.h"
#include "recording/FileNameRules.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/CMenuXP.h"

#include "FakeMediaHost.h"
#include "LibraryFixtures.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

namespace kestovar {
namespace {

namespace fs = std::filesystem;
using test::FakeMediaHost;
using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

constexpr uint64_t GiB = 1ULL << 30;

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KESTOVAR_REGISTRY_DIR", (dir.str() + "/registry").c_str());
        fs::create_directories(dir / "program");
        fs::create_directories(dir / "store");
        settings = std::make_unique<CAppSettings>(Q(dir / "program"));
        settings->SetRootPath(Q(dir / "store"));
        host = std::make_unique<FakeMediaHost>(*settings);
        form = std::make_unique<CKestovarFormView>(*host);
        host->form = form.get();
        form->SetPrompts({
            [this](QWidget*, const QString& text) {
                asked.push_back(text.toStdString());
                if (answers.empty())
                    return false;
                const bool yes = answers.front();
                answers.pop_front();
                return yes;
            },
            [this](QWidget*, const QString& text) { told.push_back(text.toStdString()); },
        });
        form->SetFreeSpaceSource([this](const std::string&) { return space; });
    }
    void TearDown() override
    {
        form.reset();
        host.reset();
        settings.reset();
        qunsetenv("KESTOVAR_REGISTRY_DIR");
    }

    fs::path Movie(const std::string& name) const { return dir / "store" / "movie" / name; }
    fs::path Picture(const std::string& name) const { return dir / "store" / "image" / name; }
    void AddMovie(const std::string& name,
        const CaseInfo& info = { "2017-02-26", "Smith", "Dr. Adams", "John", "General", "first\nsecond" })
    {
        const std::string sample = test::SampleMovie();
        ASSERT_FALSE(sample.empty());
        ASSERT_TRUE(test::CopyFile(sample, Movie(name)));
        ASSERT_TRUE(WriteCaseInfoFile(Movie(name).string(), info).ok);
    }
    void AddPicture(const std::string& name)
    {
        ASSERT_TRUE(test::WritePicture(Picture(name), QSize(320, 240), Qt::darkCyan));
    }

    std::vector<std::string> Labels() const
    {
        std::vector<std::string> labels;
        for (const MediaEntry& e : form->ListModel()->Entries())
            labels.push_back(e.name);
        return labels;
    }
    int Row(const std::string& name) const
    {
        const auto& entries = form->ListModel()->Entries();
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].name == name)
                return static_cast<int>(i);
        return -1;
    }
    void Select(const std::string& name)
    {
        const int row = Row(name);
        ASSERT_GE(row, 0) << name << " is not listed";
        form->List()->SelectRow(row);
    }
    QLineEdit* RenameEditor() const { return form->List()->viewport()->findChild<QLineEdit*>(); }
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    TempDir dir;
    std::unique_ptr<CAppSettings> settings;
    std::unique_ptr<FakeMediaHost> host;
    std::unique_ptr<CKestovarFormView> form;
    std::deque<bool> answers;
    std::vector<std::string> asked;
    std::vector<std::string> told;
    std::optional<DiskSpaceInfo> space = DiskSpaceInfo { 100 * GiB, 200 * GiB };
};

// --- what is listed ---------------------------------------------------------------------

TEST_F(FormTest, EmptyFoldersGiveAnEmptyList)
{
    form->InitialUpdate();
    EXPECT_EQ(form->ListModel()->rowCount(), 0);
    EXPECT_EQ(form->Loader()->Pending(), 0);
}

TEST_F(FormTest, PicturesOfThePictureFolderAreListedBeforeMoviesOfTheMovieFolder)
{
    AddPicture("a.jpg");
    ASSERT_TRUE(WriteFileText(Picture("b.avi"), "a movie in the wrong folder"));
    ASSERT_TRUE(WriteFileText(Picture("c.txt"), "notes"));
    AddMovie("d.avi");
    form->InitialUpdate();
    EXPECT_EQ(Labels(), (std::vector<std::string> { "a.jpg", "d.avi" }));
}

TEST_F(FormTest, AnUpperCasePictureIsListedAndOpenedFromThePictureFolder)
{
    AddPicture("X.JPG");
    form->InitialUpdate();
    ASSERT_EQ(Labels(), (std::vector<std::string> { "X.JPG" }));
    form->SetFieldText(CKestovarFormView::FileNameField, QStringLiteral("left over"));
    form->OpenMediaItem(0);
    EXPECT_TRUE(host->Called("ShowPicture " + Picture("X.JPG").string()));
    // A picture has no case information: the fields are cleared for a new capture.
    EXPECT_EQ(form->FieldText(CKestovarFormView::FileNameField), QString());
    EXPECT_FALSE(form->ModifyButton()->isVisibleTo(form.get()));
    EXPECT_TRUE(form->FieldEnabled(CKestovarFormView::FileNameField));
}

TEST_F(FormTest, EveryRefreshShowsExactlyWhatIsOnDisk)
{
    AddMovie("one.avi");
    AddMovie("two.avi");
    form->InitialUpdate();
    ASSERT_EQ(Labels().size(), 2u);
    fs::remove(Movie("one.avi"));
    AddPicture("new.jpg");
    EXPECT_EQ(Labels().size(), 2u); // not watched: only a refresh looks again
    form->RefreshMediaList();
    EXPECT_EQ(Labels(), (std::vector<std::string> { "new.jpg", "two.avi" }));
}

TEST_F(FormTest, ThumbnailsArriveAndASecondRefreshNeedsNoneMade)
{
    AddMovie("m1.avi");
    AddMovie("m2.avi");
    AddPicture("p1.jpg");
    form->InitialUpdate();
    ASSERT_TRUE(form->Loader()->WaitForIdle(60000));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(form->ListModel()->StateOf(row), MediaListModel::ThumbnailState::Ready) << row;
    const QImage thumb
        = form->ListModel()->data(form->ListModel()->index(0), MediaListModel::ThumbnailRole).value<QImage>();
    EXPECT_EQ(thumb.size(), form->ThumbnailPixelSize());

    form->RefreshMediaList();
    EXPECT_EQ(form->ListModel()->PendingCount(), 0);
    EXPECT_EQ(form->Loader()->Pending(), 0);

    // A file written again gets a new thumbnail; the others stay as they were.
    AddPicture("p1.jpg");
    fs::last_write_time(Picture("p1.jpg"), fs::last_write_time(Picture("p1.jpg")) + std::chrono::seconds(5));
    form->RefreshMediaList();
    EXPECT_EQ(form->ListModel()->PendingCount(), 1);
    EXPECT_EQ(form->ListModel()->StateOf(Row("p1.jpg")), MediaListModel::ThumbnailState::Pending);
    ASSERT_TRUE(form->Loader()->WaitForIdle(60000));
    EXPECT_EQ(form->ListModel()->PendingCount(), 0);
}

TEST_F(FormTest, DamagedAndHostileFilesAreListedAndOpenQuietly)
{
    AddMovie("good.avi");
    const std::string sample = test::SampleMovie();
    ASSERT_TRUE(test::WriteTruncatedCopy(sample, Movie("truncated.avi"), fs::file_size(sample) / 2));
    ASSERT_TRUE(WriteFileText(Movie("empty.avi"), ""));
    ASSERT_TRUE(WriteFileText(Picture("note.jpg"), "This is a text file.\n"));
    ASSERT_TRUE(test::WriteGreyJpeg(Picture("huge.jpg"), 20000, 20000));
    ASSERT_TRUE(test::WriteJpegWithClaimedSize(Picture("claims.jpg"), 60000, 60000));
    form->InitialUpdate();
    ASSERT_EQ(Labels().size(), 6u);
    ASSERT_TRUE(form->Loader()->WaitForIdle(120000));
    using State = MediaListModel::ThumbnailState;
    EXPECT_EQ(form->ListModel()->StateOf(Row("good.avi")), State::Ready);
    EXPECT_EQ(form->ListModel()->StateOf(Row("huge.jpg")), State::Ready);
    EXPECT_EQ(form->ListModel()->StateOf(Row("empty.avi")), State::Missing);
    EXPECT_EQ(form->ListModel()->StateOf(Row("note.jpg")), State::Missing);
    EXPECT_EQ(form->ListModel()->StateOf(Row("claims.jpg")), State::Missing);
    EXPECT_NE(form->ListModel()->StateOf(Row("truncated.avi")), State::Pending);

    // A movie without a case file opens with empty fields, ready to be filled in.
    form->OpenMediaItem(Row("empty.avi"));
    EXPECT_TRUE(host->Called("ShowMovie " + Movie("empty.avi").string()));
    EXPECT_EQ(form->CaseFields(), CaseInfo {});
    EXPECT_TRUE(form->ModifyButton()->isVisibleTo(form.get()));
    for (const char* name : { "truncated.avi", "note.jpg", "huge.jpg", "claims.jpg" })
        form->OpenMediaItem(Row(name));
    EXPECT_TRUE(told.empty());
    // A movie that cannot be played is told, by name; its case information is shown.
    host->movieOpens = false;
    form->OpenMediaItem(Row("good.avi"));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("\"good.avi\" cannot be played.", 0), 0u) << told[0];
    EXPECT_EQ(form->CaseFields().fileName, "Smith");
    // Drawing the list with every kind of item in it.
    form->show();
    EXPECT_FALSE(form->grab().isNull());
}

// --- opening ----------------------------------------------------------------------------

TEST_F(FormTest, OpeningAMovieShowsItAndItsCaseInformationLocked)
{
    const CaseInfo info { "2017-02-26", "Smith", "Dr. Adams", "John", "General", "first\nsecond" };
    AddMovie("Smith_170226_101530.avi", info);
    form->InitialUpdate();
    host->calls.clear();
    form->OpenMediaItem(0);
    EXPECT_EQ(host->calls,
        (std::vector<std::string> { "HideNoCameraNotice", "PrepareVideoWindowForMedia",
            "ShowMovie " + Movie("Smith_170226_101530.avi").string(), "UpdateControlStates" }));
    EXPECT_EQ(form->CaseFields(), info);
    EXPECT_EQ(form->CurrentCaseFile(), Q(Movie("Smith_170226_101530.ini")));
    EXPECT_TRUE(form->ModifyButton()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->SaveButton()->isVisibleTo(form.get()));
    for (auto f : { CKestovarFormView::DateField, CKestovarFormView::FileNameField,
             CKestovarFormView::DoctorField, CKestovarFormView::PatientField,
             CKestovarFormView::HospitalField, CKestovarFormView::CommentField })
        EXPECT_FALSE(form->FieldEnabled(f)) << f;
    EXPECT_TRUE(form->TextClearButton()->isEnabled());
    EXPECT_TRUE(form->SelectFolderButton()->isEnabled());
}

TEST_F(FormTest, OpeningWhileRecordingAsksFirst)
{
    AddMovie("a.avi");
    form->InitialUpdate();
    host->mode = FormMode::Recording;
    host->calls.clear();
    answers = { false };
    form->OpenMediaItem(0);
    EXPECT_EQ(asked, (std::vector<std::string> { "Do you want to stop recording?" }));
    EXPECT_EQ(host->calls, (std::vector<std::string> { "HideNoCameraNotice" }));
    EXPECT_EQ(host->mode, FormMode::Recording);

    answers = { true };
    form->OpenMediaItem(0);
    ASSERT_GE(host->IndexOf("StopRecording"), 0);
    EXPECT_LT(host->IndexOf("StopRecording"), host->IndexOf("ShowMovie " + Movie("a.avi").string()));
}

TEST_F(FormTest, DoubleClickOpensAnItemAndEmptySpaceDoesNothing)
{
    AddMovie("a.avi");
    form->show();
    ASSERT_EQ(Labels().size(), 1u);
    QWidget* viewport = form->List()->viewport();
    host->calls.clear();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 4, viewport->height() - 4));
    EXPECT_TRUE(host->calls.empty());
    const QRect item = form->List()->visualRect(form->ListModel()->index(0));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, item.center());
    EXPECT_TRUE(host->Called("ShowMovie " + Movie("a.avi").string()));
}

// --- delete -----------------------------------------------------------------------------

TEST_F(FormTest, DeletingThePlayingMovieClosesPlaybackFirstAndTakesItsCaseFile)
{
    AddMovie("knee_170226_101530.avi");
    AddMovie("other.avi");
    form->InitialUpdate();
    form->OpenMediaItem(Row("knee_170226_101530.avi"));
    host->mode = FormMode::Playing;
    Select("knee_170226_101530.avi");
    answers = { true };
    form->DeleteSelectedMedia();
    EXPECT_EQ(asked, (std::vector<std::string> { "Do you want to delete \"knee_170226_101530.avi\"?" }));
    EXPECT_TRUE(host->Called("ClosePlayback " + Movie("knee_170226_101530.avi").string() + " (present)"));
    EXPECT_FALSE(fs::exists(Movie("knee_170226_101530.avi")));
    EXPECT_FALSE(fs::exists(Movie("knee_170226_101530.ini")));
    EXPECT_TRUE(fs::exists(Movie("other.ini")));
    EXPECT_EQ(Labels(), (std::vector<std::string> { "other.avi" }));
    EXPECT_TRUE(told.empty());
    // Save cannot bring the deleted movie's case file back.
    EXPECT_EQ(form->CurrentCaseFile(), QString());
    host->mode = FormMode::PlaybackPaused;
    form->Save();
    EXPECT_FALSE(fs::exists(Movie("knee_170226_101530.ini")));
}

TEST_F(FormTest, DeleteAsksOnlyWithASelectionAndNoChangesNothing)
{
    AddMovie("a.avi");
    form->InitialUpdate();
    QSignalSpy refreshed(form.get(), &CKestovarFormView::MediaListRefreshed);
    form->DeleteSelectedMedia();
    EXPECT_TRUE(asked.empty());
    Select("a.avi");
    answers = { false };
    form->DeleteSelectedMedia();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(fs::exists(Movie("a.avi")));
    EXPECT_EQ(refreshed.count(), 0);
    EXPECT_FALSE(host->Called("ClosePlayback " + Movie("a.avi").string() + " (present)"));
}

TEST_F(FormTest, DeletingAPictureTouchesNothingElse)
{
    AddPicture("Shot.JPG");
    ASSERT_TRUE(WriteFileText(Picture("Shot.ini"), "[Kestovar]\n"));
    form->InitialUpdate();
    Select("Shot.JPG");
    answers = { true };
    form->DeleteSelectedMedia();
    EXPECT_FALSE(fs::exists(Picture("Shot.JPG")));
    EXPECT_TRUE(fs::exists(Picture("Shot.ini")));
    for (const std::string& call : host->calls)
        EXPECT_EQ(call.rfind("ClosePlayback", 0), std::string::npos) << call;
    EXPECT_TRUE(Labels().empty());
}

TEST_F(FormTest, AFailedDeleteIsToldAndTheListShowsTheOutcome)
{
    AddMovie("stuck.avi");
    form->InitialUpdate();
    Select("stuck.avi");
    // Something else puts a non-empty folder where the movie was listed.
    fs::remove(Movie("stuck.avi"));
    fs::create_directories(Movie("stuck.avi") / "inside");
    answers = { true };
    form->DeleteSelectedMedia();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("Could not delete \"stuck.avi\""), std::string::npos) << told[0];
    EXPECT_TRUE(fs::exists(Movie("stuck.avi") / "inside"));
    EXPECT_TRUE(Labels().empty());
}

// --- rename -----------------------------------------------------------------------------

TEST_F(FormTest, RenameStartsWithTheNameWithoutItsExtensionAndMovesTheCaseFile)
{
    AddMovie("Smith.Jones_170226_101530.avi");
    form->show();
    Select("Smith.Jones_170226_101530.avi");
    ASSERT_TRUE(form->BeginRenameSelected());
    QLineEdit* editor = RenameEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("Smith.Jones_170226_101530"));
    EXPECT_EQ(editor->cursorPosition(), editor->text().size());
    editor->setText(QStringLiteral("Knee"));
    // The thumbnail lands while the operator types: what was typed stays.
    form->ListModel()->SetThumbnail(0, QImage(8, 8, QImage::Format_RGB32));
    EXPECT_EQ(editor->text(), QStringLiteral("Knee"));
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_FALSE(fs::exists(Movie("Smith.Jones_170226_101530.avi")));
    EXPECT_FALSE(fs::exists(Movie("Smith.Jones_170226_101530.ini")));
    ASSERT_TRUE(fs::exists(Movie("Knee.avi")));
    const CaseInfo moved = ReadCaseInfoFile(Movie("Knee.avi").string());
    EXPECT_EQ(moved.fileName, "Knee");
    EXPECT_EQ(moved.doctorName, "Dr. Adams");
    EXPECT_EQ(Labels(), (std::vector<std::string> { "Knee.avi" }));
    EXPECT_EQ(form->List()->SelectedRow(), 0);
    EXPECT_TRUE(host->Called("MediaRenamed " + Movie("Smith.Jones_170226_101530.avi").string() + " -> "
        + Movie("Knee.avi").string()));
}

TEST_F(FormTest, EscapeOrAnEmptyTextRenamesNothing)
{
    AddMovie("a.avi");
    form->show();
    QSignalSpy refreshed(form.get(), &CKestovarFormView::MediaListRefreshed);
    Select("a.avi");
    ASSERT_TRUE(form->BeginRenameSelected());
    RenameEditor()->setText(QStringLiteral("b"));
    QTest::keyClick(RenameEditor(), Qt::Key_Escape);
    Settle();
    form->RenameMedia(Q(Movie("a.avi")), QString());
    Settle();
    EXPECT_TRUE(fs::exists(Movie("a.avi")));
    EXPECT_FALSE(fs::exists(Movie("b.avi")));
    EXPECT_EQ(refreshed.count(), 0);
}

TEST_F(FormTest, RenameRefusesNamesThatLeaveTheFolderOrReplaceAFile)
{
    AddMovie("a.avi");
    AddMovie("taken.avi");
    form->InitialUpdate();
    const auto before = fs::file_size(Movie("a.avi"));
    for (const char* text : { "../escaped", "sub/dir", "two\nlines", "taken" }) {
        told.clear();
        form->RenameMedia(Q(Movie("a.avi")), QString::fromUtf8(text));
        EXPECT_EQ(told.size(), 1u) << text;
        EXPECT_TRUE(fs::exists(Movie("a.avi"))) << text;
    }
    EXPECT_FALSE(fs::exists(dir / "store" / "escaped.avi"));
    EXPECT_EQ(fs::file_size(Movie("taken.avi")), before); // untouched, not replaced
    EXPECT_EQ(ReadCaseInfoFile(Movie("taken.avi").string()).fileName, "Smith");
}

TEST_F(FormTest, RenameToTheSameNameInAnotherCaseOnlyRefreshes)
{
    AddMovie("knee.avi");
    form->InitialUpdate();
    QSignalSpy refreshed(form.get(), &CKestovarFormView::MediaListRefreshed);
    form->RenameMedia(Q(Movie("knee.avi")), QStringLiteral("KNEE"));
    EXPECT_TRUE(fs::exists(Movie("knee.avi")));
    EXPECT_FALSE(fs::exists(Movie("KNEE.avi")));
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_TRUE(told.empty());
}

TEST_F(FormTest, SaveFollowsTheOpenMovieWhenItIsRenamed)
{
    AddMovie("old.avi");
    form->InitialUpdate();
    form->OpenMediaItem(0);
    form->RenameMedia(Q(Movie("old.avi")), QStringLiteral("Knee"));
    EXPECT_EQ(form->CurrentCaseFile(), Q(Movie("Knee.ini")));
    EXPECT_EQ(form->FieldText(CKestovarFormView::FileNameField), QStringLiteral("Knee"));
    form->Modify();
    form->SetFieldText(CKestovarFormView::PatientField, QStringLiteral("Jane"));
    form->Save();
    EXPECT_FALSE(fs::exists(Movie("old.ini")));
    EXPECT_EQ(ReadCaseInfoFile(Movie("Knee.avi").string()).patientName, "Jane");
}

// --- the context menu ---------------------------------------------------------------------

TEST_F(FormTest, TheContextMenuOffersDeleteAndRenameOfTheSelectedItem)
{
    AddMovie("a.avi");
    form->show();
    Select("a.avi");
    form->ShowContextMenu(form->mapToGlobal(QPoint(100, 450)));
    CMenuXP* menu = form->ContextMenu();
    EXPECT_TRUE(menu->isVisible());
    ASSERT_NE(menu->FindCommand(CKestovarFormView::kCommandDelete), nullptr);
    EXPECT_EQ(menu->FindCommand(CKestovarFormView::kCommandDelete)->text(), QStringLiteral("Delete"));
    ASSERT_NE(menu->FindCommand(CKestovarFormView::kCommandRename), nullptr);
    EXPECT_EQ(menu->FindCommand(CKestovarFormView::kCommandRename)->text(), QStringLiteral("Rename"));
    menu->FindCommand(CKestovarFormView::kCommandRename)->trigger();
    menu->hide();
    ASSERT_NE(RenameEditor(), nullptr);
    EXPECT_EQ(RenameEditor()->text(), QStringLiteral("a"));
}

// --- the File Name field --------------------------------------------------------------------

TEST_F(FormTest, TheFileNameFieldRefusesAColonAndTakesABarAndAPlus)
{
    form->InitialUpdate();
    CExEdit* edit = form->FileNameEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("knee"));
    QTest::keyClick(edit, ':');
    EXPECT_EQ(edit->text(), QStringLiteral("knee"));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], std::string(kFileNameCharsMessage));
    for (QChar c : QStringLiteral("\"*/<>?\\"))
        QTest::keyClick(edit, c.toLatin1());
    EXPECT_EQ(edit->text(), QStringLiteral("knee"));
    EXPECT_EQ(told.size(), 8u);
    QTest::keyClicks(edit, QStringLiteral("|+"));
    EXPECT_EQ(edit->text(), QStringLiteral("knee|+"));
    EXPECT_EQ(told.size(), 8u);
    // The other fields take every character.
    QTest::keyClicks(form->Edit(CKestovarFormView::PatientField), QStringLiteral("a:b"));
    EXPECT_EQ(form->FieldText(CKestovarFormView::PatientField), QStringLiteral("a:b"));
}

TEST_F(FormTest, TheFileNameAlertBlinksUntilTheSecondCharacterOrAClear)
{
    form->InitialUpdate();
    CExEdit* edit = form->FileNameEdit();
    form->StartFileNameAlert();
    ASSERT_EQ(told, (std::vector<std::string> { "Please enter a file name!" }));
    EXPECT_TRUE(edit->AlertRunning());
    EXPECT_EQ(edit->BorderColour(), CExEdit::kBorder);
    edit->AlertTick();
    EXPECT_EQ(edit->BorderColour(), CExEdit::kAlertBorder);
    edit->AlertTick();
    EXPECT_EQ(edit->BorderColour(), CExEdit::kBorder);

    QTest::keyClick(edit, 'k'); // typed into the empty field: still blinking
    EXPECT_TRUE(edit->AlertRunning());
    edit->AlertTick();
    QTest::keyClick(edit, 'n');
    EXPECT_FALSE(edit->AlertRunning());
    EXPECT_EQ(edit->BorderColour(), CExEdit::kBorder);

    form->StartFileNameAlert();
    EXPECT_TRUE(edit->AlertRunning());
    form->ClearCaseFields();
    EXPECT_FALSE(edit->AlertRunning());
}

// --- modes, Save, Modify, TextClear ---------------------------------------------------------

TEST_F(FormTest, TheControlsFollowTheMode)
{
    form->InitialUpdate();
    struct Row {
        FormMode mode;
        bool texts, textClear, selectFolder;
    };
    for (const Row& r :
        { Row { FormMode::Recording, false, false, false }, Row { FormMode::Playing, false, true, false },
            Row { FormMode::PlaybackPaused, false, true, true }, Row { FormMode::Idle, true, true, true },
            Row { FormMode::Live, true, true, true }, Row { FormMode::StillShown, true, true, true } }) {
        host->mode = r.mode;
        form->Modify(); // whatever was shown before
        form->ApplyModeToForm(FormApply::ByMode);
        const int m = static_cast<int>(r.mode);
        EXPECT_FALSE(form->FieldEnabled(CKestovarFormView::DateField)) << m;
        for (auto f : { CKestovarFormView::FileNameField, CKestovarFormView::DoctorField,
                 CKestovarFormView::PatientField, CKestovarFormView::HospitalField,
                 CKestovarFormView::CommentField })
            EXPECT_EQ(form->FieldEnabled(f), r.texts) << m << " field " << f;
        EXPECT_EQ(form->TextClearButton()->isEnabled(), r.textClear) << m;
        EXPECT_EQ(form->SelectFolderButton()->isEnabled(), r.selectFolder) << m;
        EXPECT_FALSE(form->ModifyButton()->isVisibleTo(form.get())) << m;
        EXPECT_FALSE(form->SaveButton()->isVisibleTo(form.get())) << m;
        EXPECT_TRUE(form->DeleteFileButton()->isEnabled()) << m;
        EXPECT_TRUE(form->List()->isEnabled()) << m;
        EXPECT_TRUE(form->MovieFolderButton()->isEnabled()) << m;
    }
}

TEST_F(FormTest, ModifyOpensTheFreeTextsAndSaveWritesOnlyWhenNotRecordingOrPlaying)
{
    AddMovie("a.avi");
    form->InitialUpdate();
    form->OpenMediaItem(0);
    form->Modify();
    EXPECT_FALSE(form->FieldEnabled(CKestovarFormView::DateField));
    EXPECT_FALSE(form->FieldEnabled(CKestovarFormView::FileNameField));
    EXPECT_TRUE(form->FieldEnabled(CKestovarFormView::CommentField));
    EXPECT_TRUE(form->SaveButton()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->ModifyButton()->isVisibleTo(form.get()));

    form->SetFieldText(CKestovarFormView::CommentField, QStringLiteral("changed\nin two lines"));
    for (FormMode mode : { FormMode::Recording, FormMode::Playing }) {
        host->mode = mode;
        form->Save();
        EXPECT_EQ(ReadCaseInfoFile(Movie("a.avi").string()).comment, "first\nsecond");
    }
    host->mode = FormMode::PlaybackPaused;
    form->Save();
    EXPECT_EQ(ReadCaseInfoFile(Movie("a.avi").string()).comment, "changed\nin two lines");
    EXPECT_FALSE(form->SaveButton()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->FieldEnabled(CKestovarFormView::CommentField));
}

TEST_F(FormTest, ALongStoredCommentIsKeptUnlessTheOperatorChoosesToShortenIt)
{
    std::string whole;
    while (whole.size() < 10'000)
        whole += "finding " + std::to_string(whole.size()) + ",";
    AddMovie("a.avi", { "2017-02-26", "Smith", "Dr. Adams", "John", "General", whole });
    auto storedComment = [&] {
        const std::string text = ReadFileText(Movie("a.ini"));
        const size_t at = text.find("Comment=");
        if (at == std::string::npos)
            return std::string();
        std::string value = text.substr(at + 8, text.find('\n', at) - at - 8);
        if (!value.empty() && value.back() == '\r') // a new case file has CRLF line ends
            value.pop_back();
        return value;
    };
    form->InitialUpdate();
    form->OpenMediaItem(0);
    ASSERT_EQ(form->FieldText(CKestovarFormView::CommentField).size(), 1299);

    // Only the patient's name changes: the comment stays whole, nothing is asked.
    form->Modify();
    form->SetFieldText(CKestovarFormView::PatientField, QStringLiteral("Jane"));
    form->Save();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ReadCaseInfoFile(Movie("a.avi").string()).patientName, "Jane");
    EXPECT_TRUE(storedComment() == whole) << storedComment().size() << " characters kept";

    // Editing the cut comment asks; Cancel keeps the stored one whole, Ok shortens it.
    for (bool shorten : { false, true }) {
        SCOPED_TRACE(shorten);
        asked.clear();
        answers = { shorten };
        form->Modify();
        form->SetFieldText(CKestovarFormView::CommentField, QStringLiteral("short"));
        form->Save();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].find("The stored comment is longer than the form shows"), std::string::npos);
        EXPECT_NE(asked[0].find("Saving will shorten it"), std::string::npos);
        EXPECT_TRUE(storedComment() == (shorten ? "short" : whole)) << storedComment().size();
    }
}

TEST_F(FormTest, AFailedSaveIsTold)
{
    form->InitialUpdate();
    form->SetCurrentCaseFile(Q(dir / "no such folder" / "a.avi"));
    host->mode = FormMode::Live;
    form->Save();
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(FormTest, SavingOverADamagedCaseFileKeepsItAsideAndSaysWhere)
{
    AddMovie("a.avi");
    std::string damaged = "[Kestovar]\nPatient Name=Jane\n";
    for (int i = 0; i < 5000; ++i)
        damaged += static_cast<char>((i * 7919) & 0xFF);
    ASSERT_TRUE(WriteFileText(Movie("a.ini"), damaged));
    form->InitialUpdate();
    form->OpenMediaItem(0);
    EXPECT_EQ(form->FieldText(CKestovarFormView::PatientField), "Jane");
    form->Modify();
    form->SetFieldText(CKestovarFormView::CommentField, QStringLiteral("checked"));
    form->Save();

    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told.front().find("\"a.ini.bad\""), std::string::npos) << told.front();
    EXPECT_EQ(ReadFileText(Movie("a.ini.bad")), damaged);
    EXPECT_EQ(ReadCaseInfoFile(Movie("a.avi").string()).comment, "checked");
    EXPECT_EQ(ReadCaseInfoFile(Movie("a.avi").string()).patientName, "Jane");
}

TEST_F(FormTest, TextClearWhilePausedKeepsTheCaseTextsAndSetsDateDoctorAndHospital)
{
    settings->doctorName = QStringLiteral("Dr. Baker");
    settings->hospitalName = QStringLiteral("St. Mary");
    settings->SaveCaseNames();
    AddMovie("a.avi");
    form->InitialUpdate();
    form->OpenMediaItem(0); // PlaybackPaused
    form->ClearCaseFields();
    const CaseInfo now = form->CaseFields();
    EXPECT_EQ(now.date, CaseDateText(std::time(nullptr)));
    EXPECT_EQ(now.fileName, "Smith");
    EXPECT_EQ(now.doctorName, "Dr. Baker");
    EXPECT_EQ(now.patientName, "John");
    EXPECT_EQ(now.hospitalName, "St. Mary");
    EXPECT_EQ(now.comment, "first\nsecond");

    host->mode = FormMode::Live;
    form->ClearCaseFields();
    EXPECT_EQ(form->CaseFields(),
        (CaseInfo { CaseDateText(std::time(nullptr)), "", "Dr. Baker", "", "St. Mary", "" }));
}

// --- the storage line ------------------------------------------------------------------------

TEST_F(FormTest, TheStoragePercentageUsesWholeGibibytesAndKeepsItsTextOnFailure)
{
    EXPECT_EQ(form->PercentLabel()->text(), QStringLiteral("80%"));
    space = DiskSpaceInfo { static_cast<uint64_t>(185.7 * GiB), 500 * GiB };
    form->InitialUpdate();
    EXPECT_EQ(form->PercentLabel()->text(), QStringLiteral("37%"));
    EXPECT_EQ(form->PercentLabel()->TextColour(), CKestovarFormView::kPercentColour);
    space.reset();
    form->UpdateStorageLabel();
    EXPECT_EQ(form->PercentLabel()->text(), QStringLiteral("37%"));
}

TEST_F(FormTest, ALongStorageRootIsShortenedToItsBox)
{
    const fs::path deep
        = dir / "a very long folder name for the archive" / "orthopaedic cases of this year" / "Kestovar";
    fs::create_directories(deep);
    ASSERT_TRUE(form->ApplyStorageRoot(Q(deep)));
    const QString shown = form->StorageRootText();
    EXPECT_TRUE(shown.contains(QStringLiteral("…"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/Kestovar"))) << shown.toStdString();
}

TEST_F(FormTest, ANewStorageRootIsSavedAndListedAndABadOneRefused)
{
    AddMovie("old.avi");
    form->InitialUpdate();
    const fs::path fresh = dir / "fresh";
    fs::create_directories(fresh / "movie");
    ASSERT_TRUE(test::CopyFile(test::SampleMovie(), fresh / "movie" / "new.avi"));
    form->SetFolderChooser([&](QWidget*) { return Q(fresh); });
    form->ChooseStorageFolder();
    EXPECT_EQ(settings->GetRootPath(), Q(fresh));
    EXPECT_TRUE(fs::is_directory(fresh / "image"));
    EXPECT_EQ(Labels(), (std::vector<std::string> { "new.avi" }));
    EXPECT_TRUE(host->Called("StorageRootChanged"));
    {
        CAppSettings reloaded(Q(dir / "program"));
        EXPECT_EQ(reloaded.GetRootPath(), Q(fresh));
    }

    // Under a file nothing can be made: the old root stays and the operator is told.
    ASSERT_TRUE(WriteFileText(dir / "plain.txt", "x"));
    EXPECT_FALSE(form->ApplyStorageRoot(Q(dir / "plain.txt" / "inside")));
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(settings->GetRootPath(), Q(fresh));
    EXPECT_EQ(Labels(), (std::vector<std::string> { "new.avi" }));

    // Cancelling the chooser changes nothing.
    form->SetFolderChooser([](QWidget*) { return QString(); });
    form->ChooseStorageFolder();
    EXPECT_EQ(settings->GetRootPath(), Q(fresh));
}

TEST_F(FormTest, TheFolderButtonsOpenTheFoldersOrSaySoWhenTheyCannot)
{
    form->InitialUpdate();
    QTest::mouseClick(form->MovieFolderButton(), Qt::LeftButton);
    QTest::mouseClick(form->ImageFolderButton(), Qt::LeftButton);
    EXPECT_TRUE(host->Called("OpenFolder " + settings->GetMoviePath().toStdString()));
    EXPECT_TRUE(host->Called("OpenFolder " + settings->GetImagePath().toStdString()));
    EXPECT_TRUE(told.empty());
    host->openFolderWorks = false;
    form->OpenMovieFolder();
    EXPECT_EQ(told.size(), 1u);
}

// --- the real question dialog --------------------------------------------------------------

TEST(FormDialogs, DeleteAsksWithTheSkinnedYesNoQuestion)
{
    TempDir dir;
    qputenv("KESTOVAR_REGISTRY_DIR", (dir.str() + "/registry").c_str());
    fs::create_directories(dir / "program");
    fs::create_directories(dir / "store");
    CAppSettings settings(Q(dir / "program"));
    settings.SetRootPath(Q(dir / "store"));
    ASSERT_TRUE(test::WritePicture(dir / "store" / "image" / "shot.jpg", QSize(64, 48), Qt::red));
    FakeMediaHost host(settings);
    CKestovarFormView form(host);
    form.SetFreeSpaceSource([](const std::string&) { return std::nullopt; });
    form.show();
    form.List()->SelectRow(0);
    QString question;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<CDlgOkCancel*>(QApplication::activeModalWidget())) {
            question = box->Message();
            QTest::mouseClick(box->YesButton(), Qt::LeftButton);
        }
    });
    answer.start(20);
    form.DeleteSelectedMedia();
    answer.stop();
    EXPECT_EQ(question, QStringLiteral("Do you want to delete \"shot.jpg\"?"));
    EXPECT_FALSE(fs::exists(dir / "store" / "image" / "shot.jpg"));
    qunsetenv("KESTOVAR_REGISTRY_DIR");
}

} // namespace
} // namespace kestovar
