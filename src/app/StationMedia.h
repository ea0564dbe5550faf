#pragma once
// What the main window, the frame and the control panel need of AppState and its
// media control operations. AppStationMedia forwards to CKestovarApp; tests give the
// windows a fake, so the windows can be exercised without cameras or graphs.
//
// GUI thread only.

#include "app/AppMode.h"

#include <QString>

#include <memory>

namespace kestovar {

class AudioBackend;
class CAppSettings;
class CameraBackend;
class PlayerGraph;

class StationMedia {
public:
    virtual ~StationMedia() = default;

    virtual AppMode Mode() const = 0;
    virtual CAppSettings& Settings() = 0;
    // A supported camera is listed now.
    virtual bool CameraPresent() = 0;
    // The camera that is present is the Pro model (VID_06F8 & PID_4148).
    virtual bool ProCameraPresent() = 0;
    // The running preview (or recording) shows an MJPG camera, which has only 480P.
    virtual bool LiveSourceIsMjpeg() = 0;
    // Why a camera plugged in cannot be noticed; empty when it can.
    virtual QString DeviceWatchError() const { return {}; }

    // The windows every graph draws into (set once by the main window).
    virtual void SetVideoWindows(QWidget* videoWindow, QWidget* transportBar) = 0;

    virtual void CloseAll() = 0;
    virtual bool StartPreview() = 0;
    virtual bool OpenPlayback(const QString& path) = 0;
    virtual void SetStillPath(const QString& path) = 0;
    virtual bool ShowStill(const QString& path) = 0;
    // A capture got a new name: the movie or picture on show follows it when it is this one.
    virtual void MediaRenamed(const QString& oldPath, const QString& newPath) = 0;
    virtual bool HasFreeDiskSpace() = 0;
    virtual void SaveSettings() = 0;

    // The player and its operations, for the video window and its transport bar.
    virtual PlayerGraph* Player() const = 0;
    // GetGraphState: 0 stopped, 1 paused, 2 running.
    virtual int GraphState() const = 0;
    virtual bool PlayPlayback() = 0;
    virtual bool PausePlayback() = 0;
    virtual bool StopPlayback() = 0;
    virtual void ClosePlayback() = 0;
    // The graph on show draws again at the video window's new size.
    virtual void UpdateVideoPosition() = 0;
    // The station's sound; may be null.
    virtual std::shared_ptr<AudioBackend> Audio() const = 0;
    // The camera of the preview (else the recording) for the image controls; null
    // without either. Not to be kept across a start or stop.
    virtual CameraBackend* OpenCamera() const = 0;
};

// The station's own: AppState of the one CKestovarApp.
class CKestovarApp;
class AppStationMedia final : public StationMedia {
public:
    explicit AppStationMedia(CKestovarApp& app)
        : app_(app)
    {
    }
    AppMode Mode() const override;
    CAppSettings& Settings() override;
    bool CameraPresent() override;
    bool ProCameraPresent() override;
    bool LiveSourceIsMjpeg() override;
    QString DeviceWatchError() const override;
    void SetVideoWindows(QWidget* videoWindow, QWidget* transportBar) override;
    void CloseAll() override;
    bool StartPreview() override;
    bool OpenPlayback(const QString& path) override;
    void SetStillPath(const QString& path) override;
    bool ShowStill(const QString& path) override;
    void MediaRenamed(const QString& oldPath, const QString& newPath) override;
    bool HasFreeDiskSpace() override;
    void SaveSettings() override;
    PlayerGraph* Player() const override;
    int GraphState() const override;
    bool PlayPlayback() override;
    bool PausePlayback() override;
    bool StopPlayback() override;
    void ClosePlayback() override;
    void UpdateVideoPosition() override;
    std::shared_ptr<AudioBackend> Audio() const override;
    CameraBackend* OpenCamera() const override;

private:
    CKestovarApp& app_;
};

} // namespace kestovar
