#include "platform/SimulatedCamera.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

namespace kestovar {
namespace {

using Clock = std::chrono::steady_clock;

// Further behind than this (a stopped debugger, an overloaded machine) and the camera
// skips frames, as a real one does, instead of delivering a burst.
constexpr auto kMaxLag = std::chrono::milliseconds(500);

} // namespace

SimulatedCamera::SimulatedCamera(std::shared_ptr<SimulatedCameraDevice> device)
    : device_(std::move(device))
    , format_(device_->DefaultFormat())
{
}

SimulatedCamera::~SimulatedCamera()
{
    StopStreaming();
}

bool SimulatedCamera::Fail(const std::string& what)
{
    std::lock_guard lock(errorMutex_);
    lastError_ = "simulated camera: " + what;
    return false;
}

std::string SimulatedCamera::LastError() const
{
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

std::vector<CameraFormatInfo> SimulatedCamera::Formats()
{
    return device_->Formats();
}

bool SimulatedCamera::GetFormat(CameraCurrentFormat& out)
{
    if (!device_->Plugged())
        return Fail("unplugged");
    out = format_;
    return true;
}

bool SimulatedCamera::SetFormat(uint32_t fourcc, uint32_t width, uint32_t height)
{
    if (!device_->Plugged())
        return Fail("unplugged");
    if (streaming_)
        return Fail("format change while streaming");
    for (const auto& f : device_->Formats()) {
        if (f.fourcc != fourcc)
            continue;
        for (const auto& s : f.sizes) {
            if (s.width == width && s.height == height) {
                format_.fourcc = fourcc;
                format_.width = width;
                format_.height = height;
                return true;
            }
        }
    }
    return Fail("format not offered");
}

bool SimulatedCamera::SetFrameInterval(FrameInterval interval)
{
    if (!device_->Plugged())
        return Fail("unplugged");
    if (streaming_ || interval.numerator == 0 || interval.denominator == 0)
        return Fail("bad frame interval request");
    // Like a UVC camera: the nearest interval it offers for the current size.
    const double wanted = double(interval.numerator) / interval.denominator;
    double best = 1e9;
    for (const auto& f : device_->Formats())
        if (f.fourcc == format_.fourcc)
            for (const auto& s : f.sizes)
                if (s.width == format_.width && s.height == format_.height)
                    for (const auto& i : s.intervals) {
                        const double d = std::fabs(double(i.numerator) / i.denominator - wanted);
                        if (d < best) {
                            best = d;
                            format_.interval = i;
                        }
                    }
    return true;
}

SimulatedClipKey SimulatedCamera::WantedClip() const
{
    SimulatedClipKey key;
    key.width = format_.width;
    key.height = format_.height;
    key.fps = format_.interval.denominator / std::max<uint32_t>(1, format_.interval.numerator);
    key.bitrateBps = static_cast<uint32_t>(device_->BitrateKbps() * 1000.0);
    key.adjust = device_->Adjust();
    return key;
}

bool SimulatedCamera::StartStreaming()
{
    if (streaming_)
        return true;
    if (!device_->Plugged())
        return Fail("unplugged");
    if (format_.fourcc == V4L2_PIX_FMT_H264) {
        clip_ = SimulatedH264Clip(WantedClip());
        if (!clip_)
            return Fail("libx264 could not encode the test clip");
        clipIndex_ = 0;
    } else if (!mjpeg_.Open(format_.width, format_.height)) {
        return Fail("the MJPEG encoder could not be opened");
    }
    failedKey_ = {};
    sequence_ = 0;
    start_ = Clock::now();
    streaming_ = true;
    return true;
}

void SimulatedCamera::FollowSettings()
{
    const SimulatedClipKey wanted = WantedClip();
    if (!nextClip_.valid()) {
        if (!(wanted == clip_->key) && !(wanted == failedKey_))
            nextClip_ = std::async(std::launch::async, SimulatedH264Clip, wanted);
        return;
    }
    if (clipIndex_ % clip_->key.fps != 0
        || nextClip_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    auto next = nextClip_.get();
    if (!next) {
        failedKey_ = wanted;
        return;
    }
    clip_ = std::move(next);
    clipIndex_ = 0;
}

CameraReadStatus SimulatedCamera::ReadPacket(CameraPacket& out, int timeoutMs)
{
    if (!streaming_) {
        Fail("read while not streaming");
        return CameraReadStatus::Error;
    }
    if (!device_->Plugged())
        return CameraReadStatus::Gone;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(format_.interval.numerator) / format_.interval.denominator));
    auto due = start_ + interval * sequence_;
    auto now = Clock::now();
    if (now < due) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(due - now, std::chrono::milliseconds(timeoutMs)));
        if (Clock::now() < due)
            return CameraReadStatus::Timeout;
        if (!device_->Plugged())
            return CameraReadStatus::Gone;
    } else if (now - due > kMaxLag) {
        const auto behind = (now - due) / interval;
        sequence_ += static_cast<uint64_t>(behind);
    }

    out.fourcc = format_.fourcc;
    out.width = format_.width;
    out.height = format_.height;
    out.sequence = sequence_;
    out.ptsUs = static_cast<int64_t>(sequence_) * 1000000 * format_.interval.numerator
        / format_.interval.denominator;
    if (format_.fourcc == V4L2_PIX_FMT_H264) {
        FollowSettings();
        out.data = clip_->packets[clipIndex_];
        clipIndex_ = (clipIndex_ + 1) % clip_->packets.size();
    } else if (!mjpeg_.Encode(sequence_, device_->Adjust(), out.data)) {
        Fail("MJPEG encoding failed");
        return CameraReadStatus::Error;
    }
    ++sequence_;
    return CameraReadStatus::Packet;
}

void SimulatedCamera::StopStreaming()
{
    if (nextClip_.valid())
        nextClip_.wait();
    nextClip_ = {};
    clip_.reset();
    mjpeg_ = SimulatedMjpegEncoder();
    streaming_ = false;
}

int SimulatedCamera::ExtensionUnitQuery(
    uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    const int err = device_->ExtensionUnitQuery(unit, selector, query, data, size);
    if (err != 0)
        Fail(std::string("extension unit query: ") + std::strerror(err));
    return err;
}

bool SimulatedCamera::QueryControl(uint32_t id, CameraControlInfo& out)
{
    return device_->Plugged() ? device_->QueryControl(id, out) : Fail("unplugged");
}

bool SimulatedCamera::GetControl(uint32_t id, int32_t& value)
{
    return device_->Plugged() ? device_->GetControl(id, value) : Fail("unplugged");
}

bool SimulatedCamera::SetControl(uint32_t id, int32_t value)
{
    return device_->Plugged() ? device_->SetControl(id, value) : Fail("unplugged");
}

} // namespace kestovar
