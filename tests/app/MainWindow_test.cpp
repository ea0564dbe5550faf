// The main window, the frame and the control panel over a fake AppState: buttons by
// mode, menus that may open, the key filter, the camera coming and going, full
// screen, sizes.

#include "app/CDlgMain.h"
#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "capture/AviRepair.h"
#include "capture/RecordingJournal.h"
#include "dialogs/ApplyChoiceEvent.h"
#include "dialogs/CDlgMenuResolution.h"
#include "dialogs/CDlgNoCamera.h"
#include "library/CKestovarFormView.h"
#include "library/MediaListModel.h"
#include "platform/AudioBackend.h"
#include "playback/CDlgVideoView.h"
#include "playback/PlayerGraph.h"
#include "recording/CAppSettings.h"
#include "ui/CBitSlider.h"
#include "ui/CGdipButton.h"
#include "ui/CMenuBarXP.h"
#include "ui/CMenuXP.h"

#include "../capture/MediaFixtures.h"
#include "FakeStationMedia.h"
#include "UdevReplay.h"
#include "platform/CameraHotplug.h"
#include "MediaTestFixture.h"
#include "TestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <set>

#include <gtest/gtest.h>

using namespace kestovar;

namespace {

using test::FakeMedia;

// The default microphone as the level meter and the volume slider see it.
class FakeAudio : public AudioBackend {
public:
    bool Available() const override { return true; }
    std::vector<AudioDeviceInfo> ListInputDevices() override { return {}; }
    std::unique_ptr<AudioRecordStream> OpenRecordStream(
        const std::string&, AudioBlockCallback, std::string*) override
    {
        return nullptr;
    }
    std::unique_ptr<AudioPlaybackStream> OpenPlaybackStream(std::string*) override { return nullptr; }
    std::optional<float> DefaultInputPeak() override { return peak; }
    std::optional<float> DefaultInputVolume() override { return volume; }
    bool SetDefaultInputVolume(float v) override
    {
        volume = v;
        return true;
    }
    bool SetDefaultInputMuted(bool m) override
    {
        muted = m;
        return true;
    }
    std::optional<float> DefaultOutputVolume() override { return 1.0f; }
    bool SetDefaultOutputVolume(float) override { return true; }

    float peak = 0.0f;
    float volume = 0.7f;
    bool muted = true;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KESTOVAR_REGISTRY_DIR", QByteArray::fromStdString(registry_.str()));
        media_ = std::make_unique<FakeMedia>(QString::fromStdString(root_.str()));
        dlg_ = std::make_unique<CDlgMain>(*media_, audio_);
        dlg_->SetWaitScale(0);
        dlg_->SetMessenger([this](const QString& text, std::function<void()> done) {
            messages_ << text;
            pending_.push_back(std::move(done));
        });
        dlg_->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        dlg_.reset();
        media_.reset();
        SetRecordingJournal({});
    }
    // The station began recording `movie` (its journal entry, as the writer makes it).
    std::string Journal() const { return (registry_.path() / "recordings-in-progress").string(); }
    void Recording(const std::string& movie)
    {
        SetRecordingJournal(Journal());
        std::string error;
        ASSERT_TRUE(JournalRecordingStarted(movie, &error)) << error;
    }
    // The operator presses Ok on every open message.
    void CloseMessages()
    {
        while (!pending_.empty()) {
            auto done = std::move(pending_.front());
            pending_.erase(pending_.begin());
            done();
        }
    }
    CKestovarLeftFormView* Panel() { return dlg_->Frame()->ControlPanel(); }
    void Key(int key, QWidget* to = nullptr)
    {
        QTest::keyClick(to ? to : static_cast<QWidget*>(Panel()), Qt::Key(key));
    }

    test::TempDir registry_;
    test::TempDir root_;
    std::unique_ptr<FakeMedia> media_;
    std::shared_ptr<FakeAudio> audio_ = std::make_shared<FakeAudio>();
    std::unique_ptr<CDlgMain> dlg_;
    QStringList messages_;
    std::vector<std::function<void()>> pending_;
};

} // namespace

TEST_F(MainWindowTest, FramelessTitledAndNeverSmallerThan1000By700)
{
    EXPECT_EQ(dlg_->windowTitle(), "Kestovar");
    EXPECT_TRUE(dlg_->windowFlags() & Qt::FramelessWindowHint);
    dlg_->resize(600, 400);
    QApplication::processEvents();
    EXPECT_GE(dlg_->width(), 1000);
    EXPECT_GE(dlg_->height(), 700);
    EXPECT_EQ(dlg_->minimumSize(), QSize(1000, 700));
}

TEST_F(MainWindowTest, RightPaneStaysThreeHundredPixelsAtEverySize)
{
    for (QSize s : { QSize(1000, 700), QSize(1280, 800), QSize(1900, 1000), QSize(1111, 777) }) {
        dlg_->resize(s);
        QApplication::processEvents();
        EXPECT_EQ(dlg_->Frame()->CaseForm()->width(), 300) << s.width();
        EXPECT_EQ(dlg_->Frame()->geometry(), QRect(5, 56, s.width() - 10, s.height() - 60));
        EXPECT_EQ(Panel()->width() + 5 + 300, dlg_->Frame()->width());
        EXPECT_EQ(dlg_->CaptionButton(0)->geometry(), QRect(s.width() - 25, 3, 19, 19));
    }
}

TEST_F(MainWindowTest, ButtonsFollowTheTableForEveryModeAndCamera)
{
    for (bool camera : { true, false }) {
        media_->camera = camera;
        for (int m = 0; m <= 5; ++m) {
            media_->mode = AppMode(m);
            Panel()->UpdateControlStates();
            EXPECT_EQ(Panel()->CurrentStates(), ControlStatesFor(camera, AppMode(m))) << camera << " " << m;
            EXPECT_EQ(Panel()->RecordButton()->DisabledLook(), !Panel()->RecordButton()->isEnabled());
        }
    }
}

TEST_F(MainWindowTest, MenusThatMustNotOpenDoNot)
{
    CMenuBarXP* bar = dlg_->MenuBar();
    ASSERT_EQ(bar->TitleCount(), 6);
    media_->mode = AppMode::PlaybackPaused;
    bar->OpenTitle(int(MenuTitle::Record));
    EXPECT_EQ(bar->OpenMenu(), nullptr);
    bar->OpenTitle(int(MenuTitle::FileSize));
    EXPECT_EQ(bar->OpenMenu(), nullptr);
    bar->OpenTitle(int(MenuTitle::Screen));
    EXPECT_NE(bar->OpenMenu(), nullptr);
    bar->CloseMenu();

    media_->mode = AppMode::Recording;
    bar->OpenTitle(int(MenuTitle::Config));
    EXPECT_EQ(bar->OpenMenu(), nullptr);
    bar->OpenTitle(int(MenuTitle::Record));
    EXPECT_NE(bar->OpenMenu(), nullptr);
    bar->CloseMenu();

    media_->camera = false;
    media_->mode = AppMode::Idle;
    bar->OpenTitle(int(MenuTitle::Screen));
    EXPECT_EQ(bar->OpenMenu(), nullptr);
    bar->OpenTitle(int(MenuTitle::Help));
    EXPECT_NE(bar->OpenMenu(), nullptr);
    bar->CloseMenu();
}

TEST_F(MainWindowTest, FileSizeMenuChecksTheStoredLimitAndAChoiceIsSaved)
{
    media_->settings.limitrecordsize = 3;
    CMenuBarXP* bar = dlg_->MenuBar();
    bar->OpenTitle(int(MenuTitle::FileSize));
    CMenuXP* menu = bar->OpenMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->FindCommand(cmd::SizeLimit4GB)->isChecked());
    EXPECT_FALSE(menu->FindCommand(cmd::SizeLimit1GB)->isChecked());
    bar->CloseMenu();

    media_->freeSpace = false;
    dlg_->OnCommand(cmd::SizeLimit10GB);
    EXPECT_EQ(media_->settings.limitrecordsize, 5);
    EXPECT_EQ(media_->saves, 1);
    EXPECT_EQ(messages_, QStringList { "Insufficient disk space\n(5% of disk space remaining)" });
    CloseMessages();

    bar->OpenTitle(int(MenuTitle::FileSize));
    ASSERT_NE(bar->OpenMenu(), nullptr);
    EXPECT_TRUE(bar->OpenMenu()->FindCommand(cmd::SizeLimit10GB)->isChecked());
    EXPECT_FALSE(bar->OpenMenu()->FindCommand(cmd::SizeLimit4GB)->isChecked());
    bar->CloseMenu();
}

TEST_F(MainWindowTest, StartWithACameraGoesLiveWithTheModelDefault)
{
    media_->settings.resolution = 1;
    dlg_->Start();
    EXPECT_EQ(media_->mode, AppMode::Live);
    EXPECT_EQ(media_->previewResolution, 0); // Full HD: 1080P
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_TRUE(Panel()->VideoView()->isVisible());
    EXPECT_FALSE(Panel()->VideoView()->NoCameraNotice()->isVisible());

    media_->pro = true;
    EXPECT_TRUE(dlg_->OnCameraReady());
    EXPECT_EQ(media_->previewResolution, 2); // Pro: 480P
}

TEST_F(MainWindowTest, StartWithoutACameraShowsTheMessageAndTheNotice)
{
    media_->camera = false;
    dlg_->Start();
    EXPECT_EQ(messages_, QStringList { "Kestovar camera is not detected!" });
    EXPECT_EQ(media_->previews, 0);
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->IsBlinking());
    EXPECT_FALSE(dlg_->OnCameraReady());
}

TEST_F(MainWindowTest, KeyFilterPerMode)
{
    dlg_->Start();
    ASSERT_EQ(media_->mode, AppMode::Live);
    // F1 restarts the live picture (Live command), even during playback.
    media_->mode = AppMode::Playing;
    const int before = media_->previews;
    Key(Qt::Key_F1);
    EXPECT_EQ(media_->previews, before + 1);
    EXPECT_EQ(media_->mode, AppMode::Live);

    // F5 during playback passes on to the focused control: nothing runs.
    media_->mode = AppMode::Playing;
    EXPECT_EQ(dlg_->DecideKey(Qt::Key_F5).outcome, KeyOutcome::PassOn);
    const int closes = media_->closeAlls;
    Key(Qt::Key_F5);
    EXPECT_EQ(media_->mode, AppMode::Playing);
    EXPECT_EQ(media_->closeAlls, closes);
    // F7 still reaches the SnapShot command; F9 still enters full screen.
    EXPECT_EQ(dlg_->DecideKey(Qt::Key_F7).command, cmd::SnapShot);
    Key(Qt::Key_F9);
    EXPECT_TRUE(dlg_->Frame()->IsFullScreen());
    EXPECT_TRUE(Panel()->VideoView()->isWindow());
    // F9 again does nothing; Escape (sent to the full-screen window) leaves.
    Key(Qt::Key_F9, Panel()->VideoView());
    EXPECT_TRUE(dlg_->Frame()->IsFullScreen());
    Key(Qt::Key_Escape, Panel()->VideoView());
    EXPECT_FALSE(dlg_->Frame()->IsFullScreen());
    EXPECT_FALSE(Panel()->VideoView()->isWindow());
    EXPECT_EQ(Panel()->VideoView()->parentWidget(), Panel());
}

TEST_F(MainWindowTest, EscapeAndEnterNeverCloseTheWindow)
{
    auto* field = new QLineEdit(dlg_->Frame()->CaseForm());
    field->show();
    for (int key : { Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter }) {
        Key(key);
        Key(key, field);
        Key(key, dlg_.get());
    }
    QApplication::processEvents();
    EXPECT_TRUE(dlg_->isVisible());
}

TEST_F(MainWindowTest, RecordingKeysDoNothingWithoutACamera)
{
    media_->camera = false;
    for (int key : { Qt::Key_F3, Qt::Key_F4, Qt::Key_F5 })
        EXPECT_EQ(dlg_->DecideKey(key).outcome, KeyOutcome::PassOn);
    // F1 still runs Live, which shows the notice.
    Key(Qt::Key_F1);
    EXPECT_EQ(media_->previews, 0);
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());
}

TEST_F(MainWindowTest, PulledDuringLiveThenPluggedBack)
{
    dlg_->Start();
    ASSERT_EQ(media_->mode, AppMode::Live);
    const QString path = "usb#VID_05A3&PID_9422#sim0#/dev/video0";
    media_->camera = false;
    dlg_->OnDeviceChange(0x8004, path);
    EXPECT_EQ(media_->mode, AppMode::Idle);
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());
    EXPECT_EQ(messages_, QStringList { "Kestovar Full HD camera lost connecting!" });
    // Plugged back while the message is still open: handled once it is closed.
    media_->camera = true;
    dlg_->OnDeviceChange(0x8000, path);
    EXPECT_EQ(messages_.size(), 1);
    CloseMessages();
    EXPECT_EQ(media_->mode, AppMode::Live);
    EXPECT_FALSE(Panel()->VideoView()->NoCameraNotice()->isVisible());
    EXPECT_EQ(messages_.last(), "Kestovar Full HD camera is detected!");
    EXPECT_EQ(media_->previewResolution, 0);
}

TEST_F(MainWindowTest, ProPathsOtherDevicesAndMediaOnShow)
{
    // A device that is no supported camera changes nothing.
    dlg_->OnDeviceChange(0x8004, "usb#VID_1234&PID_5678#x#/dev/video3");
    EXPECT_TRUE(messages_.isEmpty());

    // The Pro model's arrival in Idle goes live at 480P.
    media_->pro = true;
    dlg_->OnDeviceChange(0x8000, "usb#VID_06F8&PID_4148#p#/dev/video1");
    EXPECT_EQ(messages_.last(), "Kestovar Pro camera is detected!");
    EXPECT_EQ(media_->previewResolution, 2);
    CloseMessages();

    // VID_06F8 with another product: the Pro message, but the Full HD default.
    media_->mode = AppMode::Idle;
    dlg_->OnDeviceChange(0x8000, "usb#VID_06F8&PID_0001#p#/dev/video1");
    EXPECT_EQ(messages_.last(), "Kestovar Pro camera is detected!");
    EXPECT_EQ(media_->previewResolution, 0);
    CloseMessages();

    // A picture on show stays when a camera arrives, and a movie when one leaves.
    media_->mode = AppMode::StillShown;
    const int previews = media_->previews;
    dlg_->OnDeviceChange(0x8000, "usb#VID_05A3&PID_9422#s#/dev/video0");
    EXPECT_EQ(media_->mode, AppMode::StillShown);
    EXPECT_EQ(media_->previews, previews);
    CloseMessages();
    media_->mode = AppMode::Playing;
    dlg_->OnDeviceChange(0x8004, "usb#VID_05A3&PID_9422#s#/dev/video0");
    EXPECT_EQ(media_->mode, AppMode::Playing);
    EXPECT_EQ(messages_.last(), "Kestovar Full HD camera lost connecting!");
    CloseMessages();
}

TEST_F(MainWindowTest, ADeviceChangeRestoresAWindowMinimisedByTheButton)
{
    dlg_->MinimiseOrRestore();
    EXPECT_TRUE(dlg_->MinimisedByButton());
    dlg_->OnDeviceChange(0x8004, "usb#VID_05A3&PID_9422#s#/dev/video0");
    EXPECT_FALSE(dlg_->MinimisedByButton());
    EXPECT_FALSE(dlg_->isMinimized());
}

TEST_F(MainWindowTest, ChoicesFromThePopupsGoLive)
{
    CMainFrame* frame = dlg_->Frame();
    EXPECT_TRUE(frame->ApplyResolutionItem(1));
    EXPECT_EQ(media_->previewResolution, 1);
    EXPECT_TRUE(frame->ApplyRotationItem(6));
    EXPECT_EQ(media_->settings.rotation, 6);
    const int previews = media_->previews;
    EXPECT_FALSE(frame->ApplyRotationItem(8));
    EXPECT_FALSE(frame->ApplyResolutionItem(3));
    EXPECT_EQ(media_->previews, previews);
}

TEST_F(MainWindowTest, ThePopupsChoiceEventIsStoredAndGoesLive)
{
    QApplication::sendEvent(dlg_->Frame(), new ApplyChoiceEvent(ChoiceKind::Resolution, 1, 1));
    EXPECT_EQ(media_->settings.resolution, 1);
    EXPECT_EQ(media_->previewResolution, 1);
    QApplication::sendEvent(dlg_->Frame(), new ApplyChoiceEvent(ChoiceKind::Rotation, 5, 5));
    EXPECT_EQ(media_->settings.rotation, 5);
    // A choice out of range changes nothing and starts nothing.
    const int previews = media_->previews;
    QApplication::sendEvent(dlg_->Frame(), new ApplyChoiceEvent(ChoiceKind::Rotation, 9, 9));
    EXPECT_EQ(media_->settings.rotation, 5);
    EXPECT_EQ(media_->previews, previews);
}

TEST_F(MainWindowTest, TheResolutionButtonOpensItsPopupAboveItOncePerPress)
{
    QTest::mouseClick(Panel()->ResolutionButton(), Qt::LeftButton);
    QTest::mouseClick(Panel()->ResolutionButton(), Qt::LeftButton);
    const auto popups = Panel()->findChildren<CDlgMenuResolution*>();
    ASSERT_EQ(popups.size(), 1);
    EXPECT_TRUE(popups.front()->isVisible());
}

TEST_F(MainWindowTest, VideoWindowPlacedForTheResolution)
{
    dlg_->resize(1400 + 305 + 10, 800 + 70 + 20 + 60);
    QApplication::processEvents();
    // The panel is 1400 x 800 + 70 (its buttons) here.
    ASSERT_EQ(Panel()->size(), QSize(1400, 870));
    Panel()->PlaceVideoWindow(1, 1);
    EXPECT_EQ(Panel()->VideoView()->geometry(), QRect(60, 40, 1280, 720));
    Panel()->PlaceVideoWindow(1, 0);
    EXPECT_EQ(Panel()->VideoView()->geometry(), QRect(0, 0, 1400, 800));
}

TEST_F(MainWindowTest, LevelMeterAndVolumeSlider)
{
    EXPECT_EQ(Panel()->SpeakerPicture(), "speaker");
    // Moving the slider unmutes the microphone and sets its volume.
    Panel()->VolumeSlider()->setValue(40);
    EXPECT_FLOAT_EQ(Panel()->LastVolume(), 0.4f);
    EXPECT_FALSE(audio_->muted);
    EXPECT_FLOAT_EQ(audio_->volume, 0.4f);

    // The level shows while live and recording; a movie brings back the plain face.
    media_->mode = AppMode::Live;
    audio_->peak = 0.5f;
    Panel()->LevelTick();
    EXPECT_EQ(Panel()->SpeakerPicture(), "speaker_level_3");
    media_->mode = AppMode::Playing;
    audio_->peak = 0.95f;
    Panel()->LevelTick();
    EXPECT_FLOAT_EQ(Panel()->LastPeak(), 0.95f);
    EXPECT_EQ(Panel()->SpeakerPicture(), "speaker") << "the last level stayed after leaving Live";
    media_->mode = AppMode::Recording;
    Panel()->LevelTick();
    EXPECT_EQ(Panel()->SpeakerPicture(), "speaker_level_5");
    audio_->peak = 0.0f;
    Panel()->LevelTick();
    EXPECT_EQ(Panel()->SpeakerPicture(), "speaker");
    // Speaker toggled (sound off) hides the slider; toggled back shows it.
    QTest::mouseClick(Panel()->SpeakerButton(), Qt::LeftButton);
    EXPECT_TRUE(Panel()->SpeakerButton()->IsToggled());
    EXPECT_FALSE(Panel()->VolumeSlider()->isVisible());
    QTest::mouseClick(Panel()->SpeakerButton(), Qt::LeftButton);
    EXPECT_TRUE(Panel()->VolumeSlider()->isVisible());
}

TEST_F(MainWindowTest, AStreamThatEndsWhileRecordingIsTheCameraPulledOutToldOnce)
{
    dlg_->Start();
    ASSERT_EQ(media_->mode, AppMode::Live);
    media_->mode = AppMode::Recording;
    Panel()->RecordButton()->SetToggled(true);
    const int closes = media_->closeAlls;

    // The camera's reads fail (ENODEV) before, or without, any USB event.
    dlg_->OnStreamEnded("the camera was unplugged");
    EXPECT_EQ(media_->closeAlls, closes + 1) << "the recording is completed";
    EXPECT_EQ(media_->mode, AppMode::Idle);
    EXPECT_FALSE(Panel()->RecordButton()->IsToggled());
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());
    EXPECT_EQ(messages_, QStringList { "Kestovar Full HD camera lost connecting!" });

    // The USB removal that follows is the same loss: nothing more to tell.
    const QString path = "usb#VID_05A3&PID_9422#sim0#/dev/video0";
    media_->camera = false;
    dlg_->OnDeviceChange(0x8004, path);
    CloseMessages();
    EXPECT_EQ(messages_.size(), 1);

    // Plugged back in: live again, and a later pull is told again.
    media_->camera = true;
    dlg_->OnDeviceChange(0x8000, path);
    CloseMessages();
    EXPECT_EQ(media_->mode, AppMode::Live);
    EXPECT_EQ(messages_.last(), "Kestovar Full HD camera is detected!");
    media_->camera = false;
    dlg_->OnDeviceChange(0x8004, path);
    EXPECT_EQ(messages_.last(), "Kestovar Full HD camera lost connecting!");
    EXPECT_EQ(messages_.size(), 3);
}

TEST_F(MainWindowTest, AStreamEndIsToldForTheProModelAndIgnoredWithoutACameraPicture)
{
    dlg_->Start();
    media_->pro = true;
    dlg_->OnStreamEnded("gone");
    EXPECT_EQ(media_->mode, AppMode::Idle);
    EXPECT_EQ(messages_, QStringList { "Kestovar Pro camera lost connecting!" });
    CloseMessages();

    // A late report after the picture is gone, or while a movie plays, changes nothing.
    const int closes = media_->closeAlls;
    dlg_->OnStreamEnded("late");
    media_->mode = AppMode::Playing;
    dlg_->OnStreamEnded("late");
    EXPECT_EQ(media_->closeAlls, closes);
    EXPECT_EQ(media_->mode, AppMode::Playing);
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(MainWindowTest, MoviesLeftUnfinishedAreRepairedListedAndToldOnceAtStart)
{
    const std::filesystem::path movies = media_->settings.GetMoviePath().toStdString();
    std::filesystem::create_directories(movies);
    const std::string whole = (movies / "knee_261209_101010.avi").string();
    ASSERT_TRUE(test::MakeRecordedAvi(whole, 320, 240, 30, 2.0, false));
    // A recording killed half-way: the same movie without its end.
    const std::string cut = (movies / "knee_261209_111111.avi").string();
    std::filesystem::copy_file(whole, cut);
    std::filesystem::resize_file(cut, std::filesystem::file_size(whole) * 2 / 3);
    ASSERT_EQ(InspectAvi(cut), AviFileState::Unfinished);
    Recording(cut);

    dlg_->Start();
    ASSERT_TRUE(test::WaitUntil([&] { return !dlg_->RepairsRunning(); }));
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0],
        "A movie was not completed when Kestovar stopped.\nIt has been repaired:\nknee_261209_111111.avi");
    EXPECT_EQ(InspectAvi(cut), AviFileState::Complete);
    EXPECT_EQ(InspectAvi(whole), AviFileState::Complete);
    // Our own player opens it, shows its first picture and knows how long it lasts.
    {
        test::MemoryVideoSink sink(QSize(320, 240));
        PlayerGraph player(nullptr);
        player.SetVideoWindow(&sink);
        std::string error;
        ASSERT_TRUE(player.Open(cut, &error)) << error;
        int64_t duration = 0;
        ASSERT_TRUE(player.GetDuration(duration));
        EXPECT_GT(duration, 10'000'000) << "over a second of the two recorded";
        EXPECT_TRUE(player.SetPositions(duration * 3 / 4)) << "the repaired index seeks";
    }
    MediaListModel* list = dlg_->Frame()->CaseForm()->ListModel();
    ASSERT_TRUE(test::WaitUntil([&] { return list->RowOf(cut) >= 0; })) << "the repaired movie is listed";
    CloseMessages();

    // The next start finds nothing to repair.
    CDlgMain again(*media_, audio_);
    again.SetWaitScale(0);
    QStringList later;
    again.SetMessenger([&](const QString& text, std::function<void()> done) {
        later << text;
        done();
    });
    again.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return !again.RepairsRunning(); }));
    EXPECT_TRUE(later.isEmpty()) << later.join("|").toStdString();
}

TEST_F(MainWindowTest, MoviesTheStationDidNotRecordAreLeftByteForByteAtStart)
{
    const std::filesystem::path movies = media_->settings.GetMoviePath().toStdString();
    std::filesystem::create_directories(movies);
    test::TempDir usb;
    const std::string source = (usb.path() / "source.avi").string();
    ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=size=640x480:rate=30 -t 8 -c:v mjpeg -q:v 3 "
                              + source)
                              .c_str()),
        0);
    const std::string whole = test::ReadFileText(source);
    ASSERT_GT(whole.size(), 4'000'000u);
    // The start of a movie copied in from elsewhere, and a copy still being written by
    // another program (256 KiB every 0.1 s, the file open all the while).
    const std::string prefix = (movies / "usb_prefix.avi").string();
    ASSERT_TRUE(test::WriteFileText(prefix, whole.substr(0, 3'000'000)));
    const std::string copying = (movies / "copying.avi").string();
    QProcess copy;
    copy.start("sh",
        { "-c",
            QString("i=0; while [ $i -lt %1 ]; do dd if='%2' bs=262144 skip=$i count=1 status=none; "
                    "i=$((i+1)); sleep 0.1; done > '%3'")
                .arg(whole.size() / 262144 + 1)
                .arg(QString::fromStdString(source), QString::fromStdString(copying)) });
    ASSERT_TRUE(test::WaitUntil([&] {
        std::error_code ec;
        return std::filesystem::file_size(copying, ec) >= 1'000'000 && !ec;
    }));
    ASSERT_EQ(InspectAvi(copying), AviFileState::Unfinished);

    dlg_->Start();
    ASSERT_TRUE(test::WaitUntil([&] { return !dlg_->RepairsRunning(); }));
    ASSERT_TRUE(copy.waitForFinished(60'000));
    EXPECT_TRUE(test::ReadFileText(prefix) == whole.substr(0, 3'000'000)) << "the copied-in start was changed";
    EXPECT_TRUE(test::ReadFileText(copying) == whole) << "the copy in progress was changed";
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("|").toStdString();
    dlg_->Frame()->CaseForm()->RefreshMediaList();
    MediaListModel* list = dlg_->Frame()->CaseForm()->ListModel();
    EXPECT_GE(list->RowOf(prefix), 0) << "listed as any movie";
    EXPECT_GE(list->RowOf(copying), 0);
}

TEST_F(MainWindowTest, WithoutACameraTheRepairIsToldAfterTheMissingCamera)
{
    const std::filesystem::path movies = media_->settings.GetMoviePath().toStdString();
    std::filesystem::create_directories(movies);
    for (const char* name : { "a.avi", "b.avi" }) {
        const std::string path = (movies / name).string();
        ASSERT_TRUE(test::MakeRecordedAvi(path, 320, 240, 30, 1.0, false));
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - 100);
        Recording(path);
    }
    media_->camera = false;
    dlg_->Start();
    EXPECT_EQ(messages_, QStringList { "Kestovar camera is not detected!" });
    // The repair ends while the camera's message is open: its own message waits.
    ASSERT_TRUE(test::WaitUntil([&] { return !dlg_->RepairsRunning(); }));
    EXPECT_EQ(messages_.size(), 1);
    CloseMessages();
    ASSERT_EQ(messages_.size(), 2);
    EXPECT_EQ(messages_[1],
        "2 movies were not completed when Kestovar stopped.\nThey have been repaired:\na.avi\nb.avi");
}

TEST_F(MainWindowTest, TheStartRepairsOnlyMoviesThatWereThereAndNamesEmptyOnesApart)
{
    const std::filesystem::path movies = media_->settings.GetMoviePath().toStdString();
    std::filesystem::create_directories(movies);
    const std::string cut = (movies / "cut.avi").string();
    ASSERT_TRUE(test::MakeRecordedAvi(cut, 320, 240, 30, 1.0, false));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 100);
    // Killed before its first picture: the file ends where the pictures would begin.
    const std::string empty = (movies / "empty.avi").string();
    ASSERT_TRUE(test::MakeRecordedAvi(empty, 320, 240, 30, 1.0, false));
    const std::string bytes = test::ReadFileText(empty);
    const size_t movi = bytes.find("movi");
    ASSERT_NE(movi, std::string::npos);
    std::filesystem::resize_file(empty, movi - 8);
    ASSERT_EQ(InspectAvi(empty), AviFileState::Unfinished);
    const std::string unfinished = (movies.parent_path() / "unfinished.avi").string();
    std::filesystem::copy_file(cut, unfinished);
    Recording(cut);
    Recording(empty);
    // Recorded, then deleted or replaced by another file of its name: nothing to repair.
    const std::string deleted = (movies / "deleted.avi").string();
    std::filesystem::copy_file(cut, deleted);
    Recording(deleted);
    std::filesystem::remove(deleted);
    const std::string replaced = (movies / "replaced.avi").string();
    std::filesystem::copy_file(cut, replaced);
    Recording(replaced);
    std::filesystem::rename(replaced, movies / "renamed.avi");
    std::filesystem::copy_file(unfinished, replaced);

    dlg_->Start();
    // A recording begun right after the start is still being written: the repair
    // must leave it alone.
    const std::string live = (movies / "live.avi").string();
    std::filesystem::copy_file(unfinished, live);
    ASSERT_EQ(InspectAvi(live), AviFileState::Unfinished);
    Recording(live);

    ASSERT_TRUE(test::WaitUntil([&] { return !dlg_->RepairsRunning(); }));
    EXPECT_EQ(InspectAvi(live), AviFileState::Unfinished);
    EXPECT_EQ(InspectAvi(replaced), AviFileState::Unfinished) << "another file under the recorded name";
    EXPECT_EQ(InspectAvi((movies / "renamed.avi").string()), AviFileState::Unfinished);
    const std::vector<JournalEntry> left = ReadRecordingJournal(Journal());
    ASSERT_EQ(left.size(), 1u) << "only the recording in progress stays in the journal";
    EXPECT_EQ(left[0].path, live);
    EXPECT_EQ(InspectAvi(cut), AviFileState::Complete);
    EXPECT_EQ(InspectAvi(empty), AviFileState::Complete) << "kept as a valid, empty movie";
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0],
        "A movie was not completed when Kestovar stopped.\nIt has been repaired:\ncut.avi\n\n"
        "These movies were cut off before any picture was recorded:\nempty.avi");
}

// ---- Real cameras as udev announces them ----

class HotplugTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        hotplug_.SetNodeCheck([this](const std::string& node) { return openable_.count(node) > 0; });
        QObject::connect(&hotplug_, &CameraHotplug::deviceChanged, dlg_.get(),
            [this](uint32_t code, const QString& path) { dlg_->OnDeviceChange(code, path); });
    }
    // The camera plugged (its node can be opened) or pulled, as one read of udev's events.
    void Plug(const test::ReplayedUsbDevice& d)
    {
        media_->camera = true;
        openable_.insert("/dev/video" + std::to_string(d.firstVideo));
        hotplug_.Feed(test::CameraPlugged(d));
    }
    void Pull(const test::ReplayedUsbDevice& d)
    {
        media_->camera = false;
        openable_.erase("/dev/video" + std::to_string(d.firstVideo));
        hotplug_.Feed(test::CameraPulled(d));
    }

    CameraHotplug hotplug_;
    std::set<std::string> openable_;
};

TEST_F(HotplugTest, OnePlugOneMessageAndOneGoLiveOnePullOneMessageAndOneCloseAll)
{
    media_->camera = false;
    dlg_->Start();
    CloseMessages();
    messages_.clear();

    test::ReplayedUsbDevice cam;
    Plug(cam);
    EXPECT_EQ(messages_, QStringList { "Kestovar Full HD camera is detected!" });
    EXPECT_EQ(media_->previews, 1);
    EXPECT_EQ(media_->mode, AppMode::Live);
    CloseMessages();
    EXPECT_EQ(messages_.size(), 1) << "the camera's other nodes and interfaces said it again";

    const int closes = media_->closeAlls; // going live closes what ran before
    Pull(cam);
    CloseMessages();
    EXPECT_EQ(messages_.mid(1), QStringList { "Kestovar Full HD camera lost connecting!" });
    EXPECT_EQ(media_->closeAlls - closes, 1);
    EXPECT_EQ(media_->mode, AppMode::Idle);
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());

    // Plugged, pulled and plugged again within a second (at another port, new nodes).
    messages_.clear();
    Plug(cam);
    Pull(cam);
    test::ReplayedUsbDevice again = cam;
    again.port = "1-3";
    again.firstVideo = 2;
    Plug(again);
    CloseMessages();
    EXPECT_EQ(messages_,
        (QStringList { "Kestovar Full HD camera is detected!", "Kestovar Full HD camera lost connecting!",
            "Kestovar Full HD camera is detected!" }));
    EXPECT_EQ(media_->previews, 3);
    EXPECT_EQ(media_->mode, AppMode::Live);
    EXPECT_FALSE(Panel()->VideoView()->NoCameraNotice()->isVisible());
}

TEST_F(HotplugTest, PulledAndPluggedDuringTheArrivalWaitEndsLive)
{
    media_->camera = false;
    dlg_->Start();
    CloseMessages();
    messages_.clear();
    test::ReplayedUsbDevice cam;
    // Plugged; by the end of the 500 ms wait it has been pulled again, and its
    // removal and the next arrival are read after the wait.
    openable_.insert("/dev/video0");
    hotplug_.Feed(test::CameraPlugged(cam));
    // (The wait is scaled to nothing: the camera is gone when it ends.)
    EXPECT_EQ(media_->previews, 0) << "going live on a camera that is gone ends in \"preview error\"";
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());
    Pull(cam);
    Plug(cam);
    CloseMessages();
    EXPECT_EQ(media_->mode, AppMode::Live);
    EXPECT_EQ(media_->previews, 1);
    EXPECT_FALSE(Panel()->VideoView()->NoCameraNotice()->isVisible());
    EXPECT_EQ(messages_.last(), "Kestovar Full HD camera is detected!");
}

TEST_F(HotplugTest, TheArrivalWaitsUntilThePictureNodeOpensAndAPullBeforeSaysNothing)
{
    media_->camera = false;
    dlg_->Start();
    CloseMessages();
    messages_.clear();
    test::ReplayedUsbDevice cam;
    media_->camera = true;
    hotplug_.Feed(test::CameraPlugged(cam)); // udev has not given access to /dev/video0 yet
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(hotplug_.PendingCount(), 1);
    openable_.insert("/dev/video0");
    ASSERT_TRUE(test::WaitUntil([this] { return !messages_.isEmpty(); }));
    EXPECT_EQ(messages_, QStringList { "Kestovar Full HD camera is detected!" });
    EXPECT_EQ(media_->previews, 1);
    CloseMessages();

    // Another camera plugged and pulled before its node could be opened: nothing at all.
    test::ReplayedUsbDevice brief { "1-2", "0c45", "6366", "", 1, 9, 4, 2 };
    hotplug_.Feed(test::CameraPlugged(brief));
    hotplug_.Feed(test::CameraPulled(brief));
    EXPECT_EQ(hotplug_.PendingCount(), 0);
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(HotplugTest, AStickPluggedDuringARecordingChangesNothing)
{
    dlg_->Start();
    CloseMessages();
    messages_.clear();
    media_->mode = AppMode::Recording;
    const int closes = media_->closeAlls;
    hotplug_.Feed(test::StickPlugged("1-1"));
    hotplug_.Feed(test::StickPulled("1-1"));
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(media_->closeAlls, closes);
    EXPECT_EQ(media_->mode, AppMode::Recording);

    // The camera present since the start, pulled during the recording: known by its
    // removal alone, told once, the recording closed once.
    hotplug_.Feed(test::CameraPulled(test::ReplayedUsbDevice {}));
    CloseMessages();
    EXPECT_EQ(messages_, QStringList { "Kestovar Full HD camera lost connecting!" });
    EXPECT_EQ(media_->closeAlls - closes, 1);
}

TEST_F(HotplugTest, WithoutDeviceNotificationsTheOperatorIsToldAndTheStationGoesOn)
{
    media_->watchError = QStringLiteral("Operation not permitted");
    dlg_->Start();
    EXPECT_EQ(messages_, QStringList { "Can't register device notification: Operation not permitted" });
    EXPECT_EQ(media_->mode, AppMode::Live) << "the camera present at start is used";
    CloseMessages();
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(HotplugTest, ACameraGoneWhileItWasStartedIsToldAsALossOnce)
{
    dlg_->Start();
    CloseMessages();
    messages_.clear();
    // The preview's start met ENODEV: the station is Idle, the camera no longer listed.
    media_->mode = AppMode::Idle;
    media_->camera = false;
    dlg_->OnStreamEnded(QStringLiteral("the camera was unplugged"));
    hotplug_.Feed(test::CameraPulled(test::ReplayedUsbDevice {}));
    CloseMessages();
    EXPECT_EQ(messages_, QStringList { "Kestovar Full HD camera lost connecting!" });
    EXPECT_TRUE(Panel()->VideoView()->NoCameraNotice()->isVisible());
}
