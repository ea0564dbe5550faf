#pragma once
// What the video window and the transport bar need from the station around them. The
// main frame implements it (it owns the application state, the graphs, the case
// information form and the full-screen flag); tests implement it with a fake around a
// real PlayerGraph. The windows keep a plain reference: the host outlives them.
//
// Every call comes on the GUI thread, from the windows' own event handlers and timers.

#include "playback/PlayerGraph.h"

#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>

class QWidget;

namespace kestovar {

class AudioBackend;

// What the video area shows now. The numbers are those of the application's AppMode,
// so the frame converts one into the other with a static_cast.
enum class PlaybackMode : int32_t {
    Idle = 0,
    Live = 1,
    Recording = 2,
    Playing = 3,
    PlaybackPaused = 4, // also right after a movie was opened
    StillShown = 5,
};

class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;

    // ---- Application state ----
    virtual PlaybackMode Mode() const = 0;
    // The open player (AppState::playerGraph); null when no movie is open. The windows
    // use its seeking and event calls only; they never run, pause or stop it
    // themselves, except that the end of the movie pauses it before rewinding.
    virtual PlayerGraph* Player() const = 0;
    // GetGraphState: the run state of the first graph that answers (preview,
    // recording, player); Stopped when none exists.
    virtual PlayerGraph::State GraphState() const = 0;

    // ---- Media control operations (they move the mode) ----
    // Playing. False when the movie cannot play (the host may have closed it).
    virtual bool PlayPlayback() = 0;
    // PlaybackPaused. False without a player or when it failed.
    virtual bool PausePlayback() = 0;
    // Stops and rewinds to the first frame, paused; PlaybackPaused. Used only when a
    // rewind at the end of the movie failed.
    virtual bool StopPlayback() = 0;
    // The last resort after a failed rewind and stop: the movie path is forgotten
    // and the mode becomes Idle.
    virtual void AbandonPlayback() = 0;
    // The video window has a new size: the graph on show draws again at that size
    // (the player's, the recording's or the preview's UpdateVideoPosition), or in
    // StillShown the picture on show is drawn again (ShowStill without a path).
    virtual void UpdateVideoPosition() = 0;

    // ---- The case information form and the control panel ----
    // The form for a paused movie (ApplyModeToForm with kind OpenedMovie): the six
    // case fields disabled, TextClear and SelectFolder enabled, Modify shown, Save
    // hidden.
    virtual void ApplyPausedMovieToForm() = 0;
    // ApplyModeToForm with kind ByMode.
    virtual void ApplyModeToForm() = 0;
    virtual void UpdateControlStates() = 0;

    // ---- The frame ----
    // The frame's full-screen flag.
    virtual bool IsFullScreen() const = 0;
    // Escape in the video window while in full screen: the frame clears its flag and
    // calls CDlgVideoView::LeaveFullScreen.
    virtual void LeaveFullScreen() = 0;
    // The resolution choice of the settings: 0 = 1080P, 1 = 720P, 2 = 480P.
    virtual int ResolutionChoice() const = 0;
    // The control panel's rectangle, in the coordinates of the video window's parent
    // (the area the enlarge toggle fills, less the 70-pixel button row).
    virtual QRect ControlPanelRect() const = 0;
    // Where the hot keys F1, F3, F4, F5, F7, F9 and the transport bar's Escape and
    // Enter are posted (the main window). Null: the windows leave those keys to normal
    // processing (when an application-wide key filter already routes them).
    virtual QWidget* KeyTarget() const = 0;
    // A supported camera is listed now (F3, F4 and F5 need one).
    virtual bool CameraPresent() const = 0;

    // ---- Sound and messages ----
    // The station's sound, for the speaker's master volume; may be null.
    virtual std::shared_ptr<AudioBackend> Audio() const = 0;
    // Shows a failure to the operator; by default a message box over `parent`.
    virtual void ReportError(const QString& message, QWidget* parent);
};

} // namespace kestovar
