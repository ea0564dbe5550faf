// Recording control end to end with the simulated Full HD camera and microphone: the
// controller drives the real application object and graphs; the windows are a fake
// that remembers what it was told. Recordings are kept to a second or two.

#include "app/CCustomStatusBar.h"
#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/FrameRecordingWindows.h"
#include "app/RecordingController.h"
#include "app/RecordingWindows.h"
#include "app/StationMedia.h"
#include "dicom/CaptureSidecar.h"
#include "dicom/WorklistQuery.h"
#include "library/CKestovarFormView.h"
#include "ui/CGdipButton.h"

#include "capture/AviRepair.h"
#include "platform/PulseAudioBackend.h"

#include "../capture/SmallDisk.h"
#include "../platform/PrivatePulse.h"
#include "MediaTestFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdlib>
#include <mutex>
#include <regex>

namespace kestovar::test {
namespace {

using namespace std::chrono_literals;

// 2017-02-26 14:05:09 UTC.
constexpr std::time_t kMorning = 1488117909;

class FakeWindows final : public RecordingWindows {
public:
    explicit FakeWindows(CKestovarApp& app)
        : app_(app)
    {
    }
    CaseInfo CaseFields() const override { return fields; }
    void StartFileNameAlert() override { ++alerts; }
    void StopFileNameAlert() override { ++alertStops; }
    void ClearCaseFields() override { ++clears; }
    void SetCurrentCaseFile(const QString& path) override
    {
        currentCaseFile = path;
        // Only here: before the recording graph exists.
        caseFileBeforeMovie.push_back(
            QFileInfo::exists(QString::fromStdString(CaseInfoFilePath(path.toStdString())))
            && !QFileInfo::exists(path) && app_.recordGraph == nullptr);
    }
    void ApplyModeToForm() override { ++formModes; }
    void RefreshMediaList() override { ++refreshes; }
    void PlaceVideoForRecording() override { ++placements; }
    void UpdateControlStates() override { ++controlUpdates; }
    bool SoundMuted() const override { return muted; }
    void SetRecordButtonRecording(bool on) override { recordLook = on; }
    void ShowIndicatorPicture(int picture) override { pictures.push_back(picture); }
    void GoLive() override
    {
        ++goLives;
        app_.StartPreview();
    }
    void SetStatusPane(int pane, const QString& text) override { panes[pane] = text; }
    void ShowMessage(const QString& text) override { messages << text; }

    CaseInfo fields;
    bool muted = false;
    int alerts = 0, alertStops = 0, clears = 0, formModes = 0, refreshes = 0, placements = 0;
    int controlUpdates = 0, goLives = 0;
    bool recordLook = false;
    std::vector<int> pictures;
    std::vector<bool> caseFileBeforeMovie;
    QString currentCaseFile;
    QString panes[2];
    QStringList messages;

private:
    CKestovarApp& app_;
};

// Every packet each opened camera delivered, one log per open.
struct CameraLogs {
    std::mutex mutex;
    std::vector<std::vector<Packet>> opens;
};

class LoggingCamera final : public ForwardingCamera {
public:
    LoggingCamera(std::unique_ptr<CameraBackend> inner, CameraLogs& logs)
        : ForwardingCamera(std::move(inner))
        , logs_(logs)
    {
        std::lock_guard lock(logs_.mutex);
        index_ = logs_.opens.size();
        logs_.opens.emplace_back();
    }
    static inline std::atomic<bool> refuseStreaming { false };
    bool StartStreaming() override { return !refuseStreaming && inner_->StartStreaming(); }
    // The encoder takes no command value, as a camera that does not know them.
    static inline std::atomic<bool> refuseEncoderValues { false };
    int ExtensionUnitQuery(uint8_t u, uint8_t s, uint8_t q, uint8_t* d, uint16_t n) override
    {
        if (refuseEncoderValues && q == 0x01 /* UVC_SET_CUR */ && d[0] != 0x9A)
            return EPIPE;
        return inner_->ExtensionUnitQuery(u, s, q, d, n);
    }
    CameraReadStatus ReadPacket(CameraPacket& out, int ms) override
    {
        const CameraReadStatus status = inner_->ReadPacket(out, ms);
        if (status == CameraReadStatus::Packet) {
            std::lock_guard lock(logs_.mutex);
            logs_.opens[index_].push_back(out.data);
        }
        return status;
    }

private:
    CameraLogs& logs_;
    size_t index_ = 0;
};

class RecordingControlTest : public MediaTest {
public:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        CountedCamera::open = 0;
        CountedCamera::refuseStreaming = false;
        StartApp("fullhd");
        SetCameraProvider(
            std::make_shared<WrappingProvider>(simulated_, [this](std::unique_ptr<CameraBackend> c) {
                return std::make_unique<LoggingCamera>(std::move(c), logs_);
            }));
        std::filesystem::create_directories(dir_ / "root");
        app_->settings.SetRootPath(Path("root"));
        windows_ = std::make_unique<FakeWindows>(*app_);
        windows_->fields = CaseInfo { "2017-02-26", "knee", "Dr. Moreau", "A. Patient", "General Hospital",
            "left knee\narthroscopy" };
        controller_ = std::make_unique<RecordingController>(*app_, *windows_);
        controller_->SetClock([this] { return now_; });
    }
    void TearDown() override
    {
        controller_.reset();
        LoggingCamera::refuseStreaming = false;
        LoggingCamera::refuseEncoderValues = false;
        MediaTest::TearDown();
        unsetenv("TZ");
        tzset();
    }

    QString MovieFolder() const { return app_->settings.moviepath; }
    QStringList MovieFolderFiles() const { return QDir(MovieFolder()).entryList(QDir::Files, QDir::Name); }
    // Lets the recording run for `d` while the GUI thread keeps serving events.
    void RunFor(std::chrono::milliseconds d)
    {
        const auto end = std::chrono::steady_clock::now() + d;
        WaitUntil([&] { return std::chrono::steady_clock::now() >= end; });
    }
    static std::string Local(const QString& path) { return path.toStdString(); }

    CameraLogs logs_;
    std::time_t now_ = kMorning;
    std::unique_ptr<FakeWindows> windows_;
    std::unique_ptr<RecordingController> controller_;
};

TEST_F(RecordingControlTest, RecordStartNamesTheMovieWritesItsCaseFileFirstAndStopCompletesIt)
{
    ASSERT_TRUE(app_->StartPreview());
    QStringList finished;
    QObject::connect(
        controller_.get(), &RecordingController::movieFinished, [&](const QString& p) { finished << p; });

    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording) << errors_.join(", ").toStdString();
    const QString movie = MovieFolder() + "/knee_170226_140509.avi";
    EXPECT_EQ(controller_->CurrentMovie(), movie);
    EXPECT_EQ(QString::fromStdString(app_->recordGraph->OutputPath()), movie);
    ASSERT_EQ(windows_->caseFileBeforeMovie, std::vector<bool> { true });
    EXPECT_EQ(windows_->currentCaseFile, movie);
    EXPECT_EQ(app_->previewGraph, nullptr);
    EXPECT_TRUE(app_->recordGraph->WithAudio());
    EXPECT_EQ(windows_->placements, 1);
    EXPECT_TRUE(windows_->recordLook);
    EXPECT_TRUE(controller_->IndicatorRunning());

    // The case file: one section, the six keys in the form's order, the comment on one
    // line, CRLF line ends.
    EXPECT_EQ(ReadFileText(Local(MovieFolder() + "/knee_170226_140509.ini")),
        "[Kestovar]\r\nDate=2017-02-26\r\nFile Name=knee\r\nDoctor Name=Dr. Moreau\r\nPatient Name=A. "
        "Patient\r\nHospital Name=General Hospital\r\nComment=left knee\\narthroscopy\r\n");
    // The last doctor and hospital are remembered for the next case.
    EXPECT_EQ(app_->settings.GetDoctorName(), "Dr. Moreau");
    EXPECT_EQ(app_->settings.GetHospitalName(), "General Hospital");

    RunFor(1500ms);
    controller_->IndicatorTick();
    controller_->IndicatorTick();
    ASSERT_GE(windows_->pictures.size(), 2u);
    for (int picture : windows_->pictures) {
        EXPECT_GE(picture, 413);
        EXPECT_LE(picture, 424);
    }
    const size_t n = windows_->pictures.size();
    EXPECT_NE(windows_->pictures[n - 1], windows_->pictures[n - 2]) << "the indicator does not move";

    now_ += 75; // 1 min 15 s on
    controller_->StatusTick();
    EXPECT_TRUE(windows_->panes[0].startsWith("Video Source Size : 640 x 480, Frame Rate : "))
        << windows_->panes[0].toStdString();
    EXPECT_TRUE(windows_->panes[1].startsWith("Record Time : 00.01.15, File Size : "))
        << windows_->panes[1].toStdString();
    EXPECT_FALSE(windows_->panes[1].endsWith("File Size : ")) << "no size shown";
    EXPECT_EQ(app_->mode, AppMode::Recording) << "No Size Limit is the default here";

    const int refreshesBefore = windows_->refreshes;
    controller_->RecordStop();
    EXPECT_EQ(finished, QStringList { movie });
    EXPECT_EQ(app_->mode, AppMode::Live) << "not back to the live picture";
    EXPECT_NE(app_->previewGraph, nullptr);
    EXPECT_EQ(app_->recordGraph, nullptr);
    EXPECT_GT(windows_->refreshes, refreshesBefore);
    EXPECT_GE(windows_->clears, 1);
    EXPECT_FALSE(windows_->recordLook);
    EXPECT_FALSE(controller_->IndicatorRunning());
    EXPECT_TRUE(windows_->messages.isEmpty()) << windows_->messages.join("|").toStdString();

    const FileFacts facts = ReadFacts(Local(movie));
    ASSERT_TRUE(facts.opened);
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_EQ(facts.streams[0].codec, "h264");
    EXPECT_EQ(facts.streams[0].width, 640);
    EXPECT_EQ(facts.streams[1].codec, "mp3");
    EXPECT_GT(facts.streams[0].duration, 0.5);

    controller_->StatusTick();
    EXPECT_TRUE(windows_->panes[1].isEmpty()) << "record time shown while live";
    ExpectStateConsistent();
}

TEST_F(RecordingControlTest, RecordStartTwiceStartsAndStopsAndASecondMovieOfTheSameSecondGetsASuffix)
{
    windows_->muted = true; // the Speaker toggle on: no sound in the movie
    for (int round = 0; round < 2; ++round) {
        controller_->RecordStart();
        ASSERT_EQ(app_->mode, AppMode::Recording) << "round " << round;
        RunFor(1000ms);
        controller_->RecordStart(); // acts as Record Stop
        EXPECT_EQ(app_->mode, AppMode::Live) << "round " << round;
    }
    EXPECT_EQ(MovieFolderFiles(),
        (QStringList { "knee_170226_140509.avi", "knee_170226_140509.ini", "knee_170226_140509_2.avi",
            "knee_170226_140509_2.ini" }));
    for (const char* name : { "knee_170226_140509.avi", "knee_170226_140509_2.avi" }) {
        const FileFacts facts = ReadFacts(Local(MovieFolder() + "/" + name));
        ASSERT_TRUE(facts.opened) << name;
        ASSERT_EQ(facts.streams.size(), 1u) << name << ": sound recorded with the Speaker toggle on";
        EXPECT_FALSE(facts.streams[0].packets.empty()) << name;
    }
    ExpectStateConsistent();
}

TEST_F(RecordingControlTest, PauseTwicePausesAndResumesTheSameFileAndOutsideARecordingDoesNothing)
{
    ASSERT_TRUE(app_->StartPreview());
    controller_->RecordPause();
    EXPECT_EQ(app_->mode, AppMode::Live);
    EXPECT_NE(app_->previewGraph, nullptr);

    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    const std::string path = app_->recordGraph->OutputPath();
    const auto started = std::chrono::steady_clock::now();
    RunFor(800ms);

    controller_->RecordPause();
    EXPECT_EQ(app_->GetGraphState(), GraphRunState::Paused);
    EXPECT_EQ(app_->mode, AppMode::Recording);
    RunFor(1500ms);
    controller_->IndicatorTick();
    EXPECT_TRUE(controller_->IndicatorRunning()) << "the indicator stops during a pause";
    now_ += 3;
    controller_->StatusTick();
    EXPECT_TRUE(windows_->panes[1].startsWith("Record Time : 00.00.03")) << "time stops during a pause";

    controller_->RecordPause();
    EXPECT_EQ(app_->GetGraphState(), GraphRunState::Running);
    EXPECT_EQ(app_->recordGraph->OutputPath(), path) << "resumed into another file";
    RunFor(800ms);
    controller_->RecordStop();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ(MovieFolderFiles().size(), 2u) << MovieFolderFiles().join(", ").toStdString();
    const FileFacts facts = ReadFacts(path);
    ASSERT_TRUE(facts.opened);
    EXPECT_GT(facts.streams[0].duration, 0.3);
    // The paused 1.5 s are not in the movie.
    EXPECT_LT(facts.streams[0].duration, wall - 0.75);
    EXPECT_EQ(facts.streams[0].emptyPackets, 0);
}

TEST_F(RecordingControlTest, AnEmptyOrHostileFileNameStartsNothingAndStopsNothing)
{
    ASSERT_TRUE(app_->StartPreview());
    PreviewGraph* live = app_->previewGraph.get();

    windows_->fields.fileName.clear();
    controller_->RecordStart();
    EXPECT_EQ(windows_->alerts, 1);
    EXPECT_FALSE(windows_->recordLook);
    EXPECT_TRUE(windows_->messages.isEmpty()) << "the alert brings its own message";

    for (const char* hostile : { "../escape", "sub/dir", "line\nbreak" }) {
        windows_->fields.fileName = hostile;
        controller_->RecordStart();
    }
    EXPECT_EQ(windows_->messages.size(), 3);
    EXPECT_EQ(windows_->alerts, 1);

    EXPECT_EQ(app_->mode, AppMode::Live);
    EXPECT_EQ(app_->previewGraph.get(), live) << "the live picture was stopped";
    EXPECT_FALSE(controller_->IndicatorRunning());
    EXPECT_TRUE(MovieFolderFiles().isEmpty()) << MovieFolderFiles().join(", ").toStdString();
    EXPECT_TRUE(QDir(Path("root")).entryList({ "*.ini", "*.avi" }, QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(Path("")).entryList({ "*escape*" }, QDir::Files).isEmpty());
    EXPECT_TRUE(windows_->caseFileBeforeMovie.empty());
}

TEST_F(RecordingControlTest, AFailedStartLeavesNeitherMovieNorCaseFileAndTheButtonIdle)
{
    LoggingCamera::refuseStreaming = true;
    controller_->RecordStart();
    EXPECT_EQ(errors_, QStringList { "record error" });
    EXPECT_EQ(app_->mode, AppMode::Idle);
    EXPECT_FALSE(controller_->IndicatorRunning());
    EXPECT_FALSE(windows_->recordLook);
    EXPECT_TRUE(MovieFolderFiles().isEmpty()) << MovieFolderFiles().join(", ").toStdString();
    EXPECT_TRUE(app_->settings.GetDoctorName().isEmpty()) << "names saved for a recording that never ran";

    LoggingCamera::refuseStreaming = false;
    controller_->RecordStart(); // the name is free again
    EXPECT_EQ(controller_->CurrentMovie(), MovieFolder() + "/knee_170226_140509.avi");
    controller_->RecordStop();
}

TEST_F(RecordingControlTest, RecordStartIsIgnoredWhileAMovieIsOpen)
{
    ASSERT_TRUE(app_->OpenPlayback(Movie()));
    controller_->RecordStart();
    EXPECT_EQ(app_->mode, AppMode::PlaybackPaused);
    EXPECT_TRUE(MovieFolderFiles().isEmpty());
    EXPECT_EQ(windows_->alerts, 0);
}

// What the size check does with each limit: the windows in kilobytes through the rule.
TEST_F(RecordingControlTest, SizeLimitWindowsDecideEachRollOver)
{
    controller_->SetSizeLimitRule(SizeLimitRule(1024));
    std::uint64_t size = 0;
    controller_->SetFileSizeQuery([&size](const QString&) { return std::optional<std::uint64_t>(size); });

    struct Row {
        int limit;
        std::uint64_t size;
        bool rolls;
    };
    const Row rows[] = {
        { 0, 1023, false }, // "About 1GB" just under
        { 0, 1024, true }, { 1, 2047, false }, { 4, 5119, false }, { 4, 9 * 1024, true }, { 5, 10239, false },
        { 6, 100 * 1024, false }, // "No Size Limit"
        { 7, 100 * 1024, false }, // unknown value: never
        { -1, 100 * 1024, false }, { 1, 3 * 1024 + 1, true }, // first looked at past its window: still full
    };
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    int files = 1;
    for (const Row& row : rows) {
        const QString before = controller_->CurrentMovie();
        app_->settings.limitrecordsize = row.limit;
        size = row.size;
        controller_->StatusTick();
        ASSERT_EQ(app_->mode, AppMode::Recording) << "limit " << row.limit << " size " << row.size;
        const bool rolled = controller_->CurrentMovie() != before;
        EXPECT_EQ(rolled, row.rolls) << "limit " << row.limit << " size " << row.size;
        // The pane shows the full file's size, as measured before the roll-over.
        EXPECT_TRUE(windows_->panes[1].endsWith(QString::fromStdString(FormatByteSize(row.size))))
            << windows_->panes[1].toStdString();
        files += rolled;
    }
    controller_->RecordStop();
    EXPECT_EQ(MovieFolderFiles().size(), static_cast<qsizetype>(2 * files));
}

TEST_F(RecordingControlTest, RollOverContinuesInANewFileWithItsOwnCaseFileAndLosesNoPacket)
{
    QStringList started;
    QObject::connect(
        controller_.get(), &RecordingController::movieStarted, [&](const QString& p) { started << p; });
    // Any file past 1 KiB is full ("About 1GB" scaled down).
    app_->settings.limitrecordsize = 0;
    controller_->SetSizeLimitRule(SizeLimitRule(1024));

    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    now_ += 2;
    // The status timer itself finds the file full.
    ASSERT_TRUE(WaitUntil([&] { return started.size() >= 2; })) << "no roll-over";
    ASSERT_EQ(app_->mode, AppMode::Recording) << errors_.join(", ").toStdString();
    app_->settings.limitrecordsize = 6; // the second file runs to the stop
    EXPECT_TRUE(app_->recordGraph->WithAudio());
    now_ += 1;
    controller_->StatusTick();
    EXPECT_TRUE(windows_->panes[1].startsWith("Record Time : 00.00.01"))
        << "the follow-on file counts afresh";
    RunFor(1500ms);
    controller_->RecordStop();

    EXPECT_EQ(started,
        (QStringList {
            MovieFolder() + "/knee_170226_140509.avi", MovieFolder() + "/knee_170226_140511.avi" }));
    EXPECT_EQ(windows_->caseFileBeforeMovie, (std::vector<bool> { true, true }));
    EXPECT_EQ(windows_->placements, 1) << "the follow-on file is not laid out again";
    for (const QString& movie : started) {
        const CaseInfo info = ReadCaseInfoFile(Local(movie));
        EXPECT_EQ(info, windows_->fields) << movie.toStdString();
    }

    // Each file holds exactly what its camera session delivered from its first key
    // frame on: nothing lost at the end of the first, nothing repeated in the second.
    std::lock_guard lock(logs_.mutex);
    ASSERT_GE(logs_.opens.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const FileFacts facts = ReadFacts(Local(started[i]));
        ASSERT_TRUE(facts.opened) << i;
        ASSERT_EQ(facts.streams.size(), 2u) << i;
        EXPECT_EQ(facts.streams[1].codec, "mp3");
        const auto& packets = facts.streams[0].packets;
        const auto& delivered = logs_.opens[i];
        ASSERT_FALSE(packets.empty()) << i;
        const auto first = std::find(delivered.begin(), delivered.end(), packets.front());
        ASSERT_NE(first, delivered.end()) << "file " << i << " holds a packet its camera never sent";
        const auto skipped = static_cast<size_t>(first - delivered.begin());
        std::printf("file %d: %zu packets, %zu delivered, %zu before the first key frame\n", i,
            packets.size(), delivered.size(), skipped);
        ASSERT_EQ(packets.size(), delivered.size() - skipped) << "file " << i;
        for (size_t k = 0; k < packets.size(); ++k)
            ASSERT_EQ(packets[k], delivered[skipped + k]) << "file " << i << " packet " << k;
    }
}

TEST_F(RecordingControlTest, AStillDuringARecordingLeavesItUndisturbed)
{
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    const std::string movie = app_->recordGraph->OutputPath();
    RunFor(500ms);
    const int refreshes = windows_->refreshes;
    QStringList asked;
    QObject::connect(
        controller_.get(), &RecordingController::snapshotRequested, [&](const QString& p) { asked << p; });
    controller_->SnapShot();
    controller_->SnapShot(); // before the next frame: the same picture, asked for once
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], app_->settings.imagepath + "/170226_140509.jpg");
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(asked[0]); }));
    controller_->SnapShot(); // the same second: a second picture, not a replacement
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1], app_->settings.imagepath + "/170226_140509_2.jpg");
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(asked[1]); }));
    EXPECT_TRUE(WaitUntil([&] { return windows_->refreshes > refreshes; })) << "the list was not refreshed";
    EXPECT_EQ(app_->mode, AppMode::Recording);
    EXPECT_EQ(app_->recordGraph->OutputPath(), movie);
    EXPECT_EQ(app_->GetGraphState(), GraphRunState::Running);
    EXPECT_FALSE(QImage(asked[0]).isNull());
    RunFor(500ms);
    controller_->RecordStop();
    const FileFacts facts = ReadFacts(movie);
    ASSERT_TRUE(facts.opened);
    EXPECT_EQ(facts.streams[0].emptyPackets, 0) << "the recording skipped while the picture was taken";
}

TEST_F(RecordingControlTest, ARecordingFileThatVanishesOrAFullDiskEndsTheRecordingWithAMessage)
{
    // The size query fails: told after a few seconds' grace, the recording ends cleanly.
    controller_->SetFileSizeQuery([](const QString&) { return std::optional<std::uint64_t>(); });
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    const std::string first = app_->recordGraph->OutputPath();
    RunFor(700ms);
    for (int tick = 0; tick < kFileLostTicks && app_->mode == AppMode::Recording; ++tick) {
        ++now_;
        controller_->StatusTick();
    }
    EXPECT_EQ(app_->mode, AppMode::Live);
    ASSERT_EQ(windows_->messages.size(), 1);
    EXPECT_EQ(windows_->messages[0].toStdString(), kRecordingFileLostMessage);
    EXPECT_FALSE(controller_->IndicatorRunning());
    EXPECT_FALSE(windows_->recordLook);
    EXPECT_TRUE(ReadFacts(first).opened) << "the file was not completed";

    // The writer reports a full disk: the same clean end, with the writer's reason.
    controller_->SetFileSizeQuery(nullptr);
    ++now_;
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    const std::string second = app_->recordGraph->OutputPath();
    RunFor(700ms);
    emit app_->recordingFailed(QStringLiteral("cannot write: No space left on device"));
    EXPECT_EQ(app_->mode, AppMode::Live);
    ASSERT_EQ(windows_->messages.size(), 2);
    EXPECT_TRUE(windows_->messages[1].contains("No space left on device"));
    EXPECT_TRUE(windows_->messages[1].contains("The recording was stopped"));
    EXPECT_TRUE(ReadFacts(second).opened);
    ExpectStateConsistent();
}

TEST_F(RecordingControlTest, AFillingDiskShowsTheTimeLeftEndsTheRecordingOnceAndTheNextDiskWorks)
{
    SmallDisk disk(12 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.WhyNot();
    app_->settings.SetRootPath(QString::fromStdString(disk.Folder()));
    app_->settings.resolution = Res1080; // fills the small disk in seconds
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    const std::string movie = app_->recordGraph->OutputPath();

    // The status bar warns while the disk fills (less than ten minutes at this rate).
    QString warned;
    for (int tick = 0; tick < 40 && app_->mode == AppMode::Recording; ++tick) {
        RunFor(500ms);
        ++now_;
        controller_->StatusTick();
        if (windows_->panes[1].contains("Time Left : "))
            warned = windows_->panes[1];
    }
    ASSERT_EQ(app_->mode, AppMode::Live) << "the recording did not end on the full disk";
    std::printf("status while filling: %s\n", qPrintable(warned));
    EXPECT_TRUE(warned.contains(QRegularExpression("Time Left : 0 min \\d\\d s"))) << warned.toStdString();
    ASSERT_EQ(windows_->messages.size(), 1) << "told exactly once";
    EXPECT_TRUE(windows_->messages[0].contains("No space left on device"))
        << windows_->messages[0].toStdString();
    EXPECT_TRUE(windows_->messages[0].contains("What was recorded up to then is kept"));
    EXPECT_FALSE(controller_->IndicatorRunning());
    EXPECT_EQ(InspectAvi(movie), AviFileState::Complete);
    EXPECT_GT(FfprobeVideoPackets(movie), 30);
    ExpectStateConsistent();

    // A disk with room: the next recording works.
    app_->settings.SetRootPath(Path("root"));
    ++now_;
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording);
    const std::string next = app_->recordGraph->OutputPath();
    RunFor(1500ms);
    controller_->RecordStop();
    EXPECT_EQ(windows_->messages.size(), 1);
    EXPECT_EQ(InspectAvi(next), AviFileState::Complete);
    EXPECT_GT(FfprobeVideoPackets(next), 20);
}

TEST_F(RecordingControlTest, TheIndicatorStopsWhenSomethingElseEndsTheRecording)
{
    controller_->RecordStart();
    ASSERT_TRUE(controller_->IndicatorRunning());
    app_->StartPreview(); // the Live action: the recording is closed, the picture goes on
    controller_->IndicatorTick();
    EXPECT_FALSE(controller_->IndicatorRunning());
    EXPECT_FALSE(windows_->recordLook);
    EXPECT_TRUE(controller_->CurrentMovie().isEmpty());
}

} // namespace
} // namespace kestovar::test

namespace kestovar::test {
namespace {

// The frame's own recording control over the real windows.
class FrameRecordingTest : public MediaTest { };

QWidget* IndicatorOver(QWidget* button)
{
    for (QWidget* child : button->findChildren<QWidget*>()) {
        if (child->geometry() == QRect(20, 12, 32, 32))
            return child;
    }
    return nullptr;
}

TEST_F(FrameRecordingTest, TheFramesControlFillsTheStatusBarAndAnimatesTheRecordButton)
{
    AppStationMedia media(*app_);
    CMainFrame frame(media, nullptr);
    frame.resize(1280, 800);
    RecordingController* recording = RecordingFor(frame);
    ASSERT_NE(recording, nullptr);
    EXPECT_EQ(RecordingFor(frame), recording) << "a second controller for the same frame";
    EXPECT_TRUE(recording->StatusTimerRunning());

    app_->settings.resolution = 1;
    recording->StatusTick();
    EXPECT_EQ(frame.StatusBar()->PaneText(0), "Video Source Size : 1280 x 720, Frame Rate : 0 fps");
    EXPECT_TRUE(frame.StatusBar()->PaneText(1).isEmpty());

    FrameRecordingWindows* windows = AttachRecording(frame);
    CGdipButton* record = frame.ControlPanel()->RecordButton();
    QWidget* indicator = IndicatorOver(record);
    ASSERT_NE(indicator, nullptr);
    windows->ShowIndicatorPicture(415);
    EXPECT_TRUE(record->IsToggled());
    EXPECT_TRUE(indicator->isVisibleTo(record));
    EXPECT_TRUE(indicator->testAttribute(Qt::WA_TransparentForMouseEvents)) << "the picture swallows clicks";
    windows->SetRecordButtonRecording(false);
    EXPECT_FALSE(record->IsToggled());
    EXPECT_FALSE(indicator->isVisibleTo(record));

    EXPECT_FALSE(windows->SoundMuted());
    frame.ControlPanel()->SpeakerButton()->SetToggled(true);
    EXPECT_TRUE(windows->SoundMuted());
}

TEST_F(FrameRecordingTest, AWorklistChoiceFillsTheFormAndTravelsWithTheCapturesOfThatPatient)
{
    AppStationMedia media(*app_);
    CMainFrame frame(media, nullptr);
    CKestovarFormView* form = frame.CaseForm();
    form->SetFieldText(CKestovarFormView::HospitalField, QStringLiteral("General Hospital"));
    WorklistEntry e;
    e.patientName = QStringLiteral("Müller^Jürgen");
    e.patientId = QStringLiteral("HOSP-4711");
    e.accessionNumber = QStringLiteral("ACC-1");
    e.studyInstanceUid = QStringLiteral("1.2.826.0.1.3680043.2.1125.4711");
    e.performingPhysician = QStringLiteral("House^Gregory");
    e.procedureDescription = QStringLiteral("Gastroscopy: biopsy?");
    frame.ApplyWorklistEntry(e); // no institution given: Hospital stays
    EXPECT_EQ(form->FieldText(CKestovarFormView::PatientField), QStringLiteral("Jürgen Müller"));
    EXPECT_EQ(form->FieldText(CKestovarFormView::DoctorField), QStringLiteral("Gregory House"));
    EXPECT_EQ(form->FieldText(CKestovarFormView::HospitalField), QStringLiteral("General Hospital"));
    EXPECT_EQ(form->FieldText(CKestovarFormView::FileNameField), QStringLiteral("Gastroscopy biopsy"));
    EXPECT_TRUE(form->FieldEnabled(CKestovarFormView::PatientField));

    RecordingController* recording = RecordingFor(frame);
    ASSERT_NE(recording, nullptr);
    const QString movie = Path("Gastroscopy biopsy_170226_140509.avi");
    emit recording->movieStarted(movie);
    const CaptureSidecar kept = ReadSidecar(movie.toStdString());
    ASSERT_TRUE(kept.procedure);
    EXPECT_EQ(kept.procedure->patientName, "Müller^Jürgen");
    EXPECT_EQ(kept.procedure->accessionNumber, "ACC-1");
    EXPECT_EQ(kept.studyUid, "1.2.826.0.1.3680043.2.1125.4711");

    // Another patient typed in: the next capture is not of the ordered procedure.
    form->SetFieldText(CKestovarFormView::PatientField, QStringLiteral("Someone Else"));
    const QString still = Path("170226_140600.jpg");
    emit recording->snapshotRequested(still);
    EXPECT_FALSE(ReadSidecar(still.toStdString()).procedure);
}

TEST_F(RecordingControlTest, AnEncoderRefusingTheQualityRecordsAtItsOwnSettingToldOnceInTheStatusBar)
{
    const QString notice = "The camera did not accept the quality setting; it records at its own setting.";
    LoggingCamera::refuseEncoderValues = true;
    ASSERT_TRUE(app_->StartPreview()) << errors_.join(", ").toStdString();
    EXPECT_EQ(windows_->panes[1], notice);

    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording) << errors_.join(", ").toStdString();
    const size_t recordingOpen = logs_.opens.size() - 1;
    RunFor(std::chrono::milliseconds(400));
    now_ += 2;
    controller_->StatusTick();
    EXPECT_TRUE(windows_->panes[1].startsWith("Record Time : 00.00.02")) << windows_->panes[1].toStdString();
    EXPECT_TRUE(windows_->panes[1].endsWith(notice)) << windows_->panes[1].toStdString();
    controller_->RecordStop();
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join(", ").toStdString();
    EXPECT_TRUE(windows_->messages.isEmpty()) << windows_->messages.join("|").toStdString();
    {
        std::lock_guard lock(logs_.mutex);
        EXPECT_GT(logs_.opens.at(recordingOpen).size(), 3u) << "the camera's stream was not recorded";
    }

    // Later starts meet the same refusal and say nothing more; the notice goes.
    now_ += RecordingController::kNoticeSeconds;
    controller_->StatusTick();
    EXPECT_FALSE(windows_->panes[1].contains(notice));
    ASSERT_TRUE(app_->StartPreview());
    controller_->StatusTick();
    EXPECT_FALSE(windows_->panes[1].contains(notice)) << "told again";
}

// The desktop's sound server stops and comes back while a movie records from it: the
// recording goes on, and the operator is told once, not on every status tick.
TEST_F(RecordingControlTest, ASoundServerStoppedDuringARecordingIsToldOnceAndTheRecordingGoesOn)
{
    PrivatePulse server; // its own daemon: stopping it disturbs no other test
    if (!server.Start())
        GTEST_SKIP() << server.Why();
    app_->UseAudio(std::make_shared<PulseAudioBackend>("kestovar-test"));
    ASSERT_TRUE(app_->StartPreview());
    controller_->RecordStart();
    ASSERT_EQ(app_->mode, AppMode::Recording) << errors_.join(", ").toStdString();
    RunFor(1500ms);
    server.Stop();
    RunFor(1500ms);
    ASSERT_TRUE(server.Start()) << server.Why();
    RunFor(4s); // the sound is back by then, and the status has ticked every second
    EXPECT_EQ(app_->mode, AppMode::Recording);
    controller_->RecordStop();
    ASSERT_EQ(windows_->messages.size(), 1) << windows_->messages.join("|").toStdString();
    EXPECT_EQ(windows_->messages[0].toStdString(),
        "The sound server stopped during the recording.\nThe recording goes on; its sound resumes when the "
        "server is back.");
    const FileFacts facts = ReadFacts(Local(MovieFolder() + "/knee_170226_140509.avi"));
    ASSERT_EQ(facts.streams.size(), 2u);
    EXPECT_NEAR(facts.streams[1].duration, facts.streams[0].duration, 0.1);
}

} // namespace
} // namespace kestovar::test
