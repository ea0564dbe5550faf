#pragma once
// A simulated camera opened like a real one: it delivers real H.264 (from a looping
// libx264 clip) or MJPG of a moving test picture at the set size and frame rate,
// paced in real time, answers the image controls and the extension unit through its
// SimulatedCameraDevice, and reports Gone once the device is pulled.
// Thread rules: those of CameraBackend.

#include "platform/CameraBackend.h"
#include "platform/SimulatedCameraDevice.h"
#include "platform/SimulatedH264Clip.h"
#include "platform/SimulatedMjpegEncoder.h"

#include <chrono>
#include <future>
#include <memory>
#include <mutex>

namespace kestovar {

class SimulatedCamera final : public CameraBackend {
public:
    explicit SimulatedCamera(std::shared_ptr<SimulatedCameraDevice> device);
    ~SimulatedCamera() override;
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    std::vector<CameraFormatInfo> Formats() override;
    bool GetFormat(CameraCurrentFormat& out) override;
    bool SetFormat(uint32_t fourcc, uint32_t width, uint32_t height) override;
    bool SetFrameInterval(FrameInterval interval) override;

    bool StartStreaming() override;
    CameraReadStatus ReadPacket(CameraPacket& out, int timeoutMs) override;
    void StopStreaming() override;

    int ExtensionUnitQuery(
        uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;

    bool QueryControl(uint32_t id, CameraControlInfo& out) override;
    bool GetControl(uint32_t id, int32_t& value) override;
    bool SetControl(uint32_t id, int32_t value) override;

    std::string LastError() const override;

private:
    bool Fail(const std::string& what);
    SimulatedClipKey WantedClip() const;
    // Starts encoding a clip for changed controls or bit rate in the background and
    // switches to it at the next IDR frame, so the stream never stalls.
    void FollowSettings();

    const std::shared_ptr<SimulatedCameraDevice> device_;
    CameraCurrentFormat format_;
    bool streaming_ = false;

    // Capture thread while streaming.
    std::shared_ptr<const SimulatedClip> clip_;
    std::future<std::shared_ptr<const SimulatedClip>> nextClip_;
    SimulatedClipKey failedKey_;
    size_t clipIndex_ = 0;
    SimulatedMjpegEncoder mjpeg_;
    std::chrono::steady_clock::time_point start_;
    uint64_t sequence_ = 0;

    mutable std::mutex errorMutex_;
    std::string lastError_;
};

} // namespace kestovar
