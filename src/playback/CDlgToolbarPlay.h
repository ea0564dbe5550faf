#pragma once
// The transport bar, docked along the bottom of the video window: Play/Pause, skip
// back and forward by a tenth of the movie, the seek bar (percent of the movie), the
// position and duration, the enlarge toggle and the speaker's master volume.
//
// The bar is shown or made invisible as a whole (SetTransportBarOpacity 255 or 0).
// While a movie plays it disappears on the third tick of its hide countdown after the
// last mouse movement over the video window, and comes back when the mouse moves
// there (outside full screen; in full screen only a movement over the video window
// itself brings it back, which then covers the screen).
//
// It is the player graph's notification target: the end of the movie arrives as a
// PlayerGraphEvent and rewinds to the first frame, paused.
//
// GUI thread only. The bar is a child of the video window and reaches the station
// through the PlaybackHost.

#include "playback/TransportRules.h"
#include "playback/VideoMouseHook.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace kestovar {

class AudioBackend;
class CBitmapSlider;
class CColorStatic;
class CDlgVideoView;
class CGdipButton;
class CMySliderControl2;
class PlaybackHost;

class CDlgToolbarPlay : public QWidget {
    Q_OBJECT
public:
    // Control ids of the bar (the volume slider reports its id with its signals).
    static constexpr int kPlayPauseId = 1080;
    static constexpr int kNextId = 1081;
    static constexpr int kPrevId = 1082;
    static constexpr int kSeekId = 1083;
    static constexpr int kResizeId = 1085;
    static constexpr int kDurationId = 1087;
    static constexpr int kPositionId = 1088;
    static constexpr int kVolumeId = 1115;
    // Timers: the hide countdown (2997) and the progress display (2999).
    static constexpr int kHideTimerMs = 1000;
    static constexpr int kProgressTimerMs = 100;
    static constexpr int kSkipStep = 10; // percent of the movie
    static QString MasterVolumeError() { return QStringLiteral("Master volume set error!"); }

    CDlgToolbarPlay(PlaybackHost& host, CDlgVideoView* videoWindow);
    ~CDlgToolbarPlay() override;

    // ---- Offered to the station ----
    // 255 shows the bar, 0 makes it invisible.
    void SetTransportBarOpacity(int alpha);
    int Opacity() const { return alpha_; }
    // Play symbol, seek bar at 0, both times "00:00:00".
    void ResetTransportBar();
    // After a movie was opened (paused): its duration, position 00:00:00, seek bar at 0
    // and the play symbol.
    void ShowMovieDuration();
    // Stops the hide countdown and the progress display (before another item opens).
    void StopTimers();
    // Along the bottom edge of the video window, its full width, the bar's own height.
    void DockTransportBar();
    // The Resize button's look follows the video window's enlarge state.
    void SyncResizeButton();

    // ---- The bar's commands (its buttons call these) ----
    void OnPlayPause();
    void OnPrev();
    void OnNext();
    // Seek bar moved to `percent` by the operator (thumb dragged, drag ended, key or
    // page step): pause, seek, resume; the picture follows the thumb.
    void OnSeekScroll(int percent);
    // Timer 2999 and timer 2997.
    void ProgressTick();
    void HideCountdown();
    // A mouse movement inside the video window itself (not over the bar).
    void OnVideoMouseMove();

    // ---- State, for the station and for checks ----
    bool IsPlaying() const { return playing_; }
    bool ProgressTimerActive() const { return progressTimer_.isActive(); }
    bool HideTimerActive() const { return hideTimer_.isActive(); }
    int HideCounter() const { return countdown_.Counter(); }
    bool MouseHookInstalled() const { return hook_.IsInstalled(); }
    float LastVolume() const { return lastVolume_; }
    CGdipButton* PlayPauseButton() const { return playPause_; }
    CGdipButton* PrevButton() const { return prev_; }
    CGdipButton* NextButton() const { return next_; }
    CGdipButton* ResizeButton() const { return resize_; }
    CMySliderControl2* SeekBar() const { return seek_; }
    CBitmapSlider* VolumeSlider() const { return volume_; }
    QString PositionText() const;
    QString DurationText() const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Layout();
    void OnGraphEvent();
    void OnHookMove();
    void StartHideCountdown();
    void StopHideCountdown();
    void ShowTimes(int64_t position, int64_t duration);
    void SetPlaySymbol(bool pauseSymbol);
    void StartVolume();
    void OnVolume(int controlId, int position, bool dragEnded);

    PlaybackHost& host_;
    CDlgVideoView* videoWindow_;

    CGdipButton* playPause_;
    CGdipButton* prev_;
    CGdipButton* next_;
    CGdipButton* resize_;
    CMySliderControl2* seek_;
    CColorStatic* position_;
    CColorStatic* separator_;
    CColorStatic* duration_;
    CBitmapSlider* volume_;

    QTimer progressTimer_; // 2999
    QTimer hideTimer_; // 2997
    BarHideCountdown countdown_;
    VideoMouseHook hook_;
    int alpha_ = 255;
    bool playing_ = false;

    std::shared_ptr<AudioBackend> audio_;
    float lastVolume_ = 0.0f;
    bool volumeFailedInDrag_ = false;
};

} // namespace kestovar
