#pragma once
// The control panel: the left pane of the frame. It owns the video window, placed
// over its video area for the chosen resolution, and the row of controls under it
// (Resolution, Rotation, SnapShot, Record, Live, Speaker and the microphone volume
// slider). It starts the live picture (GoLive), shows listed movies and pictures,
// enables its buttons for the mode, and shows the microphone's level on the Speaker
// button every 200 ms while the picture is live or recording.
//
// SnapShot and Record are the frame's commands: the panel only emits the request.
// GUI thread only.

#include "app/StationRules.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kestovar {

class AudioBackend;
class CBitSlider;
class CGdipButton;
class CGdiPlusBitmapResource;
class CDlgVideoView;
class FramePlaybackHost;
class StationMedia;

class CKestovarLeftFormView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLevelTimerId = 1349;
    static constexpr int kLevelMs = 200;

    // `audio` may be null (no sound server): the slider still moves, nothing is metered.
    CKestovarLeftFormView(
        StationMedia& media, std::shared_ptr<AudioBackend> audio, QWidget* parent = nullptr);
    ~CKestovarLeftFormView() override;

    CDlgVideoView* VideoView() const { return video_; }
    FramePlaybackHost& PlaybackHost() const { return *playbackHost_; }
    CGdipButton* ResolutionButton() const { return resolution_; }
    CGdipButton* RotationButton() const { return rotation_; }
    CGdipButton* SnapShotButton() const { return snapShot_; }
    CGdipButton* LiveButton() const { return live_; }
    CGdipButton* RecordButton() const { return record_; }
    CGdipButton* SpeakerButton() const { return speaker_; }
    CBitSlider* VolumeSlider() const { return volume_; }
    QString SpeakerPicture() const { return speakerRole_; }
    float LastPeak() const { return lastPeak_; }
    float LastVolume() const { return lastVolume_; }

    void LayoutControlPanel();
    // modeArgument: 0 fills the video area; 1 live, 2 recording start, 4 movie,
    // 5 picture or the current mode keep the picture's aspect.
    void PlaceVideoWindow(int resolution, int modeArgument);
    void UpdateControlStates();
    ControlStates CurrentStates() const;

    void GoLive();
    // The no-camera notice over the black video area / away again.
    void ShowNoCameraNotice();
    void HideNoCameraNotice();
    // False when the movie cannot be played.
    bool ShowMovie(const QString& path);
    void ShowPicture(const QString& path);

    // One step of the level meter (timer 1349).
    void LevelTick();
    // The volume slider moved to `position` (0..100): unmute and set the microphone.
    void VolumeChanged(int position);
    void SpeakerClicked();

    // Called after GoLive with the new mode (the case information form follows it).
    void SetAfterGoLive(std::function<void()> callback) { afterGoLive_ = std::move(callback); }

signals:
    void snapShotRequested();
    void recordRequested();
    void resolutionRequested();
    void rotationRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowSpeakerPicture(const QString& role);

    StationMedia& media_;
    std::shared_ptr<AudioBackend> audio_;
    std::unique_ptr<FramePlaybackHost> playbackHost_; // outlives the video window
    CDlgVideoView* video_;
    CGdipButton* resolution_;
    CGdipButton* rotation_;
    CGdipButton* snapShot_;
    CGdipButton* live_;
    CGdipButton* record_;
    CGdipButton* speaker_;
    CBitSlider* volume_;
    std::unique_ptr<CGdiPlusBitmapResource> centre_;
    std::unique_ptr<CGdiPlusBitmapResource> bottomBar_;
    std::unique_ptr<CGdiPlusBitmapResource> backdrop_;
    QTimer levelTimer_;
    QString speakerRole_ = QStringLiteral("speaker");
    float lastPeak_ = 0.0f;
    float lastVolume_ = 0.0f;
    int rememberedResolution_ = 0;
    std::function<void()> afterGoLive_;
};

} // namespace kestovar
