#include "capture/DeviceDiscovery.h"

#include "capture/CameraTable.h"

#include <linux/videodev2.h>

#include <cstdio>
#include <mutex>

namespace kestovar {
namespace {

std::mutex& ListerMutex()
{
    static std::mutex m;
    return m;
}

AudioInputLister& Lister()
{
    static AudioInputLister lister;
    return lister;
}

const CameraFormatInfo* FindFormat(const std::vector<CameraFormatInfo>& formats, uint32_t fourcc)
{
    for (const auto& f : formats)
        if (f.fourcc == fourcc && !f.sizes.empty())
            return &f;
    return nullptr;
}

// Puts the camera into its capture format when it runs in another one (a UVC camera
// powers up in whatever format it was last left in, often YUYV): the current size if
// the format offers it, else 640x480, else the format's first size.
bool EnsureCaptureFormat(CameraBackend& camera, const CameraFormatInfo& format)
{
    CameraCurrentFormat current;
    if (camera.GetFormat(current) && current.fourcc == format.fourcc)
        return true;
    const CameraFrameSize* pick = nullptr;
    for (const auto& s : format.sizes)
        if (s.width == current.width && s.height == current.height)
            pick = &s;
    for (const auto& s : format.sizes)
        if (!pick && s.width == 640 && s.height == 480)
            pick = &s;
    if (!pick)
        pick = &format.sizes.front();
    return camera.SetFormat(format.fourcc, pick->width, pick->height);
}

} // namespace

void SetAudioInputLister(AudioInputLister lister)
{
    std::lock_guard lock(ListerMutex());
    Lister() = std::move(lister);
}

bool FindVideoDevice(
    std::string& friendlyName, std::unique_ptr<CameraBackend>& camera, VideoDeviceInfo* device)
{
    auto provider = CurrentCameraProvider();
    for (const auto& info : provider->ListVideoDevices()) {
        if (MatchCameraTable(info.devicePath) == CameraModelKind::NotSupported)
            continue;
        auto opened = provider->Open(info);
        if (!opened) {
            std::fprintf(stderr, "capture: %s could not be opened\n", info.node.c_str());
            continue;
        }
        camera = std::move(opened);
        friendlyName = info.friendlyName;
        if (device)
            *device = info;
        return true;
    }
    return false;
}

bool FindAudioDevice(std::string& friendlyName, AudioInputDevice& device)
{
    std::vector<AudioInputDevice> inputs;
    {
        std::lock_guard lock(ListerMutex());
        if (Lister())
            inputs = Lister()();
    }
    bool found = false;
    for (const auto& input : inputs) {
        if (IsSupportedMicrophoneName(input.friendlyName)) {
            device = input;
            friendlyName = input.friendlyName;
            found = true; // keep walking: the last match is the one used
        }
    }
    return found;
}

bool AddVideoSource(CaptureSource& source)
{
    std::string name;
    std::unique_ptr<CameraBackend> camera;
    VideoDeviceInfo info;
    if (!FindVideoDevice(name, camera, &info))
        return false;
    const auto formats = camera->Formats();
    const CameraFormatInfo* h264 = FindFormat(formats, V4L2_PIX_FMT_H264);
    const CameraFormatInfo* mjpeg = FindFormat(formats, V4L2_PIX_FMT_MJPEG);
    const CameraFormatInfo* use = h264 ? h264 : mjpeg;
    if (!use) {
        std::fprintf(stderr, "capture: %s offers neither H.264 nor MJPG\n", info.node.c_str());
        return false;
    }
    if (!EnsureCaptureFormat(*camera, *use)) {
        std::fprintf(stderr, "capture: %s\n", camera->LastError().c_str());
        return false;
    }
    source.kind = h264 ? SourceKind::Encoded : SourceKind::Mjpeg;
    source.captureFormat = use->fourcc;
    source.camera = std::move(camera);
    source.cameraDevice = std::move(info);
    return true;
}

bool AddAudioSource(CaptureSource& source)
{
    std::string name;
    AudioInputDevice device;
    if (!FindAudioDevice(name, device))
        return false;
    source.microphone = std::move(device);
    return true;
}

bool IsSupportedCameraPresent()
{
    for (const auto& info : CurrentCameraProvider()->ListVideoDevices())
        if (MatchCameraTable(info.devicePath) != CameraModelKind::NotSupported)
            return true;
    return false;
}

bool IsUsbDevicePresent(std::string_view vendor, std::string_view product, uint32_t eventCode)
{
    const std::string v = ToUpperAscii(vendor);
    const std::string p = ToUpperAscii(product);
    if (v.empty() || p.empty())
        return false;
    for (const auto& id : CurrentCameraProvider()->UsbInstanceIds(eventCode == kDeviceArrival)) {
        const std::string upper = ToUpperAscii(id);
        const auto vi = upper.find(v);
        const auto pi = upper.find(p);
        if (vi != std::string::npos && vi >= 1 && pi != std::string::npos && pi >= 1)
            return true;
    }
    return false;
}

} // namespace kestovar
