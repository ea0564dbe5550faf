#pragma once
// What the status bar shows during a recording, and when a recording file is full.
//
// The frame's one-second status timer feeds RecordingStatus::Tick with what it measured
// (frame count, the recording file's size or the failure to query it, free disk space)
// and gets back the two pane texts and what to do next: nothing, roll over into a new
// file, or end the recording because its file can no longer be found.
//
// GUI thread only.

#include <cstdint>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "recording/SizeLimitRule.h"

namespace kestovar {

// "1920 x 1080" for choice 0, "1280 x 720" for 1, "640 x 480" for anything else.
std::string VideoSourceSizeText(int resolutionChoice);
// "Video Source Size : %s, Frame Rate : %d fps"
std::string FormatSourceStatus(int resolutionChoice, int framesPerSecond);
// "Record Time : %s, File Size : %s"
std::string FormatRecordStatus(std::string_view recordTime, std::string_view sizeText);

// Elapsed time as "HH.MM.SS". Hours go on counting past 24 (25.00.00), and a negative
// span (the clock was set back) shows 00.00.00.
std::string FormatRecordTime(std::int64_t elapsedSeconds);

// Short byte size in the platform's style: "532 bytes", "1.30 KB", "22.9 KB", "2.28 MB",
// "1.23 GB": 1024-based units up to EB, three significant digits, cut (not rounded).
std::string FormatByteSize(std::uint64_t bytes);

// "Time Left : 4 min 20 s" when the free space lasts less than ten minutes at the
// current rate; nothing when it lasts longer or the rate is unknown.
std::optional<std::string> TimeLeftText(std::uint64_t freeBytes, double bytesPerSecond);
inline constexpr std::int64_t kTimeLeftWarningSeconds = 600;

enum class RecordingAction {
    None,
    RollOver, // the file reached the size limit: continue in a new file
    StopFileLost, // the file could not be queried for kFileLostTicks seconds: end the recording
};

// Shown when the recording is ended because its file can no longer be read.
inline constexpr std::string_view kRecordingFileLostMessage
    = "The recording file can no longer be found or read.\nThe recording was stopped.";
// A few seconds' grace: the file may not exist yet right after the graph starts.
inline constexpr int kFileLostTicks = 3;

struct StatusInput {
    std::time_t now = 0;
    int frames = 0; // frames counted since the last tick
    int resolutionChoice = 0;
    bool recording = false; // mode is Recording (also while paused)
    std::string path; // the recording graph's output path; empty without a graph
    std::optional<std::uint64_t> fileSize; // none when the size query failed
    int limitRecordSize = 6;
    std::optional<std::uint64_t> freeBytes; // free space of the movie folder's disk
};

struct StatusTexts {
    std::string pane0;
    std::string pane1;
    std::string timeLeft; // empty unless less than ten minutes of disk remain
    RecordingAction action = RecordingAction::None;
};

class RecordingStatus {
public:
    explicit RecordingStatus(SizeLimitRule rule = SizeLimitRule())
        : rule_(rule)
    {
    }

    // A recording file starts (Record Start, and each follow-on file of a roll-over).
    void StartFile(std::time_t now);
    std::time_t startTime() const { return start_; }

    StatusTexts Tick(const StatusInput& in);

    // Bytes per second over the last few seconds of the current file, once known.
    std::optional<double> bytesPerSecond() const;

    const SizeLimitRule& rule() const { return rule_; }

private:
    struct Sample {
        std::time_t time;
        std::uint64_t size;
    };

    SizeLimitRule rule_;
    std::time_t start_ = 0;
    int failedQueries_ = 0;
    std::deque<Sample> samples_;
};

} // namespace kestovar
