#include "playback/TransportRules.h"

#include <qnamespace.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestovar {

QString FormatMovieTime(int64_t units)
{
    const int64_t seconds = std::max<int64_t>(units, 0) / kUnitsPerSecond;
    const unsigned h = static_cast<unsigned>((seconds / 3600) % 60);
    const unsigned m = static_cast<unsigned>((seconds / 60) % 60);
    const unsigned s = static_cast<unsigned>(seconds % 60);
    return QString::asprintf("%02u:%02u:%02u", h, m, s);
}

int SkipPosition(int position, int step, int minimum, int maximum)
{
    return std::clamp(position + step, minimum, std::max(minimum, maximum));
}

int64_t SeekTarget(int64_t duration, int percent)
{
    return (std::max<int64_t>(duration, 0) / 100) * std::clamp(percent, 0, 100);
}

std::optional<int> ProgressPercent(int64_t position, int64_t duration)
{
    if (duration <= 0)
        return std::nullopt;
    // Play positions are far below 2^63 / 100 (29 000 years in 100-ns units).
    const int64_t percent = std::max<int64_t>(position, 0) * 100 / duration;
    return static_cast<int>(std::min<int64_t>(percent, 100));
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return 0;
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

std::optional<QRect> EnlargedVideoRect(const QRect& controlPanel, int resolutionChoice)
{
    const QRect area(controlPanel.left(), controlPanel.top(), controlPanel.width(),
        controlPanel.height() - kPanelButtonRow);
    if (area.width() <= 0 || area.height() <= 0)
        return std::nullopt;
    switch (resolutionChoice) {
    case 0:
    case 1:
        return area;
    case 2: {
        int width = MulDiv(area.height(), 4, 3);
        int height = area.height();
        if (width > area.width()) {
            width = area.width();
            height = MulDiv(area.width(), 3, 4);
        }
        return QRect(area.left() + (area.width() - width) / 2, area.top() + (area.height() - height) / 2,
            width, height);
    }
    default:
        return std::nullopt;
    }
}

BarHideCountdown::Tick BarHideCountdown::Step(bool running, bool fullScreen)
{
    Tick tick;
    if (counter_ >= 2) {
        counter_ = 0;
        tick.stopTimer = true;
        tick.alpha = running || fullScreen ? 0 : 255;
    }
    ++counter_;
    return tick;
}

int VolumeSliderStart(std::optional<float> level)
{
    if (!level || !std::isfinite(*level))
        return kVolumeSliderFallback;
    return std::clamp(static_cast<int>(*level * 100.0f + 0.5f), 0, 100);
}

namespace {

bool RecordingKey(int key)
{
    return key == Qt::Key_F3 || key == Qt::Key_F4 || key == Qt::Key_F5;
}

std::optional<KeyAction> HotKeyAction(int key, PlaybackMode mode, bool cameraPresent)
{
    if (key == Qt::Key_F1 || key == Qt::Key_F7 || key == Qt::Key_F9)
        return KeyAction::Forward;
    if (RecordingKey(key)) {
        const bool mediaOnShow = mode == PlaybackMode::Playing || mode == PlaybackMode::PlaybackPaused
            || mode == PlaybackMode::StillShown;
        // Swallowed rather than passed on, so no parent window records by it.
        return mediaOnShow || !cameraPresent ? KeyAction::Swallow : KeyAction::Forward;
    }
    return std::nullopt;
}

} // namespace

KeyAction VideoWindowKeyAction(int key, PlaybackMode mode, bool cameraPresent)
{
    if (key == Qt::Key_Escape)
        return KeyAction::LeaveFullScreen;
    return HotKeyAction(key, mode, cameraPresent).value_or(KeyAction::Default);
}

KeyAction TransportBarKeyAction(int key, PlaybackMode mode, bool cameraPresent)
{
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)
        return KeyAction::Forward;
    return HotKeyAction(key, mode, cameraPresent).value_or(KeyAction::Default);
}

} // namespace kestovar
