#pragma once
// What the video window and transport bar tests share: a host that stands in for the
// main frame around a real PlayerGraph, movies made at test time, and event-loop helpers.

#include "platform/SimulatedAudioBackend.h"
#include "playback/CDlgToolbarPlay.h"
#include "playback/CDlgVideoView.h"
#include "playback/PlaybackHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kestovar::test {

// The frame's part, done as the station does it, with a count of what was asked.
class FakePlaybackHost : public PlaybackHost {
public:
    PlaybackMode mode = PlaybackMode::Idle;
    std::shared_ptr<AudioBackend> audio = std::make_shared<SimulatedAudioBackend>();
    std::unique_ptr<PlayerGraph> player;
    CDlgVideoView* view = nullptr;
    bool fullScreen = false;
    bool cameraPresent = true;
    int resolution = 0;
    QRect controlPanel;
    QWidget* keyTarget = nullptr;

    int playCalls = 0, pauseCalls = 0, stopCalls = 0, abandonCalls = 0;
    int pausedFormCalls = 0, byModeFormCalls = 0, controlStateCalls = 0, videoPositionCalls = 0;
    bool failStop = false;
    QStringList errors;

    // ShowMovie's part: the movie opened paused, the bar shown with its duration.
    bool OpenMovie(const std::string& path);
    // The frame's full-screen command.
    void EnterFullScreen();

    PlaybackMode Mode() const override { return mode; }
    PlayerGraph* Player() const override { return player.get(); }
    PlayerGraph::State GraphState() const override;
    bool PlayPlayback() override;
    bool PausePlayback() override;
    bool StopPlayback() override;
    void AbandonPlayback() override;
    void UpdateVideoPosition() override;
    void ApplyPausedMovieToForm() override { ++pausedFormCalls; }
    void ApplyModeToForm() override { ++byModeFormCalls; }
    void UpdateControlStates() override { ++controlStateCalls; }
    bool IsFullScreen() const override { return fullScreen; }
    void LeaveFullScreen() override;
    int ResolutionChoice() const override { return resolution; }
    QRect ControlPanelRect() const override { return controlPanel; }
    QWidget* KeyTarget() const override { return keyTarget; }
    bool CameraPresent() const override { return cameraPresent; }
    std::shared_ptr<AudioBackend> Audio() const override { return audio; }
    void ReportError(const QString& message, QWidget*) override { errors << message; }
};

// Keeps the keys posted to it.
class KeyRecorder : public QWidget {
public:
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

// A movie of 1 h 2 min 3 s with one picture every 51 seconds (73 MJPEG frames of
// a moving test picture), made with the ffmpeg command line. Empty on failure.
std::string MakeLongMovie(const std::string& folder);

// Runs the event loop until `done` or a generous limit (a hang guard, not a timing check).
template <typename Done> bool SpinUntil(Done done, int limitMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

// Runs the event loop for a while, so whatever is queued arrives.
void Settle(int ms = 50);

// Mean absolute difference of two pictures per colour channel (0..255).
double MeanDifference(const QImage& a, const QImage& b);

// A mouse event as the window system delivers it, at `pos` in `widget`.
void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton,
    Qt::MouseButtons buttons = Qt::NoButton);

} // namespace kestovar::test
