#pragma once
// Helpers for the capture engine's tests: an in-memory video sink, a camera provider
// with chosen devices, and a recording camera backend for extension-unit checks.

#include "capture/VideoSink.h"
#include "platform/CameraBackend.h"
#include "platform/CameraProvider.h"

#include <QImage>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace kestovar::test {

// Keeps the newest picture, as the video window does, and counts what it was given.
class MemoryVideoSink final : public VideoSink {
public:
    explicit MemoryVideoSink(QSize size)
        : size_(size)
    {
    }
    QSize TargetSize() const override
    {
        std::lock_guard lock(mutex_);
        return size_;
    }
    void SetTargetSize(QSize size)
    {
        std::lock_guard lock(mutex_);
        size_ = size;
    }
    void Present(QImage frame) override
    {
        {
            std::lock_guard lock(mutex_);
            latest_ = std::move(frame);
            ++count_;
        }
        cv_.notify_all();
    }
    QImage Latest() const
    {
        std::lock_guard lock(mutex_);
        return latest_;
    }
    int Count() const
    {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Waits (a deadline against hanging, not a speed check) until `n` pictures came.
    bool WaitForCount(int n, std::chrono::seconds deadline = std::chrono::seconds(20))
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, deadline, [&] { return count_ >= n; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    QSize size_;
    QImage latest_;
    int count_ = 0;
};

// Lists the given devices and opens them with the given function.
class ListedCameraProvider final : public CameraProvider {
public:
    std::vector<VideoDeviceInfo> devices;
    std::function<std::unique_ptr<CameraBackend>(const VideoDeviceInfo&)> open;
    std::vector<std::string> usbIds;
    std::vector<VideoDeviceInfo> opened;

    std::vector<VideoDeviceInfo> ListVideoDevices() override { return devices; }
    std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo& d) override
    {
        opened.push_back(d);
        return open ? open(d) : nullptr;
    }
    std::vector<std::string> UsbInstanceIds(bool) override { return usbIds; }
};

// Installs a provider for one test and puts the default back afterwards.
class ProviderScope {
public:
    explicit ProviderScope(std::shared_ptr<CameraProvider> p) { SetCameraProvider(std::move(p)); }
    ~ProviderScope() { SetCameraProvider(nullptr); }
};

// A camera that records every extension-unit call; `failAt` makes the n-th call
// (0-based) fail with the given errno.
class RecordingCamera final : public CameraBackend {
public:
    struct Call {
        uint8_t unit, selector, query;
        std::vector<uint8_t> data;
    };
    std::vector<Call> calls;
    int failAt = -1;
    int failErrno = EIO;
    uint16_t length = 11;

    std::vector<CameraFormatInfo> Formats() override { return {}; }
    bool GetFormat(CameraCurrentFormat&) override { return false; }
    bool SetFormat(uint32_t, uint32_t, uint32_t) override { return false; }
    bool SetFrameInterval(FrameInterval) override { return false; }
    bool StartStreaming() override { return false; }
    CameraReadStatus ReadPacket(CameraPacket&, int) override { return CameraReadStatus::Error; }
    void StopStreaming() override { }
    int ExtensionUnitQuery(
        uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override
    {
        const int index = static_cast<int>(calls.size());
        if (query == 0x85 /* UVC_GET_LEN */ && size == 2) {
            data[0] = uint8_t(length);
            data[1] = uint8_t(length >> 8);
        }
        if (query == 0x81 /* UVC_GET_CUR */)
            for (uint16_t i = 0; i < size; ++i)
                data[i] = uint8_t(0x10 + i);
        calls.push_back({ unit, selector, query, std::vector<uint8_t>(data, data + size) });
        return index == failAt ? failErrno : 0;
    }
    bool QueryControl(uint32_t, CameraControlInfo&) override { return false; }
    bool GetControl(uint32_t, int32_t&) override { return false; }
    bool SetControl(uint32_t, int32_t) override { return false; }
    std::string LastError() const override { return "recording camera"; }
};

} // namespace kestovar::test
