#pragma once
// The send queue driven from a test: events collected, waited for with a deadline.

#include "dicom/SendQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestovar::test {

class QueueWatch {
public:
    QueueWatch(const std::string& folder, const DicomSettings& settings)
        : queue(SendQueue::Create(folder, settings))
    {
        queue->setRetryIntervals({ 1 });
        queue->setListener([this](const QueueEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        });
    }
    ~QueueWatch() { queue->Stop(std::chrono::seconds(60)); }

    // The first event of that kind for the capture, waiting up to `seconds`.
    std::optional<QueueEvent> WaitFor(QueueEvent::Kind kind, const std::string& path, int seconds = 120)
    {
        std::unique_lock lock(mutex_);
        std::optional<QueueEvent> found;
        changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
            for (const QueueEvent& e : events_) {
                if (e.kind == kind && e.capturePath == path) {
                    found = e;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // Waits up to `seconds` until `n` events of that kind came for the capture.
    bool WaitForCount(QueueEvent::Kind kind, const std::string& path, int n, int seconds = 120)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
            return std::count_if(events_.begin(), events_.end(),
                       [&](const QueueEvent& e) { return e.kind == kind && e.capturePath == path; })
                >= n;
        });
    }

    int Count(QueueEvent::Kind kind, const std::string& path)
    {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const QueueEvent& e : events_)
            n += e.kind == kind && e.capturePath == path;
        return n;
    }

    std::shared_ptr<SendQueue> queue;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<QueueEvent> events_;
};

} // namespace kestovar::test
