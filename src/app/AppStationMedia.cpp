// AppStationMedia: the windows' view of the one CKestovarApp.

#include "app/CKestovarApp.h"
#include "app/StationMedia.h"
#include "capture/DeviceDiscovery.h"
#include "platform/CameraProvider.h"

#include <QWidget>

namespace kestovar {

AppMode AppStationMedia::Mode() const
{
    return app_.mode;
}

CAppSettings& AppStationMedia::Settings()
{
    return app_.settings;
}

bool AppStationMedia::CameraPresent()
{
    return IsSupportedCameraPresent();
}

bool AppStationMedia::ProCameraPresent()
{
    return IsUsbDevicePresent("VID_06F8", "PID_4148", kDeviceArrival);
}

bool AppStationMedia::LiveSourceIsMjpeg()
{
    return app_.OpenCameraKind() == SourceKind::Mjpeg;
}

QString AppStationMedia::DeviceWatchError() const
{
    return app_.DeviceWatchError();
}

void AppStationMedia::SetVideoWindows(QWidget* videoWindow, QWidget* transportBar)
{
    app_.videoWindow = dynamic_cast<VideoSink*>(videoWindow);
    app_.transportBarWindow = transportBar;
}

void AppStationMedia::CloseAll()
{
    app_.CloseAll();
}

bool AppStationMedia::StartPreview()
{
    return app_.StartPreview();
}

bool AppStationMedia::OpenPlayback(const QString& path)
{
    return app_.OpenPlayback(path);
}

void AppStationMedia::SetStillPath(const QString& path)
{
    app_.SetStillPath(path);
}

bool AppStationMedia::ShowStill(const QString& path)
{
    return app_.ShowStill(path);
}

void AppStationMedia::MediaRenamed(const QString& oldPath, const QString& newPath)
{
    app_.FollowRename(oldPath, newPath);
}

bool AppStationMedia::HasFreeDiskSpace()
{
    return app_.HasFreeDiskSpace();
}

void AppStationMedia::SaveSettings()
{
    app_.settings.SaveSettings();
}

PlayerGraph* AppStationMedia::Player() const
{
    return app_.playerGraph.get();
}

int AppStationMedia::GraphState() const
{
    return int(app_.GetGraphState());
}

bool AppStationMedia::PlayPlayback()
{
    return app_.PlayPlayback();
}

bool AppStationMedia::PausePlayback()
{
    return app_.PausePlayback();
}

bool AppStationMedia::StopPlayback()
{
    return app_.StopPlayback();
}

void AppStationMedia::ClosePlayback()
{
    app_.ClosePlayback();
}

void AppStationMedia::UpdateVideoPosition()
{
    if (app_.previewGraph)
        app_.previewGraph->UpdateVideoPosition();
    else if (app_.recordGraph)
        app_.recordGraph->UpdateVideoPosition();
    else if (app_.playerGraph)
        app_.playerGraph->UpdateVideoPosition();
    else if (app_.mode == AppMode::StillShown)
        app_.ShowStill();
}

CameraBackend* AppStationMedia::OpenCamera() const
{
    return app_.OpenCamera();
}

std::shared_ptr<AudioBackend> AppStationMedia::Audio() const
{
    return app_.audio();
}

} // namespace kestovar
