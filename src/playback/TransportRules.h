#pragma once
// The arithmetic and the small state machines of the video window and the transport
// bar, kept out of the widgets so they can be checked without a window: the time
// format, the seek bar's steps and targets, the enlarge rectangle, the hide countdown,
// the volume slider's start value and which keys go where.

#include "playback/PlaybackHost.h"

#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

namespace kestovar {

// 100-ns units per second, the unit of the player's times.
inline constexpr int64_t kUnitsPerSecond = 10'000'000;

// "%02u:%02u:%02u" of a time in 100-ns units: hours (modulo 60), minutes, seconds.
// Negative times show as 00:00:00.
QString FormatMovieTime(int64_t units);

// The seek bar's position after Prev (step -10) or Next (+10), held to its range.
int SkipPosition(int position, int step, int minimum, int maximum);
// Where a seek bar position (percent of the movie) seeks to: (duration / 100) * percent.
int64_t SeekTarget(int64_t duration, int percent);
// The seek bar's position for a play position (position * 100 / duration, held to
// 0..100); nothing for a movie without a duration.
std::optional<int> ProgressPercent(int64_t position, int64_t duration);

// The platform's MulDiv: a * b / c rounded to the nearest integer (halves away from
// zero); 0 when c is 0.
int MulDiv(int a, int b, int c);

// Height of the control panel's button row, which the video area leaves free.
inline constexpr int kPanelButtonRow = 70;
// The rectangle the enlarge toggle gives the video window: the control panel less its
// button row, for 1080P and 720P (choices 0 and 1) the whole of it, for 480P (2) the
// largest 4:3 rectangle centred in it. Nothing for any other choice or an empty area.
std::optional<QRect> EnlargedVideoRect(const QRect& controlPanel, int resolutionChoice);

// The transport bar's hide countdown (timer 2997, once a second). Restart at Play and
// at every mouse movement over the video window while playing; the third tick after
// that hides the bar and stops the timer.
class BarHideCountdown {
public:
    struct Tick {
        bool stopTimer = false;
        std::optional<int> alpha; // the bar's new alpha, when it changes
    };

    void Restart() { counter_ = 0; }
    // One tick. `running`: the graph runs; `fullScreen`: the frame's flag. A bar
    // hidden while the movie is paused or stopped stays visible outside full screen.
    Tick Step(bool running, bool fullScreen);
    int Counter() const { return counter_; }

private:
    int counter_ = 0;
};

// The master volume slider's first position: the speaker's level (0..1) * 100,
// rounded and held to 0..100; 30 when the level could not be read.
int VolumeSliderStart(std::optional<float> level);
inline constexpr int kVolumeSliderFallback = 30;

// What a key pressed in the video window or the transport bar does.
enum class KeyAction {
    Default, // normal processing (the parent may see it)
    Forward, // posted to the main window, and not processed here
    Swallow, // nothing happens
    LeaveFullScreen, // Escape in the video window: leave full screen if in it; swallowed
};
// F1, F7, F9 are forwarded; F3, F4, F5 too, except while a movie or picture is on show
// or no supported camera is present, when they do nothing. Escape leaves full screen.
KeyAction VideoWindowKeyAction(int key, PlaybackMode mode, bool cameraPresent);
// As the video window, but Escape and Enter are forwarded to the main window.
KeyAction TransportBarKeyAction(int key, PlaybackMode mode, bool cameraPresent);

} // namespace kestovar
