#pragma once
// The video window's and transport bar's view of the station: AppState through
// StationMedia, the full-screen flag and the control panel through the frame.
// GUI thread only; owned by the control panel, it outlives the video window.

#include "playback/PlaybackHost.h"

#include <functional>

namespace kestovar {

class CKestovarLeftFormView;
class CMainFrame;
class StationMedia;

class FramePlaybackHost final : public PlaybackHost {
public:
    FramePlaybackHost(StationMedia& media, CKestovarLeftFormView& panel);

    // The frame is found once it exists (the panel is built inside it).
    void SetFrame(CMainFrame* frame) { frame_ = frame; }
    // The case information form follows the mode (set when the form exists).
    void SetFormCallbacks(std::function<void()> pausedMovie, std::function<void()> byMode);

    PlaybackMode Mode() const override;
    PlayerGraph* Player() const override;
    PlayerGraph::State GraphState() const override;
    bool PlayPlayback() override;
    bool PausePlayback() override;
    bool StopPlayback() override;
    void AbandonPlayback() override;
    void UpdateVideoPosition() override;
    void ApplyPausedMovieToForm() override;
    void ApplyModeToForm() override;
    void UpdateControlStates() override;
    bool IsFullScreen() const override;
    void LeaveFullScreen() override;
    int ResolutionChoice() const override;
    QRect ControlPanelRect() const override;
    QWidget* KeyTarget() const override;
    bool CameraPresent() const override;
    std::shared_ptr<AudioBackend> Audio() const override;

private:
    StationMedia& media_;
    CKestovarLeftFormView& panel_;
    CMainFrame* frame_ = nullptr;
    std::function<void()> pausedMovie_;
    std::function<void()> byMode_;
};

} // namespace kestovar
