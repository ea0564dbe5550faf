// Screens of the video window with its transport bar.
#include "ScreenRegistry.h"

#include "playback/CDlgToolbarPlay.h"
#include "playback/CDlgVideoView.h"
#include "playback/PlaybackHost.h"

#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace kestovar;

namespace {

// A video window with a movie of 4 min 32 s made by the ffmpeg command line, opened
// and paused at 40 %, as the station shows it after a seek. Stands in for the frame.
class PausedMovieScreen : public QWidget, public PlaybackHost {
public:
    PausedMovieScreen()
    {
        resize(960, 540);
        view_ = new CDlgVideoView(*this, this);
        view_->setGeometry(rect());
        CDlgToolbarPlay* bar = view_->TransportBar();
        const QString movie = dir_.filePath("movie.avi");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg",
            { "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=1/4:duration=272", "-c:v",
                "mjpeg", "-q:v", "4", movie });
        player_.SetVideoWindow(view_);
        player_.SetNotifyWindow(bar);
        std::string error;
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0
            || !player_.Open(movie.toStdString(), &error)) {
            std::fprintf(stderr, "kestovar_screens: no movie for the video window (%s)\n", error.c_str());
            return;
        }
        open_ = true;
        bar->SetTransportBarOpacity(255);
        bar->ShowMovieDuration();
        int64_t duration = 0;
        player_.GetDuration(duration);
        player_.SetPositions(duration / 100 * 40);
        bar->ProgressTick();
    }
    ~PausedMovieScreen() override { player_.Teardown(); }

    PlaybackMode Mode() const override { return open_ ? PlaybackMode::PlaybackPaused : PlaybackMode::Idle; }
    PlayerGraph* Player() const override { return open_ ? &player_ : nullptr; }
    PlayerGraph::State GraphState() const override { return PlayerGraph::State::Paused; }
    bool PlayPlayback() override { return false; }
    bool PausePlayback() override { return open_; }
    bool StopPlayback() override { return false; }
    void AbandonPlayback() override { }
    void UpdateVideoPosition() override { player_.UpdateVideoPosition(); }
    void ApplyPausedMovieToForm() override { }
    void ApplyModeToForm() override { }
    void UpdateControlStates() override { }
    bool IsFullScreen() const override { return false; }
    void LeaveFullScreen() override { }
    int ResolutionChoice() const override { return 0; }
    QRect ControlPanelRect() const override { return rect(); }
    QWidget* KeyTarget() const override { return nullptr; }
    bool CameraPresent() const override { return false; }
    std::shared_ptr<AudioBackend> Audio() const override { return nullptr; }

private:
    QTemporaryDir dir_;
    mutable PlayerGraph player_ { nullptr };
    CDlgVideoView* view_ = nullptr;
    bool open_ = false;
};

} // namespace

KESTOVAR_SCREEN(video_transport_paused, [] { return new PausedMovieScreen; });
