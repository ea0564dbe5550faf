#include "platform/CameraHotplug.h"

#include "platform/CameraProvider.h"
#include "platform/UsbDeviceIds.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

namespace kestovar {
namespace {

constexpr int kRetryMs = 100;
constexpr auto kOpenDeadline = std::chrono::seconds(5);

bool CanOpen(const std::string& node)
{
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::string LastComponent(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".../usb1/1-4/1-4:1.0/video4linux/video0" -> ".../usb1/1-4": the USB device, above
// the interface the node belongs to. Empty for a node not on USB.
std::string UsbDeviceOfNode(const std::string& devpath)
{
    const auto v4l = devpath.find("/video4linux/");
    if (v4l == std::string::npos)
        return {};
    const std::string interface = devpath.substr(0, v4l);
    if (LastComponent(interface).find(':') == std::string::npos)
        return {};
    return interface.substr(0, interface.rfind('/'));
}

bool IsCaptureNode(const UdevEvent& e)
{
    return e.Property("ID_V4L_CAPABILITIES").find(":capture:") != std::string::npos;
}

} // namespace

CameraHotplug::CameraHotplug(QObject* parent)
    : QObject(parent)
    , nodeCheck_(&CanOpen)
{
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &CameraHotplug::CheckPending);
}

CameraHotplug::~CameraHotplug() = default;

bool CameraHotplug::Start(std::string* error)
{
    auto monitor = std::make_unique<UdevMonitor>();
    if (!monitor->Open(error))
        return false;
    monitor_ = std::move(monitor);
    notifier_ = std::make_unique<QSocketNotifier>(monitor_->Fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Feed(monitor_->ReadEvents()); });
    return true;
}

void CameraHotplug::SetNodeCheck(NodeCheck check)
{
    nodeCheck_ = check ? std::move(check) : NodeCheck(&CanOpen);
}

int CameraHotplug::PendingCount() const
{
    int n = 0;
    for (const auto& [key, camera] : cameras_)
        n += camera.state == State::Pending;
    return n;
}

void CameraHotplug::Feed(const std::vector<UdevEvent>& events)
{
    // The whole read first: a camera plugged and pulled within it is never announced.
    Changes changes;
    for (const UdevEvent& e : events)
        Handle(e, changes);
    Announce(changes);
    CheckPending();
}

void CameraHotplug::Announce(const Changes& changes)
{
    // After the state is settled: a receiver may run an event loop (a message box) in
    // which the next read arrives.
    for (const auto& [code, path] : changes)
        emit deviceChanged(code, QString::fromStdString(path));
}

std::string CameraHotplug::DevicePathOf(const Camera& camera, const std::string& node)
{
    return FormCameraDevicePath(camera.vendor, camera.model, camera.serialOrBus, node);
}

void CameraHotplug::Handle(const UdevEvent& e, Changes& changes)
{
    const bool usbDevice = e.subsystem == "usb" && e.devtype == "usb_device";
    const bool videoNode = e.subsystem == "video4linux";
    if (!usbDevice && !videoNode)
        return; // interfaces, sound cards, media controllers: the same camera again
    const std::string key = usbDevice ? e.devpath : UsbDeviceOfNode(e.devpath);
    if (key.empty())
        return;

    auto fill = [&e, &key](Camera& c) {
        std::string vendor = e.Property("ID_VENDOR_ID");
        std::string model = e.Property("ID_MODEL_ID");
        if (vendor.empty() || model.empty()) {
            // PRODUCT is "vendor/product/bcdDevice" in hex without leading zeros.
            std::istringstream in(e.Property("PRODUCT"));
            std::getline(in, vendor, '/');
            std::getline(in, model, '/');
        }
        if (!vendor.empty() && !model.empty()) {
            c.vendor = vendor;
            c.model = model;
        }
        const std::string serial = e.Property("ID_SERIAL_SHORT");
        c.serialOrBus = !serial.empty() ? serial : LastComponent(key);
    };

    if (e.action == "add") {
        if (usbDevice) {
            Camera fresh;
            fill(fresh);
            cameras_[key] = fresh;
            return;
        }
        if (!IsCaptureNode(e) || e.devnode.empty())
            return; // the metadata node
        Camera& c = cameras_[key];
        if (c.state == State::Pending || c.state == State::Announced)
            return; // a second picture node of the same camera
        fill(c);
        c.node = e.devnode;
        c.state = State::Pending;
        c.since = std::chrono::steady_clock::now();
        return;
    }
    if (e.action != "remove")
        return;

    auto it = cameras_.find(key);
    if (videoNode && !IsCaptureNode(e) && (it == cameras_.end() || it->second.node != e.devnode))
        return; // the metadata node
    if (it == cameras_.end()) {
        // Present before the station started: known only by its removal.
        Camera c;
        fill(c);
        c.node = videoNode ? e.devnode : std::string();
        c.state = State::Gone;
        if (!c.vendor.empty())
            changes.emplace_back(kDeviceRemoval, DevicePathOf(c, c.node));
        if (!usbDevice)
            cameras_[key] = c;
        return;
    }
    Camera& c = it->second;
    switch (c.state) {
    case State::Announced:
        c.state = State::Gone;
        changes.emplace_back(kDeviceRemoval, DevicePathOf(c, c.node));
        break;
    case State::Pending:
        std::fprintf(stderr, "platform: %s was pulled before it could be opened\n", c.node.c_str());
        c.state = State::Gone;
        break;
    case State::Seen:
    case State::Gone:
        break;
    }
    if (usbDevice)
        cameras_.erase(it);
}

void CameraHotplug::CheckPending()
{
    const auto now = std::chrono::steady_clock::now();
    bool waiting = false;
    Changes changes;
    for (auto& [key, c] : cameras_) {
        if (c.state != State::Pending)
            continue;
        if (nodeCheck_(c.node)) {
            c.state = State::Announced;
            changes.emplace_back(kDeviceArrival, DevicePathOf(c, c.node));
        } else if (now - c.since >= kOpenDeadline) {
            std::fprintf(stderr, "platform: %s cannot be opened; the camera is not used\n", c.node.c_str());
            c.state = State::Seen;
        } else {
            waiting = true;
        }
    }
    if (waiting && !retry_.isActive())
        retry_.start();
    else if (!waiting)
        retry_.stop();
    Announce(changes);
}

} // namespace kestovar
