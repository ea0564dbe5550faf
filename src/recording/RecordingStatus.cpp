#include "recording/RecordingStatus.h"

#include <cstdio>

namespace kestovar {

namespace {

// Rate samples kept: long enough to smooth the muxer's bursts, short enough to follow
// a change of scene.
constexpr std::size_t kRateSamples = 10;

// Sizes near 2^64 times 100 need more than 64 bits.
__extension__ typedef unsigned __int128 Wide;

} // namespace

std::string VideoSourceSizeText(int resolutionChoice)
{
    switch (resolutionChoice) {
    case 0:
        return "1920 x 1080";
    case 1:
        return "1280 x 720";
    default:
        return "640 x 480";
    }
}

std::string FormatSourceStatus(int resolutionChoice, int framesPerSecond)
{
    return "Video Source Size : " + VideoSourceSizeText(resolutionChoice)
        + ", Frame Rate : " + std::to_string(framesPerSecond) + " fps";
}

std::string FormatRecordStatus(std::string_view recordTime, std::string_view sizeText)
{
    return "Record Time : " + std::string(recordTime) + ", File Size : " + std::string(sizeText);
}

std::string FormatRecordTime(std::int64_t elapsedSeconds)
{
    if (elapsedSeconds < 0)
        elapsedSeconds = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld.%02d.%02d", static_cast<long long>(elapsedSeconds / 3600),
        static_cast<int>(elapsedSeconds / 60 % 60), static_cast<int>(elapsedSeconds % 60));
    return text;
}

std::string FormatByteSize(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    static constexpr char kPrefix[] = "KMGTPE";
    Wide unit = 1024;
    for (int u = 0;; ++u, unit *= 1024) {
        const bool last = kPrefix[u + 1] == '\0';
        int decimals = -1;
        if (bytes < unit * 10)
            decimals = 2;
        else if (bytes < unit * 100)
            decimals = 1;
        else if (bytes < unit * 1000 || last)
            decimals = 0;
        if (decimals < 0)
            continue;
        const unsigned scale = decimals == 2 ? 100 : decimals == 1 ? 10 : 1;
        const auto scaled = static_cast<std::uint64_t>(static_cast<Wide>(bytes) * scale / unit);
        char text[48];
        if (decimals == 0)
            std::snprintf(text, sizeof text, "%llu %cB", static_cast<unsigned long long>(scaled), kPrefix[u]);
        else
            std::snprintf(text, sizeof text, "%llu.%0*llu %cB",
                static_cast<unsigned long long>(scaled / scale), decimals,
                static_cast<unsigned long long>(scaled % scale), kPrefix[u]);
        return text;
    }
}

std::optional<std::string> TimeLeftText(std::uint64_t freeBytes, double bytesPerSecond)
{
    if (!(bytesPerSecond > 0))
        return std::nullopt;
    const double seconds = static_cast<double>(freeBytes) / bytesPerSecond;
    if (seconds >= static_cast<double>(kTimeLeftWarningSeconds))
        return std::nullopt;
    const auto whole = static_cast<int>(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "Time Left : %d min %02d s", whole / 60, whole % 60);
    return std::string(text);
}

void RecordingStatus::StartFile(std::time_t now)
{
    start_ = now;
    failedQueries_ = 0;
    samples_.clear();
}

std::optional<double> RecordingStatus::bytesPerSecond() const
{
    if (samples_.size() < 2)
        return std::nullopt;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    if (last.time <= first.time || last.size < first.size)
        return std::nullopt;
    return static_cast<double>(last.size - first.size) / static_cast<double>(last.time - first.time);
}

StatusTexts RecordingStatus::Tick(const StatusInput& in)
{
    StatusTexts out;
    out.pane0 = FormatSourceStatus(in.resolutionChoice, in.frames);
    if (!in.recording)
        return out;

    const std::string elapsed = FormatRecordTime(static_cast<std::int64_t>(in.now - start_));
    std::string sizeText;
    if (!in.path.empty()) {
        if (in.fileSize) {
            failedQueries_ = 0;
            sizeText = FormatByteSize(*in.fileSize);
            if (!samples_.empty() && samples_.back().size > *in.fileSize)
                samples_.clear(); // a new file under the same path
            samples_.push_back({ in.now, *in.fileSize });
            while (samples_.size() > kRateSamples)
                samples_.pop_front();
            if (rule_.Reached(*in.fileSize, in.limitRecordSize))
                out.action = RecordingAction::RollOver;
        } else {
            sizeText = "unknown";
            if (++failedQueries_ >= kFileLostTicks)
                out.action = RecordingAction::StopFileLost;
        }
    }
    out.pane1 = FormatRecordStatus(elapsed, sizeText);

    if (in.freeBytes) {
        if (const auto rate = bytesPerSecond()) {
            if (auto left = TimeLeftText(*in.freeBytes, *rate))
                out.timeLeft = std::move(*left);
        }
    }
    return out;
}

} // namespace kestovar
