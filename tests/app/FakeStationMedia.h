#pragma once
// A station without graphs for window tests: the mode moves as the media control
// operations move it, and the test sets what the camera and the disk report.

#include "app/StationMedia.h"
#include "recording/CAppSettings.h"

#include <memory>

class QWidget;

namespace kestovar::test {

// AppState without graphs: the mode moves as the media control operations move it.
class FakeMedia : public StationMedia {
public:
    explicit FakeMedia(const QString& root)
        : settings(root)
    {
    }
    AppMode Mode() const override { return mode; }
    CAppSettings& Settings() override { return settings; }
    bool CameraPresent() override { return camera; }
    bool ProCameraPresent() override { return camera && pro; }
    bool LiveSourceIsMjpeg() override { return pro; }
    QString DeviceWatchError() const override { return watchError; }
    void SetVideoWindows(QWidget* v, QWidget*) override { video = v; }
    void CloseAll() override
    {
        ++closeAlls;
        mode = AppMode::Idle;
    }
    bool StartPreview() override
    {
        ++previews;
        previewResolution = settings.resolution;
        mode = AppMode::Live;
        return true;
    }
    bool OpenPlayback(const QString&) override
    {
        mode = AppMode::PlaybackPaused;
        return true;
    }
    void SetStillPath(const QString&) override { }
    bool ShowStill(const QString&) override
    {
        mode = AppMode::StillShown;
        return true;
    }
    void MediaRenamed(const QString&, const QString&) override { }
    bool HasFreeDiskSpace() override { return freeSpace; }
    void SaveSettings() override { ++saves; }
    PlayerGraph* Player() const override { return nullptr; }
    int GraphState() const override { return mode == AppMode::Idle ? 0 : 2; }
    bool PlayPlayback() override
    {
        mode = AppMode::Playing;
        return true;
    }
    bool PausePlayback() override
    {
        mode = AppMode::PlaybackPaused;
        return true;
    }
    bool StopPlayback() override { return PausePlayback(); }
    void ClosePlayback() override { mode = AppMode::Idle; }
    void UpdateVideoPosition() override { }
    std::shared_ptr<AudioBackend> Audio() const override { return nullptr; }
    CameraBackend* OpenCamera() const override { return nullptr; }

    CAppSettings settings;
    AppMode mode = AppMode::Idle;
    bool camera = true;
    bool pro = false;
    bool freeSpace = true;
    QString watchError;
    QWidget* video = nullptr;
    int closeAlls = 0;
    int previews = 0;
    int previewResolution = -1;
    int saves = 0;
};

} // namespace kestovar::test
