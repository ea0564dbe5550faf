#include "app/FramePlaybackHost.h"

#include "app/CKestovarLeftFormView.h"
#include "app/CMainFrame.h"
#include "app/StationGeometry.h"
#include "app/StationMedia.h"
#include "recording/CAppSettings.h"

namespace kestovar {

FramePlaybackHost::FramePlaybackHost(StationMedia& media, CKestovarLeftFormView& panel)
    : media_(media)
    , panel_(panel)
{
}

void FramePlaybackHost::SetFormCallbacks(std::function<void()> pausedMovie, std::function<void()> byMode)
{
    pausedMovie_ = std::move(pausedMovie);
    byMode_ = std::move(byMode);
}

PlaybackMode FramePlaybackHost::Mode() const
{
    return static_cast<PlaybackMode>(media_.Mode());
}

PlayerGraph* FramePlaybackHost::Player() const
{
    return media_.Player();
}

PlayerGraph::State FramePlaybackHost::GraphState() const
{
    return static_cast<PlayerGraph::State>(media_.GraphState());
}

bool FramePlaybackHost::PlayPlayback()
{
    return media_.PlayPlayback();
}

bool FramePlaybackHost::PausePlayback()
{
    return media_.PausePlayback();
}

bool FramePlaybackHost::StopPlayback()
{
    return media_.StopPlayback();
}

void FramePlaybackHost::AbandonPlayback()
{
    media_.ClosePlayback();
}

void FramePlaybackHost::UpdateVideoPosition()
{
    media_.UpdateVideoPosition();
}

void FramePlaybackHost::ApplyPausedMovieToForm()
{
    if (pausedMovie_)
        pausedMovie_();
}

void FramePlaybackHost::ApplyModeToForm()
{
    if (byMode_)
        byMode_();
}

void FramePlaybackHost::UpdateControlStates()
{
    panel_.UpdateControlStates();
}

bool FramePlaybackHost::IsFullScreen() const
{
    return frame_ && frame_->IsFullScreen();
}

void FramePlaybackHost::LeaveFullScreen()
{
    if (frame_)
        frame_->LeaveFullScreen();
}

int FramePlaybackHost::ResolutionChoice() const
{
    return media_.Settings().resolution;
}

QRect FramePlaybackHost::ControlPanelRect() const
{
    return panel_.rect();
}

QWidget* FramePlaybackHost::KeyTarget() const
{
    // The main window's application-wide key filter routes the hot keys already.
    return nullptr;
}

bool FramePlaybackHost::CameraPresent() const
{
    return media_.CameraPresent();
}

std::shared_ptr<AudioBackend> FramePlaybackHost::Audio() const
{
    return media_.Audio();
}

} // namespace kestovar
