#pragma once
// What the settings dialogs and the resolution and rotation pop-ups need from the
// station, so they stay free of the application object: the settings record, the
// camera of the graph that runs, the mode, the preview's rebuild and the device
// lists. The embedded frame implements it (through CKestovarApp's AppState); tests
// give a fake with a simulated camera.
//
// Threads: GUI thread only. The dialogs ask again for every use and keep nothing
// the host hands out: an unplug or a mode change may replace or end the graph (and
// its camera) while a dialog is open.

#include "capture/CameraImageControls.h"
#include "capture/CaptureTypes.h"

#include <optional>
#include <string>
#include <vector>

class QObject;

namespace kestovar {

class CAppSettings;

class SettingsDialogHost {
public:
    virtual ~SettingsDialogHost() = default;

    // The station's settings record (AppState's CAppSettings).
    virtual CAppSettings& settings() = 0;
    // How the open camera delivers its picture: the camera of the preview graph when
    // one exists, otherwise that of the recording graph; nothing when neither exists.
    // (OpenGraphKind does this for the two graph pointers.)
    virtual std::optional<SourceKind> openCameraKind() = 0;
    // The image controls of that same camera; without one every call answers false.
    // (CameraImageControls(OpenGraphCamera(preview, record)).)
    virtual CameraImageControls cameraControls() = 0;
    // True while the live preview runs (AppMode Live).
    virtual bool isLive() = 0;
    // The control panel's GoLive: stops whatever runs and builds the preview again,
    // now with the stored quality and frame rate.
    virtual void rebuildPreview() = 0;
    // Friendly names of every sound input, in the sound server's order.
    virtual std::vector<std::string> audioInputNames() = 0;
    // Friendly names of the connected supported cameras, in enumeration order. The
    // default lists the current camera provider's devices whose path matches the
    // supported camera table.
    virtual std::vector<std::string> videoDeviceNames();
    // Where the pop-ups post their ApplyChoiceEvent: the embedded frame.
    virtual QObject* choiceTarget() = 0;
};

} // namespace kestovar
