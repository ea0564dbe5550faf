#pragma once
// A UVC camera node driven through V4L2: formats, mmap streaming with a poll
// timeout, the encoder's extension unit (UVCIOC_CTRL_QUERY) and the image controls.
// Every system call goes through a V4l2Io, so tests replay a camera's answers.
// Thread rules: those of CameraBackend.

#include "platform/CameraBackend.h"
#include "platform/V4l2Io.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestovar {

class V4l2Camera final : public CameraBackend {
public:
    // `sysRoot` is where sysfs is mounted (tests give a folder of their own).
    V4l2Camera(std::shared_ptr<V4l2Io> io, std::string node, std::string sysRoot = "/sys");
    ~V4l2Camera() override;
    V4l2Camera(const V4l2Camera&) = delete;
    V4l2Camera& operator=(const V4l2Camera&) = delete;

    // Opens the node and checks it is a streaming video capture device.
    bool Open();
    const std::string& CardName() const { return card_; }
    bool Offers(uint32_t fourcc);

    std::vector<CameraFormatInfo> Formats() override;
    bool GetFormat(CameraCurrentFormat& out) override;
    bool SetFormat(uint32_t fourcc, uint32_t width, uint32_t height) override;
    bool SetFrameInterval(FrameInterval interval) override;

    bool StartStreaming() override;
    CameraReadStatus ReadPacket(CameraPacket& out, int timeoutMs) override;
    void StopStreaming() override;

    int ExtensionUnitQuery(
        uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    // Found from the USB device's descriptors at the first call and remembered for
    // this USB device until it is plugged again (a new device number).
    int EncoderUnit() override;

    bool QueryControl(uint32_t id, CameraControlInfo& out) override;
    bool GetControl(uint32_t id, int32_t& value) override;
    bool SetControl(uint32_t id, int32_t value) override;

    std::string LastError() const override;

private:
    struct Buffer {
        void* address = nullptr;
        size_t length = 0;
    };

    bool Fail(const char* what);
    int Xioctl(unsigned long request, void* arg);
    void ReleaseBuffers();

    std::shared_ptr<V4l2Io> io_;
    std::string node_;
    std::string sysRoot_;
    std::string card_;
    int encoderUnit_ = kNoUnitYet;
    static constexpr int kNoUnitYet = -2;
    int fd_ = -1;

    // Streaming state: capture thread only while streaming.
    std::vector<Buffer> buffers_;
    bool streaming_ = false;
    uint64_t sequence_ = 0;
    CameraCurrentFormat streamFormat_;
    int64_t firstTimestampUs_ = -1;

    mutable std::mutex errorMutex_;
    std::string lastError_;
};

} // namespace kestovar
