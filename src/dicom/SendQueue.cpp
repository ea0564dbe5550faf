#include "dicom/SendQueue.h"

#include "dicom/DicomObjects.h"
#include "dicom/DicomSender.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "platform/ThreadPriority.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kestovar {

namespace {

constexpr std::string_view kJobSection = "Job";
constexpr std::size_t kMaxValue = 8192;

int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(SendQueue::Clock::now().time_since_epoch()).count();
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EndsWith(const std::string& s, std::string_view tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsPicture(const std::string& path)
{
    if (path.size() < 3)
        return false;
    std::string ext = path.substr(path.size() - 3);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "jpg";
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void MakeFolders(const std::string& path)
{
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/')
            ::mkdir(path.substr(0, i).c_str(), 0700);
    }
}

} // namespace

std::shared_ptr<SendQueue> SendQueue::Create(std::string folder, DicomSettings settings)
{
    return std::make_shared<SendQueue>(std::move(folder), std::move(settings));
}

SendQueue::SendQueue(std::string folder, DicomSettings settings)
    : folder_(std::move(folder))
    , settings_(std::move(settings))
{
    MakeFolders(folder_);
    RemoveStaleTemporariesIn(folder_);
    for (const std::string& name : FolderEntries(folder_)) {
        const std::string path = folder_ + "/" + name;
        // Objects and streams of a send the last run did not finish: made anew.
        if (EndsWith(name, ".dcm") || EndsWith(name, ".ts")) {
            std::remove(path.c_str());
            continue;
        }
        if (!EndsWith(name, ".job"))
            continue;
        ProfileFile file = ProfileFile::Load(path);
        QueueJob job;
        job.id = name.substr(0, name.size() - 4);
        job.capturePath = file.GetString(kJobSection, "Capture", "", kMaxValue);
        job.attempts = std::atoi(file.GetString(kJobSection, "Attempts", "0", 16).c_str());
        job.nextTry = std::atoll(file.GetString(kJobSection, "NextTry", "0", 24).c_str());
        job.failed = file.GetString(kJobSection, "State", "", 16) == "failed";
        job.message = DecodeCaseValue(file.GetString(kJobSection, "Message", "", kMaxValue));
        if (job.capturePath.empty()) {
            int error = 0;
            std::string aside = KeepDamagedFileAside(path, error);
            Log("damaged job file " + name + " kept as " + aside);
            continue;
        }
        jobs_.push_back(job);
    }
}

SendQueue::~SendQueue()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        listener_ = nullptr;
    }
    wake_.notify_all();
    if (worker_.joinable()) {
        if (worker_.get_id() == std::this_thread::get_id())
            worker_.detach(); // the worker held the last reference
        else
            worker_.join();
    }
}

void SendQueue::setListener(Listener listener)
{
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void SendQueue::setSettings(const DicomSettings& settings)
{
    {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        // New settings (another PACS, a fixed AE title) deserve a try now.
        for (QueueJob& job : jobs_) {
            if (!job.failed)
                job.nextTry = 0;
        }
    }
    wake_.notify_all();
}

void SendQueue::setRetryIntervals(std::vector<int> seconds)
{
    std::lock_guard lock(mutex_);
    if (!seconds.empty())
        intervals_ = std::move(seconds);
}

void SendQueue::Start()
{
    std::lock_guard lock(mutex_);
    if (worker_.joinable())
        return;
    stop_ = false;
    workerDone_ = false;
    interrupt_ = std::make_shared<SendInterrupt>();
    worker_ = std::thread([self = shared_from_this(), interrupt = interrupt_] { self->Run(*interrupt); });
}

bool SendQueue::Stop(std::chrono::milliseconds wait)
{
    std::unique_lock lock(mutex_);
    stop_ = true;
    listener_ = nullptr;
    // A movie of a gigabyte takes minutes to send: the station does not wait for it.
    if (interrupt_)
        interrupt_->Interrupt();
    wake_.notify_all();
    if (!worker_.joinable())
        return true;
    const bool ended = done_.wait_for(lock, wait, [this] { return workerDone_; });
    lock.unlock();
    if (ended)
        worker_.join();
    else
        worker_.detach(); // it holds the queue alive until it ends
    return ended;
}

int SendQueue::RetryDelay(int attempts) const
{
    const std::size_t i = std::min<std::size_t>(std::max(attempts, 1) - 1, intervals_.size() - 1);
    return intervals_[i];
}

bool SendQueue::SaveJob(const QueueJob& job, std::string* error)
{
    ProfileFile file;
    file.SetString(kJobSection, "Capture", job.capturePath);
    file.SetString(kJobSection, "Attempts", std::to_string(job.attempts));
    file.SetString(kJobSection, "NextTry", std::to_string(job.nextTry));
    file.SetString(kJobSection, "State", job.failed ? "failed" : "waiting");
    file.SetString(kJobSection, "Message", EncodeCaseValue(job.message));
    ProfileWriteResult r = file.Save(folder_ + "/" + job.id + ".job");
    if (!r.ok && error)
        *error = "The send job cannot be written in " + folder_ + " (" + std::strerror(r.error) + ").";
    return r.ok;
}

void SendQueue::RemoveJob(const std::string& id)
{
    std::remove((folder_ + "/" + id + ".job").c_str());
}

void SendQueue::Log(const std::string& line)
{
    std::time_t t = std::time(nullptr);
    std::tm tm {};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    std::ofstream log(logPath(), std::ios::app);
    log << stamp << ' ' << line << '\n';
}

void SendQueue::Emit(const QueueEvent& event)
{
    Listener listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener)
        listener(event);
}

bool SendQueue::Enqueue(const std::string& capturePath, const std::optional<CaseInfo>& stillCase, std::string* error)
{
    if (!Exists(capturePath)) {
        if (error)
            *error = "\"" + capturePath + "\" no longer exists.";
        return false;
    }
    CaptureSidecar sidecar = ReadSidecar(capturePath);
    sidecar.state = SendState::Queued;
    sidecar.message.clear();
    if (stillCase && IsPicture(capturePath))
        sidecar.stillCase = stillCase;
    int sideError = 0;
    if (!WriteSidecar(capturePath, sidecar, &sideError)) {
        if (error)
            *error = "The send state cannot be written beside \"" + capturePath + "\" (" + std::strerror(sideError) + ").";
        return false;
    }
    QueueJob job;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(jobs_.begin(), jobs_.end(), [&](const QueueJob& j) { return j.capturePath == capturePath; });
        if (it != jobs_.end()) {
            it->failed = false;
            it->attempts = 0;
            it->nextTry = 0;
            it->message.clear();
            job = *it;
        } else {
            char id[48];
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
            std::snprintf(id, sizeof id, "%016" PRIx64 "-%04" PRIx64, uint64_t(us), uint64_t(++counter_ & 0xFFFF));
            job.id = id;
            job.capturePath = capturePath;
        }
        if (!SaveJob(job, error))
            return false;
        if (it == jobs_.end())
            jobs_.push_back(job);
    }
    Log("queued " + capturePath);
    Emit({ QueueEvent::Queued, capturePath, {} });
    wake_.notify_all();
    return true;
}

void SendQueue::RetryNow()
{
    {
        std::lock_guard lock(mutex_);
        for (QueueJob& job : jobs_) {
            if (!job.failed)
                job.nextTry = 0;
        }
    }
    wake_.notify_all();
}

void SendQueue::CaptureRenamed(const std::string& oldPath, const std::string& newPath)
{
    std::lock_guard lock(mutex_);
    for (QueueJob& job : jobs_) {
        if (job.capturePath != oldPath)
            continue;
        job.capturePath = newPath;
        SaveJob(job, nullptr);
        if (job.id == running_)
            runningPath_ = newPath;
        Log("job follows " + oldPath + " -> " + newPath);
    }
}

void SendQueue::CaptureDeleted(const std::string& capturePath)
{
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(mutex_);
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            if (it->capturePath == capturePath) {
                if (it->id == running_)
                    runningDropped_ = true;
                RemoveJob(it->id);
                dropped.push_back(it->capturePath);
                it = jobs_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const std::string& path : dropped) {
        Log("dropped " + path + ": the capture was deleted");
        Emit({ QueueEvent::Dropped, path, "The capture was deleted." });
    }
}

std::vector<QueueJob> SendQueue::Jobs() const
{
    std::lock_guard lock(mutex_);
    return jobs_;
}

int SendQueue::WaitingCount() const
{
    std::lock_guard lock(mutex_);
    return int(std::count_if(jobs_.begin(), jobs_.end(), [](const QueueJob& j) { return !j.failed; }));
}

void SendQueue::Run(SendInterrupt& interrupt)
{
    // The live picture and a recording come first: the sender takes the processor and
    // the disk only when they leave them idle.
    LowerThisThreadToIdle();
    std::unique_lock lock(mutex_);
    while (!stop_) {
        const int64_t now = Now();
        const QueueJob* next = nullptr;
        int64_t earliest = INT64_MAX;
        for (const QueueJob& job : jobs_) {
            if (job.failed)
                continue;
            if (job.nextTry <= now && (!next || job.nextTry < next->nextTry))
                next = &job;
            earliest = std::min(earliest, job.nextTry);
        }
        if (!next) {
            if (earliest == INT64_MAX)
                wake_.wait(lock);
            else
                wake_.wait_until(lock, Clock::time_point(std::chrono::seconds(earliest)));
            continue;
        }
        QueueJob job = *next;
        running_ = job.id;
        runningPath_ = job.capturePath;
        runningDropped_ = false;
        lock.unlock();
        RunJob(job, interrupt);
        lock.lock();
        running_.clear();
    }
    workerDone_ = true;
    done_.notify_all();
}

void SendQueue::RunJob(QueueJob job, SendInterrupt& interrupt)
{
    DicomSettings settings;
    {
        std::lock_guard lock(mutex_);
        settings = settings_;
    }
    auto currentPath = [&] {
        std::lock_guard lock(mutex_);
        return runningPath_;
    };
    auto dropped = [&] {
        std::lock_guard lock(mutex_);
        return runningDropped_;
    };
    auto forget = [&](const std::string& id) {
        std::lock_guard lock(mutex_);
        jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(), [&](const QueueJob& j) { return j.id == id; }), jobs_.end());
        RemoveJob(id);
    };

    if (!Exists(job.capturePath)) {
        forget(job.id);
        Log("dropped " + job.capturePath + ": the capture no longer exists");
        Emit({ QueueEvent::Dropped, job.capturePath, "The capture no longer exists." });
        return;
    }
    if (settings.orgRoot.isEmpty())
        EnsureOrgRoot(settings);
    CaptureSidecar sidecar = ReadSidecar(job.capturePath);
    FillMissingUids(sidecar, settings.orgRoot.toStdString());
    sidecar.state = SendState::Sending;
    WriteSidecar(job.capturePath, sidecar);
    Emit({ QueueEvent::Started, job.capturePath, {} });

    ObjectRequest request;
    request.capturePath = job.capturePath;
    request.uids = sidecar;
    request.tempFolder = folder_;
    request.stationName = settings.stationAeTitle.toStdString();
    if (IsPicture(job.capturePath))
        request.caseInfo = sidecar.stillCase.value_or(CaseInfo {});
    else
        request.caseInfo = ReadCaseInfoFile(job.capturePath);

    // The PACS answers first: one that stays down must not cost a whole object (for an
    // MJPG movie minutes of encoding) at every try.
    SendOutcome outcome = CheckPacsAnswers(settings, &interrupt);
    ObjectResult object;
    if (outcome.ok()) {
        const std::string objectPath = folder_ + "/" + job.id + ".dcm";
        object = WriteCaptureObject(request, objectPath, interrupt.flag());
        if (!object.ok) {
            outcome.kind = Exists(job.capturePath) ? SendOutcome::Refused : SendOutcome::Retry;
            outcome.message = object.message;
        } else {
            outcome = StoreFile(settings, objectPath, object.sopClassUid, object.transferSyntaxUid, &interrupt);
        }
        std::remove(objectPath.c_str());
    }

    const std::string path = currentPath();
    if (dropped())
        return; // deleted meanwhile: its job is already gone and logged
    if (!outcome.ok() && interrupt.interrupted()) {
        // Broken off by the station's close, not by the PACS: the job file is as it
        // was (waiting, no try counted) and the next start sends it.
        WriteSendState(path, SendState::Queued, "");
        Log("stopped sending " + path + ": the station closed; it waits for the next start");
        return;
    }
    if (outcome.ok()) {
        forget(job.id);
        WriteSendState(path, SendState::Sent, "");
        Log("sent " + path + (object.reencoded ? " (picture re-encoded)" : ""));
        Emit({ QueueEvent::Sent, path, {} });
        return;
    }
    std::lock_guard lock(mutex_);
    auto it = std::find_if(jobs_.begin(), jobs_.end(), [&](const QueueJob& j) { return j.id == job.id; });
    if (it == jobs_.end())
        return;
    it->attempts += 1;
    it->message = outcome.message;
    QueueEvent event { QueueEvent::Retrying, path, outcome.message };
    if (outcome.kind == SendOutcome::Refused) {
        it->failed = true;
        event.kind = QueueEvent::Failed;
    } else {
        it->nextTry = Now() + RetryDelay(it->attempts);
        // The PACS is away for every job, not just this one: the others wait as long.
        for (QueueJob& other : jobs_) {
            if (!other.failed && other.nextTry < it->nextTry)
                other.nextTry = it->nextTry;
        }
    }
    SaveJob(*it, nullptr);
    WriteSendState(path, it->failed ? SendState::Failed : SendState::Queued, outcome.message);
    Log(std::string(it->failed ? "failed " : "will retry ") + path + ": " + outcome.message);
    Listener listener = listener_;
    mutex_.unlock();
    if (listener)
        listener(event);
    mutex_.lock();
}

} // namespace kestovar
