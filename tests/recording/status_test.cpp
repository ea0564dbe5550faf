// Status-bar texts of a recording, the size-limit windows and the roll-over decision,
// the time-left warning and the Record button's animation counter.

#include "recording/RecordIndicator.h"
#include "recording/RecordingStatus.h"
#include "recording/SizeLimitRule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace kestovar {
namespace {

TEST(ByteSizeText, ThreeSignificantDigitsCutInBinaryUnits)
{
    const std::vector<std::pair<std::uint64_t, const char*>> table = {
        { 0, "0 bytes" },
        { 532, "532 bytes" },
        { 1023, "1023 bytes" },
        { 1024, "1.00 KB" },
        { 1340, "1.30 KB" }, // 1.308: cut, not rounded
        { 10239, "9.99 KB" },
        { 10240, "10.0 KB" },
        { 23506, "22.9 KB" },
        { 1023999, "999 KB" },
        { 1024000, "0.97 MB" }, // 1000 KB and more switch to the next unit
        { 2400016, "2.28 MB" },
        { kGiB - 1, "0.99 GB" },
        { kGiB, "1.00 GB" },
        { 1320702444, "1.23 GB" },
        { 10 * kGiB, "10.0 GB" },
        { 1024 * kGiB, "1.00 TB" },
        { std::numeric_limits<std::uint64_t>::max(), "15.9 EB" },
    };
    for (const auto& [bytes, text] : table) {
        EXPECT_EQ(FormatByteSize(bytes), text) << bytes;
        EXPECT_LE(FormatByteSize(bytes).size(), 32u);
    }
}

TEST(RecordTimeText, HoursMinutesSecondsWithDotsAndHoursPastADay)
{
    EXPECT_EQ(FormatRecordTime(0), "00.00.00");
    EXPECT_EQ(FormatRecordTime(59), "00.00.59");
    EXPECT_EQ(FormatRecordTime(3661), "01.01.01");
    EXPECT_EQ(FormatRecordTime(86399), "23.59.59");
    EXPECT_EQ(FormatRecordTime(90000), "25.00.00");
    EXPECT_EQ(FormatRecordTime(-5), "00.00.00");
}

TEST(SourceStatusText, NamesTheResolutionChoiceAndTheFrameCount)
{
    EXPECT_EQ(FormatSourceStatus(0, 30), "Video Source Size : 1920 x 1080, Frame Rate : 30 fps");
    EXPECT_EQ(FormatSourceStatus(1, 25), "Video Source Size : 1280 x 720, Frame Rate : 25 fps");
    EXPECT_EQ(FormatSourceStatus(2, 0), "Video Source Size : 640 x 480, Frame Rate : 0 fps");
    EXPECT_EQ(FormatSourceStatus(9, 20), "Video Source Size : 640 x 480, Frame Rate : 20 fps");
}

TEST(SizeLimit, WindowsOfEveryMenuValue)
{
    const SizeLimitRule rule;
    struct Row {
        int value;
        std::uint64_t from;
        std::uint64_t to; // 0 = open-ended
    };
    const std::vector<Row> rows = {
        { 0, kGiB, 2 * kGiB },
        { 1, 2 * kGiB, 3 * kGiB },
        { 2, 3 * kGiB, 4 * kGiB },
        { 3, 4 * kGiB, 5 * kGiB },
        { 4, 5 * kGiB, 10 * kGiB },
        { 5, 10737418240ull, 0 },
    };
    for (const Row& row : rows) {
        const auto window = rule.Window(row.value);
        ASSERT_TRUE(window) << row.value;
        EXPECT_EQ(window->from, row.from) << row.value;
        EXPECT_EQ(window->to.value_or(0), row.to) << row.value;
    }
    for (int none : { 6, 7, -1, 1000 })
        EXPECT_FALSE(rule.Window(none)) << none;
}

TEST(SizeLimit, RollOverDecisionAroundEachWindow)
{
    const SizeLimitRule rule;
    struct Case {
        int limit;
        std::uint64_t size;
        bool rollOver;
    };
    const std::vector<Case> cases = {
        { 0, 0, false },
        { 0, kGiB - 1, false },
        { 0, kGiB, true },
        { 0, 2 * kGiB - 1, true },
        { 0, 3 * kGiB, true }, // already past the window when first looked at
        { 1, kGiB, false },
        { 1, 2 * kGiB, true },
        { 4, 5 * kGiB - 1, false },
        { 4, 9 * kGiB, true },
        { 5, 10 * kGiB - 1, false },
        { 5, 10 * kGiB, true },
        { 5, 900 * kGiB, true },
        { 6, 900 * kGiB, false },
        { 42, 900 * kGiB, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(rule.Reached(c.size, c.limit), c.rollOver) << "limit " << c.limit << ", size " << c.size;
}

TEST(SizeLimit, AScaledRuleKeepsTheWindowsInItsOwnUnit)
{
    const SizeLimitRule kilo(1000);
    EXPECT_FALSE(kilo.Reached(999, 0));
    EXPECT_TRUE(kilo.Reached(1000, 0));
    EXPECT_FALSE(kilo.Reached(4999, 4));
    EXPECT_TRUE(kilo.Reached(5000, 4));
    EXPECT_EQ(kilo.Window(4)->to, 10000u);
}

StatusInput Recording(std::time_t now, std::optional<std::uint64_t> size, int limit = 6)
{
    StatusInput in;
    in.now = now;
    in.frames = 30;
    in.resolutionChoice = 0;
    in.recording = true;
    in.path = "/cases/movie/knee_170226_140509.avi";
    in.fileSize = size;
    in.limitRecordSize = limit;
    return in;
}

TEST(RecordingStatusTick, ShowsElapsedTimeAndSizeOnlyWhileRecording)
{
    RecordingStatus status;
    status.StartFile(1000);

    StatusInput idle;
    idle.now = 1005;
    idle.frames = 29;
    const StatusTexts idleTexts = status.Tick(idle);
    EXPECT_EQ(idleTexts.pane0, "Video Source Size : 1920 x 1080, Frame Rate : 29 fps");
    EXPECT_EQ(idleTexts.pane1, "");

    const StatusTexts rec = status.Tick(Recording(1005, 1340));
    EXPECT_EQ(rec.pane1, "Record Time : 00.00.05, File Size : 1.30 KB");
    EXPECT_EQ(rec.action, RecordingAction::None);

    StatusInput noGraph = Recording(1007, std::nullopt);
    noGraph.path.clear();
    const StatusTexts noPath = status.Tick(noGraph);
    EXPECT_EQ(noPath.pane1, "Record Time : 00.00.07, File Size : ");
    EXPECT_EQ(noPath.action, RecordingAction::None);
}

TEST(RecordingStatusTick, RollsOverAtTheScaledLimitAndTheNextFileCountsFromZero)
{
    RecordingStatus status { SizeLimitRule(1000) };
    status.StartFile(0);
    EXPECT_EQ(status.Tick(Recording(1, 400, 0)).action, RecordingAction::None);
    const StatusTexts full = status.Tick(Recording(2, 1200, 0));
    EXPECT_EQ(full.action, RecordingAction::RollOver);
    EXPECT_EQ(full.pane1, "Record Time : 00.00.02, File Size : 1.17 KB"); // texts from before the roll-over

    status.StartFile(3);
    const StatusTexts next = status.Tick(Recording(3, 0, 0));
    EXPECT_EQ(next.pane1, "Record Time : 00.00.00, File Size : 0 bytes");
    EXPECT_EQ(next.action, RecordingAction::None);
}

TEST(RecordingStatusTick, AFileThatCannotBeQueriedEndsTheRecordingAfterAFewSeconds)
{
    RecordingStatus status;
    status.StartFile(0);
    for (int t = 1; t < kFileLostTicks; ++t) {
        const StatusTexts texts = status.Tick(Recording(t, std::nullopt));
        EXPECT_EQ(texts.action, RecordingAction::None) << t;
        EXPECT_EQ(texts.pane1, "Record Time : 00.00.0" + std::to_string(t) + ", File Size : unknown");
    }
    // One good answer starts the grace again.
    EXPECT_EQ(status.Tick(Recording(kFileLostTicks, 5000)).action, RecordingAction::None);
    for (int t = 1; t < kFileLostTicks; ++t)
        EXPECT_EQ(status.Tick(Recording(10 + t, std::nullopt)).action, RecordingAction::None);
    EXPECT_EQ(status.Tick(Recording(20, std::nullopt)).action, RecordingAction::StopFileLost);
    EXPECT_FALSE(kRecordingFileLostMessage.empty());
}

TEST(TimeLeft, WarnsOnlyUnderTenMinutesAtTheMeasuredRate)
{
    EXPECT_EQ(TimeLeftText(300'000'000, 1'000'000.0).value_or(""), "Time Left : 5 min 00 s");
    EXPECT_EQ(TimeLeftText(599'000'000, 1'000'000.0).value_or(""), "Time Left : 9 min 59 s");
    EXPECT_FALSE(TimeLeftText(600'000'000, 1'000'000.0));
    EXPECT_EQ(TimeLeftText(0, 1'000'000.0).value_or(""), "Time Left : 0 min 00 s");
    EXPECT_FALSE(TimeLeftText(1000, 0.0));

    RecordingStatus status;
    status.StartFile(100);
    StatusTexts texts;
    for (int s = 1; s <= 6; ++s) {
        StatusInput in = Recording(100 + s, static_cast<std::uint64_t>(s) * 2'000'000);
        in.freeBytes = 240'000'000;
        texts = status.Tick(in);
    }
    ASSERT_TRUE(status.bytesPerSecond());
    EXPECT_DOUBLE_EQ(*status.bytesPerSecond(), 2'000'000.0);
    EXPECT_EQ(texts.timeLeft, "Time Left : 2 min 00 s");

    StatusInput plenty = Recording(107, 14'000'000);
    plenty.freeBytes = 500ull * kGiB;
    EXPECT_EQ(status.Tick(plenty).timeLeft, "");
}

TEST(RecordIndicatorCounter, CyclesThroughTwelvePicturesAcrossRecordings)
{
    RecordIndicator indicator;
    std::vector<int> seen;
    for (int i = 0; i < 26; ++i)
        seen.push_back(indicator.NextPicture());
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(seen[i], 413 + i % 12) << i;
    EXPECT_EQ(RecordIndicator::PictureFor(0), 413);
    EXPECT_EQ(RecordIndicator::PictureFor(13), 413);
    EXPECT_EQ(RecordIndicator::Advance(40), 1);

    RecordIndicator& process = RecordIndicator::Process();
    const int before = process.counter();
    process.NextPicture();
    EXPECT_EQ(&RecordIndicator::Process(), &process);
    EXPECT_EQ(RecordIndicator::Process().counter(), RecordIndicator::Advance(before));
}

} // namespace
} // namespace kestovar
