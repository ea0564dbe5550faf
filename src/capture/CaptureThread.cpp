#include "capture/CaptureThread.h"

#include <cstdio>

namespace kestovar {
namespace {

// How long one read may wait, which bounds how long Stop waits for the thread.
constexpr int kPollTimeoutMs = 100;

} // namespace

CaptureThread::~CaptureThread()
{
    Stop();
}

bool CaptureThread::Start(CameraBackend* camera, std::vector<PacketConsumer> consumers, EndCallback onEnd)
{
    Stop();
    if (!camera)
        return false;
    if (!camera->StartStreaming()) {
        std::fprintf(stderr, "capture: %s\n", camera->LastError().c_str());
        return false;
    }
    camera_ = camera;
    consumers_ = std::move(consumers);
    onEnd_ = std::move(onEnd);
    stop_.store(false);
    packets_.store(0);
    thread_ = std::thread(&CaptureThread::Run, this);
    return true;
}

void CaptureThread::Stop()
{
    if (!thread_.joinable())
        return;
    stop_.store(true);
    thread_.join();
    camera_->StopStreaming();
    camera_ = nullptr;
    consumers_.clear();
    onEnd_ = nullptr;
}

void CaptureThread::Run()
{
    while (!stop_.load()) {
        auto packet = std::make_shared<CameraPacket>();
        const CameraReadStatus status = camera_->ReadPacket(*packet, kPollTimeoutMs);
        if (status == CameraReadStatus::Timeout)
            continue;
        if (status != CameraReadStatus::Packet) {
            const std::string message = camera_->LastError();
            std::fprintf(stderr, "capture: the camera's stream ended: %s\n",
                status == CameraReadStatus::Gone ? "unplugged" : message.c_str());
            if (onEnd_)
                onEnd_(status, message);
            return;
        }
        packets_.fetch_add(1, std::memory_order_relaxed);
        const std::shared_ptr<const CameraPacket> shared = std::move(packet);
        for (const auto& consumer : consumers_)
            consumer(shared);
    }
}

} // namespace kestovar
