#pragma once
// A graph's streaming thread: reads the camera and hands every packet, unchanged and
// in order, to each consumer (the preview's decoder; in a recording also the AVI
// writer's queue, as the two branches of a tee).
//
// Threads and ownership:
// - Start and Stop are called on the GUI thread. Start begins the camera's stream and
//   the thread; Stop joins the thread (within one poll timeout, 100 ms, plus the
//   packet in hand) and then ends the camera's stream.
// - Consumers and the end callback run on the capture thread. They must not block:
//   a consumer that needs to wait (disk) copies the shared pointer into its own
//   bounded queue. A packet is immutable once handed out.
// - The camera must stay alive, and not be used by anyone else, until Stop returns.

#include "platform/CameraBackend.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kestovar {

class CaptureThread {
public:
    using PacketConsumer = std::function<void(const std::shared_ptr<const CameraPacket>& packet)>;
    // The stream ended by itself: Gone (camera unplugged) or Error, with the reason.
    using EndCallback = std::function<void(CameraReadStatus why, const std::string& message)>;

    CaptureThread() = default;
    ~CaptureThread();
    CaptureThread(const CaptureThread&) = delete;
    CaptureThread& operator=(const CaptureThread&) = delete;

    // False (nothing running) when the camera cannot start streaming.
    bool Start(CameraBackend* camera, std::vector<PacketConsumer> consumers, EndCallback onEnd = {});
    // Safe to call when not running.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    // Packets read since Start; any thread.
    uint64_t PacketsRead() const { return packets_.load(std::memory_order_relaxed); }

private:
    void Run();

    CameraBackend* camera_ = nullptr;
    std::vector<PacketConsumer> consumers_;
    EndCallback onEnd_;
    std::atomic<bool> stop_ { false };
    std::atomic<uint64_t> packets_ { 0 };
    std::thread thread_;
};

} // namespace kestovar
