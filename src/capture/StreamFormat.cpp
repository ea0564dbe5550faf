#include "capture/StreamFormat.h"

#include "capture/CCaptureBufferCallback.h"

#include <linux/videodev2.h>

#include <cstdio>

namespace kestovar {

std::unique_ptr<CCaptureBufferCallback> MakeGrabber(CaptureSource& source, VideoSink* sink)
{
    auto grabber = std::make_unique<CCaptureBufferCallback>();
    grabber->SetVideoSink(sink);
    CameraCurrentFormat current;
    if (source.camera && source.camera->GetFormat(current))
        grabber->SetFrameSize(static_cast<int>(current.width), static_cast<int>(current.height));
    return grabber;
}

bool ApplyResolution(
    CaptureSource& source, ResolutionChoice choice, int& appliedIndex, CCaptureBufferCallback* grabber)
{
    CameraBackend* camera = source.camera.get();
    if (!camera)
        return false;
    const auto formats = camera->Formats();
    if (source.kind == SourceKind::Mjpeg) {
        bool offers640 = false;
        for (const auto& f : formats)
            if (f.fourcc == V4L2_PIX_FMT_MJPEG)
                for (const auto& s : f.sizes)
                    offers640 = offers640 || (s.width == 640 && s.height == 480);
        if (!offers640)
            return true;
        CameraCurrentFormat current;
        if (!camera->GetFormat(current))
            return false;
        if (current.fourcc != V4L2_PIX_FMT_MJPEG)
            return camera->SetFormat(V4L2_PIX_FMT_MJPEG, 640, 480);
        return camera->SetFormat(current.fourcc, current.width, current.height);
    }

    static constexpr int kSizes[3][2] = { { 1920, 1080 }, { 1280, 720 }, { 640, 480 } };
    const int index = (choice >= 0 && choice <= 2) ? choice : 0;
    const uint32_t width = kSizes[index][0], height = kSizes[index][1];
    bool matched = false;
    for (const auto& f : formats) {
        if (f.fourcc != source.captureFormat)
            continue;
        for (const auto& s : f.sizes) {
            if (s.width != width || matched)
                continue;
            // Only a size the camera took counts: the bit rate is chosen by it.
            if (camera->SetFormat(source.captureFormat, width, height)) {
                matched = true;
                appliedIndex = index;
                if (grabber)
                    grabber->SetFrameSize(static_cast<int>(width), static_cast<int>(height));
            } else {
                std::fprintf(stderr, "capture: %s\n", camera->LastError().c_str());
            }
        }
    }
    if (!matched)
        appliedIndex = 0;
    return true;
}

int FramesPerSecond(FrameRateChoice choice)
{
    switch (choice) {
    case Fps25:
        return 25;
    case Fps20:
        return 20;
    default:
        return 30;
    }
}

bool ApplyFrameRate(CaptureSource& source, FrameRateChoice choice)
{
    if (!source.camera)
        return false;
    const FrameInterval interval { 1, static_cast<uint32_t>(FramesPerSecond(choice)) };
    if (!source.camera->SetFrameInterval(interval)) {
        std::fprintf(stderr, "capture: %s\n", source.camera->LastError().c_str());
        return false;
    }
    return true;
}

MixerRect MixerFlipRect(RotationMode mode)
{
    switch (mode) {
    case 2:
        return { 1, 1, 0, 0 };
    case 4:
        return { 1, 0, 0, 1 };
    case 6:
        return { 0, 1, 1, 0 };
    default:
        return { 0, 0, 1, 1 };
    }
}

RotationMode MixerFlipRotation(RotationMode mode)
{
    switch (mode) {
    case 2:
    case 4:
    case 6:
        return mode;
    default:
        return 0;
    }
}

} // namespace kestovar
