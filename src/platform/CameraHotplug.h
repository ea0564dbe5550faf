#pragma once
// USB cameras coming and going, one event each, from udev's many.
//
// A UVC camera with a microphone arrives as a USB device, several USB interfaces, a
// picture node and a metadata node (video4linux) and a sound card; it leaves the same
// way in reverse. Of all that, the station hears one arrival per plug, sent once the
// camera's picture node can be opened, and one removal per pull:
//   - arrival: the first video4linux node whose ID_V4L_CAPABILITIES says ":capture:";
//     its node is tried at once and then every 100 ms for up to 5 s (udev may still be
//     giving the operator access to it). A camera pulled before that is never
//     announced, and its removal is not either.
//   - removal: the first of its capture node's or its USB device's removal; a camera
//     that was present before the station started is known by those too.
// Devices that never had a capture node (a USB stick, a keyboard) make nothing.
// The device path is the device list's: usb#VID_xxxx&PID_xxxx#<serial or bus path>#<node>.
//
// GUI thread only: the monitor's socket and the retry timer are read there.

#include "platform/UdevMonitor.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace kestovar {

class CameraHotplug : public QObject {
    Q_OBJECT
public:
    // Whether a picture node can be opened now.
    using NodeCheck = std::function<bool(const std::string& node)>;

    explicit CameraHotplug(QObject* parent = nullptr);
    ~CameraHotplug() override;

    // Starts listening to udev. False when the monitor cannot be set up; *error (may
    // be null) says why. Nothing is heard then, and Feed still works.
    bool Start(std::string* error = nullptr);
    // One read's events, in the order udev sent them (the monitor's, or replayed).
    void Feed(const std::vector<UdevEvent>& events);
    void SetNodeCheck(NodeCheck check);
    // Cameras heard of whose node could not be opened yet.
    int PendingCount() const;

signals:
    // kDeviceArrival (0x8000) or kDeviceRemoval (0x8004), with the device path.
    void deviceChanged(uint32_t code, QString devicePath);

private:
    enum class State { Seen, Pending, Announced, Gone };
    struct Camera {
        std::string vendor, model, serialOrBus, node;
        State state = State::Seen;
        std::chrono::steady_clock::time_point since;
    };
    using Changes = std::vector<std::pair<uint32_t, std::string>>;
    void Handle(const UdevEvent& event, Changes& changes);
    void Announce(const Changes& changes);
    void CheckPending();
    static std::string DevicePathOf(const Camera& camera, const std::string& node);

    std::unique_ptr<UdevMonitor> monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    NodeCheck nodeCheck_;
    std::map<std::string, Camera> cameras_; // by the USB device's DEVPATH
};

} // namespace kestovar
