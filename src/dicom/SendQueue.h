#pragma once
// The store-and-forward queue: captures wait on disk until the PACS has confirmed them.
//
// Each job is a small file "<id>.job" in the queue folder (<state folder>/dicom-queue),
// written atomically, naming the capture, its attempts, the time of the next try and,
// once the PACS refused it, its state "failed" and the PACS's reason. A job file is
// removed only when the PACS answered success, so a station killed at any moment finds
// the job waiting at the next start and sends it again; the capture's UIDs (sidecar
// file) make that resend harmless: the PACS keeps one copy.
//
// One worker thread, in the idle scheduling and I/O classes (it yields the processor and
// the disk to the live picture and a recording), sends one job at a time: it writes the
// DICOM object to a temporary file in the queue folder (a movie's stream too, never the
// whole movie in memory) and sends that file. A PACS that cannot be reached (or goes
// away mid-way) is tried again after growing intervals: 10 s, 30 s, 1, 2, 5, 10 and
// then every 15 minutes, for as long as it takes. A refusal, or a capture that cannot
// be made into an object (damaged movie or picture), marks the job failed with the
// reason; it is not tried again until the operator sends the capture again.
//
// A renamed capture's job follows it (CaptureRenamed); a deleted capture's job is
// dropped and the drop written to the queue's log, also when the worker finds the
// capture gone. Nothing here touches the capture path: the worker only reads files.
//
// Threads: the public calls may come from any thread (the GUI's). Events are reported
// on the worker thread; a GUI host forwards them to its own thread.

#include "dicom/CaptureSidecar.h"
#include "dicom/DicomSender.h"
#include "dicom/DicomSettings.h"
#include "library/CaseInfoFile.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestovar {

struct QueueEvent {
    enum Kind { Queued, Started, Sent, Retrying, Failed, Dropped };
    Kind kind = Queued;
    std::string capturePath;
    std::string message; // Retrying, Failed, Dropped: why
};

struct QueueJob {
    std::string id;
    std::string capturePath;
    int attempts = 0;
    int64_t nextTry = 0; // seconds since the epoch
    bool failed = false;
    std::string message;
};

class SendQueue : public std::enable_shared_from_this<SendQueue> {
public:
    using Listener = std::function<void(const QueueEvent&)>;
    using Clock = std::chrono::system_clock;

    // Reads the jobs in folder (creating it) and removes temporary files an earlier
    // run left. The worker starts with Start. The worker holds the queue alive while a
    // send it was told to abandon still runs.
    static std::shared_ptr<SendQueue> Create(std::string folder, DicomSettings settings);
    SendQueue(std::string folder, DicomSettings settings);
    ~SendQueue();
    SendQueue(const SendQueue&) = delete;
    SendQueue& operator=(const SendQueue&) = delete;

    void setListener(Listener listener);
    void setSettings(const DicomSettings& settings);
    // The retry intervals in seconds, growing; the last repeats. For tests.
    void setRetryIntervals(std::vector<int> seconds);

    void Start();
    // Stops the worker and forgets the listener. A send in progress is broken off (its
    // association aborted, the object's making stopped); its job stays on disk, waiting
    // as before, and is sent again at the next start. Should the worker still not have
    // ended within `wait`, it is left to end on its own. True when it has ended.
    bool Stop(std::chrono::milliseconds wait = std::chrono::seconds(3));

    // Queues the capture (again): a failed or waiting job of the same capture is
    // replaced. A picture carries the case fields it is sent with (kept in its
    // sidecar); a movie's come from its case information file. False with `error`
    // when the job cannot be written.
    bool Enqueue(const std::string& capturePath, const std::optional<CaseInfo>& stillCase, std::string* error = nullptr);
    // Tries the waiting jobs now instead of at their next time.
    void RetryNow();

    void CaptureRenamed(const std::string& oldPath, const std::string& newPath);
    void CaptureDeleted(const std::string& capturePath);

    std::vector<QueueJob> Jobs() const;
    int WaitingCount() const; // jobs not failed
    std::string folder() const { return folder_; }
    std::string logPath() const { return folder_ + "/queue.log"; }

private:
    void Run(SendInterrupt& interrupt);
    void RunJob(QueueJob job, SendInterrupt& interrupt);
    void Emit(const QueueEvent& event);
    bool SaveJob(const QueueJob& job, std::string* error);
    void RemoveJob(const std::string& id);
    void Log(const std::string& line);
    int RetryDelay(int attempts) const;

    std::string folder_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    DicomSettings settings_;
    std::vector<QueueJob> jobs_;
    std::vector<int> intervals_ { 10, 30, 60, 120, 300, 600, 900 };
    Listener listener_;
    std::string running_; // id of the job being sent
    bool runningDropped_ = false;
    std::string runningPath_; // its capture, following renames
    bool stop_ = false;
    bool workerDone_ = false;
    std::condition_variable done_;
    std::thread worker_;
    std::shared_ptr<SendInterrupt> interrupt_; // the running worker's, made by Start
    uint64_t counter_ = 0;
};

} // namespace kestovar
