#include "platform/PulseAudioBackend.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kestovar {

// A stream that opens itself again on the new context after the sound server came
// back. Called on the loop thread, lock held.
class PulseReopener {
public:
    virtual ~PulseReopener() = default;
    virtual void Lost() { }
    virtual void Reopen() = 0;
};

// The main loop and the context, shared by the backend and every stream it opened.
// When the server goes away (restarted by an upgrade, crashed) the connection tries
// again on the loop thread, waiting 0.5 s, then 1, 2, 4 and at most 8 s between tries,
// and tells every registered stream to open itself again once it is back.
class PulseConnection {
public:
    static constexpr pa_usec_t kFirstRetryUs = 500000;
    static constexpr pa_usec_t kLongestRetryUs = 8000000;

    explicit PulseConnection(const std::string& clientName)
        : clientName_(clientName)
    {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            return;
        if (pa_threaded_mainloop_start(loop_) < 0)
            return;
        running_ = true;
        Lock lock(*this);
        if (!NewContext()) {
            ScheduleRetry();
            return;
        }
        for (;;) {
            pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state))
                break;
            Wait();
        }
        if (!ready_)
            std::fprintf(stderr, "pulse: cannot connect to the sound server: %s; trying again in the background\n",
                pa_strerror(pa_context_errno(context_)));
    }

    ~PulseConnection()
    {
        if (running_) {
            {
                Lock lock(*this);
                closing_ = true;
                if (retry_)
                    pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
                retry_ = nullptr;
            }
            pa_threaded_mainloop_stop(loop_);
        }
        DropContext();
        if (loop_)
            pa_threaded_mainloop_free(loop_);
    }

    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    class Lock {
    public:
        explicit Lock(PulseConnection& c)
            : loop_(c.loop_)
        {
            pa_threaded_mainloop_lock(loop_);
        }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    // The callers below hold the lock.
    bool Ready() const { return ready_ && context_ && pa_context_get_state(context_) == PA_CONTEXT_READY; }
    pa_context* Context() const { return context_; }
    void Wait() { pa_threaded_mainloop_wait(loop_); }
    void Signal() { pa_threaded_mainloop_signal(loop_, 0); }
    bool Connected() const { return ready_; }
    // How many times the server came back after it went away.
    int Reconnections() const { return reconnections_; }

    void AddReopener(PulseReopener* r) { reopeners_.push_back(r); }
    void RemoveReopener(PulseReopener* r) { reopeners_.erase(std::remove(reopeners_.begin(), reopeners_.end(), r), reopeners_.end()); }

    // Waits for an operation to finish; false when the connection broke meanwhile.
    bool Finish(pa_operation* op)
    {
        if (!op)
            return false;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
            if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
                pa_operation_cancel(op);
                break;
            }
            Wait();
        }
        bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
        pa_operation_unref(op);
        return done;
    }

private:
    // Lock held (or the loop not running).
    bool NewContext()
    {
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), clientName_.c_str());
        if (!context_)
            return false;
        pa_context_set_state_callback(context_, &PulseConnection::OnContextState, this);
        return pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    }

    void DropContext()
    {
        if (!context_)
            return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    static void OnContextState(pa_context* c, void* self) { static_cast<PulseConnection*>(self)->StateChanged(c); }

    void StateChanged(pa_context* c)
    {
        const pa_context_state_t state = pa_context_get_state(c);
        if (state == PA_CONTEXT_READY) {
            const bool back = lost_;
            ready_ = true;
            lost_ = false;
            retryUs_ = kFirstRetryUs;
            if (back) {
                ++reconnections_;
                std::fprintf(stderr, "pulse: the sound server is back\n");
                for (PulseReopener* r : std::vector<PulseReopener*>(reopeners_))
                    r->Reopen();
            }
        } else if (!PA_CONTEXT_IS_GOOD(state) && !closing_) {
            if (ready_ && !lost_)
                std::fprintf(stderr, "pulse: lost the sound server (%s); reconnecting\n",
                    pa_strerror(pa_context_errno(c)));
            ready_ = false;
            lost_ = true;
            for (PulseReopener* r : reopeners_)
                r->Lost();
            ScheduleRetry();
        }
        Signal();
    }

    void ScheduleRetry()
    {
        if (retry_ || closing_)
            return;
        lost_ = true;
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        timeval when;
        pa_timeval_add(pa_gettimeofday(&when), retryUs_);
        retry_ = api->time_new(api, &when, &PulseConnection::OnRetry, this);
        retryUs_ = std::min(retryUs_ * 2, kLongestRetryUs);
    }

    static void OnRetry(pa_mainloop_api* api, pa_time_event* e, const timeval*, void* self)
    {
        auto* c = static_cast<PulseConnection*>(self);
        api->time_free(e);
        c->retry_ = nullptr;
        if (c->closing_)
            return;
        c->DropContext();
        if (!c->NewContext())
            c->ScheduleRetry();
    }

    std::string clientName_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool running_ = false;
    bool ready_ = false;
    // Loop thread (lock held):
    bool lost_ = false;
    bool closing_ = false;
    pa_time_event* retry_ = nullptr;
    pa_usec_t retryUs_ = kFirstRetryUs;
    int reconnections_ = 0;
    std::vector<PulseReopener*> reopeners_;
};

namespace {

using RawCallback = std::function<void(const float* samples, size_t count, int64_t timestampUs)>;

// Waits, lock held, until a stream is ready or has failed.
bool WaitStreamReady(PulseConnection& c, pa_stream* s)
{
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_READY)
            return true;
        if (!PA_STREAM_IS_GOOD(state) || pa_context_get_state(c.Context()) != PA_CONTEXT_READY)
            return false;
        c.Wait();
    }
}

void SignalOnStreamState(pa_stream*, void* connection)
{
    static_cast<PulseConnection*>(connection)->Signal();
}

std::string ServerError(PulseConnection& c, const char* what)
{
    return std::string(what) + ": " + pa_strerror(pa_context_errno(c.Context()));
}

// Ends a stream of ours: no callback reaches us any more, then it is let go.
void EndStream(pa_stream*& stream)
{
    if (!stream)
        return;
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

// Capture from one source. `channels` floats make a frame.
class PulseRecordStream final : public AudioRecordStream, private PulseReopener {
public:
    PulseRecordStream(std::shared_ptr<PulseConnection> c, RawCallback callback, int channels)
        : connection_(std::move(c))
        , callback_(std::move(callback))
        , channels_(channels)
    {
    }

    ~PulseRecordStream() override
    {
        PulseConnection::Lock lock(*connection_);
        connection_->RemoveReopener(this);
        Close();
    }

    // `device` null means the default input. Lock not held.
    bool Open(const char* device, const pa_sample_spec& format, const pa_buffer_attr& attr,
        pa_stream_flags_t flags, const char* title, std::string* error)
    {
        PulseConnection::Lock lock(*connection_);
        if (!connection_->Ready()) {
            *error = "the sound server is not available";
            return false;
        }
        device_ = device ? std::optional<std::string>(device) : std::nullopt;
        format_ = format;
        attr_ = attr;
        flags_ = flags;
        title_ = title;
        if (!Connect()) {
            *error = ServerError(*connection_, "cannot create a record stream");
            return false;
        }
        if (!WaitStreamReady(*connection_, stream_)) {
            *error = ServerError(*connection_, "cannot record from the microphone");
            return false;
        }
        connection_->AddReopener(this);
        return true;
    }

    bool Interrupted() const override { return interrupted_.load(); }

private:
    void Lost() override { interrupted_ = true; }

    // Lock held.
    bool Connect()
    {
        stream_ = pa_stream_new(connection_->Context(), title_.c_str(), &format_, nullptr);
        if (!stream_)
            return false;
        pa_stream_set_state_callback(stream_, &SignalOnStreamState, connection_.get());
        pa_stream_set_read_callback(stream_, &PulseRecordStream::OnRead, this);
        return pa_stream_connect_record(stream_, device_ ? device_->c_str() : nullptr, &attr_, flags_) >= 0;
    }

    void Close() { EndStream(stream_); }

    // The server came back: the same microphone again. Its sound carries on at the
    // monotonic time it was captured at, so the writer fills the gap with silence and
    // sound and picture stay in step.
    void Reopen() override
    {
        Close();
        if (!Connect())
            std::fprintf(stderr, "pulse: cannot record from %s again: %s\n", device_ ? device_->c_str() : "the default input",
                pa_strerror(pa_context_errno(connection_->Context())));
    }

    static void OnRead(pa_stream* s, size_t, void* self) { static_cast<PulseRecordStream*>(self)->Read(s); }

    void Read(pa_stream* s)
    {
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(channels_);
        const pa_sample_spec* format = pa_stream_get_sample_spec(s);
        // The oldest unread sample was captured `latency` ago.
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(s, &latency, &negative) < 0 || negative)
            latency = 0;
        int64_t timestamp = MonotonicMicros() - static_cast<int64_t>(latency);
        while (pa_stream_readable_size(s) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                return;
            size_t frames = bytes / frameBytes;
            if (frames > 0) {
                if (data) {
                    callback_(static_cast<const float*>(data), frames, timestamp);
                } else {
                    // A hole in the server's buffer: keep the timeline with silence.
                    silence_.assign(frames * static_cast<size_t>(channels_), 0.0f);
                    callback_(silence_.data(), frames, timestamp);
                }
                timestamp += static_cast<int64_t>(frames) * 1000000 / format->rate;
            }
            pa_stream_drop(s);
        }
    }

    std::shared_ptr<PulseConnection> connection_;
    RawCallback callback_;
    int channels_;
    // What the stream was opened with, to open it again (lock held).
    std::optional<std::string> device_;
    pa_sample_spec format_ {};
    pa_buffer_attr attr_ {};
    pa_stream_flags_t flags_ {};
    std::string title_;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> interrupted_ { false };
    std::vector<float> silence_; // loop thread only
};

class PulsePlaybackStream final : public AudioPlaybackStream, private PulseReopener {
public:
    explicit PulsePlaybackStream(std::shared_ptr<PulseConnection> c)
        : connection_(std::move(c))
    {
    }

    ~PulsePlaybackStream() override
    {
        PulseConnection::Lock lock(*connection_);
        connection_->RemoveReopener(this);
        Close();
    }

    bool Open(std::string* error)
    {
        PulseConnection::Lock lock(*connection_);
        if (!connection_->Ready()) {
            *error = "the sound server is not available";
            return false;
        }
        if (!Connect()) {
            *error = ServerError(*connection_, "cannot create a playback stream");
            return false;
        }
        if (!WaitStreamReady(*connection_, stream_)) {
            *error = ServerError(*connection_, "cannot play to the speaker");
            return false;
        }
        connection_->AddReopener(this);
        return true;
    }

    size_t Write(const float* interleaved, size_t frames) override
    {
        PulseConnection::Lock lock(*connection_);
        if (!StreamReady())
            return 0;
        const size_t frameBytes = sizeof(float) * kAudioChannels;
        size_t room = pa_stream_writable_size(stream_);
        if (room == static_cast<size_t>(-1))
            return 0;
        size_t take = std::min(frames, room / frameBytes);
        if (take == 0)
            return 0;
        if (pa_stream_write(stream_, interleaved, take * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return 0;
        return take;
    }

    int64_t LatencyUs() override
    {
        PulseConnection::Lock lock(*connection_);
        if (!StreamReady())
            return 0;
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream_, &latency, &negative) < 0 || negative)
            return 0;
        return static_cast<int64_t>(latency);
    }

    void SetPaused(bool paused) override
    {
        PulseConnection::Lock lock(*connection_);
        paused_ = paused;
        if (StreamReady())
            connection_->Finish(pa_stream_cork(stream_, paused ? 1 : 0, &OnSuccess, connection_.get()));
    }

    void Flush() override
    {
        PulseConnection::Lock lock(*connection_);
        if (StreamReady())
            connection_->Finish(pa_stream_flush(stream_, &OnSuccess, connection_.get()));
    }

    void PlayQueued() override
    {
        PulseConnection::Lock lock(*connection_);
        if (StreamReady())
            connection_->Finish(pa_stream_trigger(stream_, &OnSuccess, connection_.get()));
    }

    bool Healthy() override
    {
        PulseConnection::Lock lock(*connection_);
        return StreamReady();
    }

private:
    static void OnSuccess(pa_stream*, int, void* connection)
    {
        static_cast<PulseConnection*>(connection)->Signal();
    }

    bool StreamReady() const { return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY; }

    // Lock held. Corked while the movie is paused.
    bool Connect()
    {
        pa_sample_spec format { PA_SAMPLE_FLOAT32NE, kAudioRate, kAudioChannels };
        stream_ = pa_stream_new(connection_->Context(), "Movie sound", &format, nullptr);
        if (!stream_)
            return false;
        pa_stream_set_state_callback(stream_, &SignalOnStreamState, connection_.get());
        pa_buffer_attr attr {};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(250000, &format));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (paused_)
            flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_START_CORKED);
        return pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) >= 0;
    }

    void Close() { EndStream(stream_); }

    // The server came back: the player finds the stream healthy again and goes on
    // writing the movie's sound.
    void Reopen() override
    {
        Close();
        if (!Connect())
            std::fprintf(stderr, "pulse: cannot play to the speaker again: %s\n",
                pa_strerror(pa_context_errno(connection_->Context())));
    }

    std::shared_ptr<PulseConnection> connection_;
    pa_stream* stream_ = nullptr;
    bool paused_ = true; // lock held
};

const char* const kDefaultSource = "@DEFAULT_SOURCE@";
const char* const kDefaultSink = "@DEFAULT_SINK@";

struct VolumeQuery {
    PulseConnection* connection;
    pa_cvolume volume {};
    bool found = false;
};

template <typename Info> void OnDeviceInfo(pa_context*, const Info* info, int eol, void* user)
{
    auto* query = static_cast<VolumeQuery*>(user);
    if (eol == 0 && info) {
        query->volume = info->volume;
        query->found = true;
    }
    if (eol != 0)
        query->connection->Signal();
}

void OnContextSuccess(pa_context*, int success, void* user)
{
    auto* result = static_cast<std::pair<PulseConnection*, bool>*>(user);
    result->second = success != 0;
    result->first->Signal();
}

struct SourceList {
    PulseConnection* connection;
    std::vector<AudioDeviceInfo> devices;
};

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* user)
{
    auto* list = static_cast<SourceList*>(user);
    if (eol != 0) {
        list->connection->Signal();
        return;
    }
    if (!info || info->monitor_of_sink != PA_INVALID_INDEX)
        return;
    AudioDeviceInfo device;
    device.name = info->name ? info->name : "";
    device.friendlyName = info->description ? info->description : device.name;
    const char* bus = pa_proplist_gets(info->proplist, "device.bus_path");
    if (!bus)
        bus = pa_proplist_gets(info->proplist, "sysfs.path");
    if (bus)
        device.busPath = bus;
    list->devices.push_back(std::move(device));
}

} // namespace

PulseAudioBackend::PulseAudioBackend(const std::string& clientName)
    : connection_(std::make_shared<PulseConnection>(clientName))
{
}

PulseAudioBackend::~PulseAudioBackend()
{
    std::lock_guard guard(peakMutex_);
    peakStream_.reset();
}

bool PulseAudioBackend::Available() const
{
    return connection_->Connected();
}

std::vector<AudioDeviceInfo> PulseAudioBackend::ListInputDevices()
{
    SourceList list { connection_.get(), {} };
    PulseConnection::Lock lock(*connection_);
    if (!connection_->Ready())
        return {};
    if (!connection_->Finish(pa_context_get_source_info_list(connection_->Context(), &OnSourceInfo, &list)))
        return {};
    return list.devices;
}

std::unique_ptr<AudioRecordStream> PulseAudioBackend::OpenRecordStream(
    const std::string& deviceName, AudioBlockCallback callback, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    auto stream = std::make_unique<PulseRecordStream>(connection_, std::move(callback), kAudioChannels);
    pa_sample_spec format { PA_SAMPLE_FLOAT32NE, kAudioRate, kAudioChannels };
    pa_buffer_attr attr {};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(20000, &format)); // 20 ms blocks
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING
        | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_DONT_MOVE);
    if (!stream->Open(deviceName.c_str(), format, attr, flags, "Microphone", error))
        return nullptr;
    return stream;
}

std::unique_ptr<AudioPlaybackStream> PulseAudioBackend::OpenPlaybackStream(std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    auto stream = std::make_unique<PulsePlaybackStream>(connection_);
    if (!stream->Open(error))
        return nullptr;
    return stream;
}

bool PulseAudioBackend::StartPeakMeter()
{
    if (peakStream_)
        return true;
    // A level meter in the server: one peak value per 40 ms, no sound data.
    auto stream = std::make_unique<PulseRecordStream>(
        connection_,
        [this](const float* samples, size_t count, int64_t) {
            float high = peak_.load(std::memory_order_relaxed);
            for (size_t i = 0; i < count; ++i)
                high = std::max(high, std::fabs(samples[i]));
            peak_.store(std::min(high, 1.0f), std::memory_order_relaxed);
        },
        1);
    pa_sample_spec format { PA_SAMPLE_FLOAT32NE, 25, 1 };
    pa_buffer_attr attr {};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = sizeof(float);
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
    std::string error;
    if (!stream->Open(nullptr, format, attr, flags, "Microphone level", &error))
        return false;
    peakStream_ = std::move(stream);
    return true;
}

std::optional<float> PulseAudioBackend::DefaultInputPeak()
{
    std::lock_guard guard(peakMutex_);
    if (!StartPeakMeter())
        return std::nullopt;
    return peak_.exchange(0.0f, std::memory_order_relaxed);
}

std::optional<float> PulseAudioBackend::DeviceVolume(bool input)
{
    VolumeQuery query { connection_.get() };
    PulseConnection::Lock lock(*connection_);
    if (!connection_->Ready())
        return std::nullopt;
    pa_operation* op = input ? pa_context_get_source_info_by_name(
                           connection_->Context(), kDefaultSource, &OnDeviceInfo<pa_source_info>, &query)
                             : pa_context_get_sink_info_by_name(
                                 connection_->Context(), kDefaultSink, &OnDeviceInfo<pa_sink_info>, &query);
    if (!connection_->Finish(op) || !query.found)
        return std::nullopt;
    return static_cast<float>(pa_cvolume_avg(&query.volume)) / static_cast<float>(PA_VOLUME_NORM);
}

bool PulseAudioBackend::SetDeviceVolume(bool input, float volume)
{
    if (!std::isfinite(volume))
        return false;
    volume = std::clamp(volume, 0.0f, 1.0f);
    VolumeQuery query { connection_.get() };
    PulseConnection::Lock lock(*connection_);
    if (!connection_->Ready())
        return false;
    // The device's own channel count, so the server takes the volume as given.
    pa_operation* op = input ? pa_context_get_source_info_by_name(
                           connection_->Context(), kDefaultSource, &OnDeviceInfo<pa_source_info>, &query)
                             : pa_context_get_sink_info_by_name(
                                 connection_->Context(), kDefaultSink, &OnDeviceInfo<pa_sink_info>, &query);
    if (!connection_->Finish(op) || !query.found)
        return false;
    pa_cvolume level;
    pa_cvolume_set(&level, query.volume.channels,
        static_cast<pa_volume_t>(std::lround(volume * static_cast<float>(PA_VOLUME_NORM))));
    std::pair<PulseConnection*, bool> result { connection_.get(), false };
    op = input ? pa_context_set_source_volume_by_name(
             connection_->Context(), kDefaultSource, &level, &OnContextSuccess, &result)
               : pa_context_set_sink_volume_by_name(
                   connection_->Context(), kDefaultSink, &level, &OnContextSuccess, &result);
    return connection_->Finish(op) && result.second;
}

std::optional<float> PulseAudioBackend::DefaultInputVolume()
{
    return DeviceVolume(true);
}

bool PulseAudioBackend::SetDefaultInputVolume(float volume)
{
    return SetDeviceVolume(true, volume);
}

bool PulseAudioBackend::SetDefaultInputMuted(bool muted)
{
    PulseConnection::Lock lock(*connection_);
    if (!connection_->Ready())
        return false;
    std::pair<PulseConnection*, bool> result { connection_.get(), false };
    pa_operation* op = pa_context_set_source_mute_by_name(
        connection_->Context(), kDefaultSource, muted ? 1 : 0, &OnContextSuccess, &result);
    return connection_->Finish(op) && result.second;
}

std::optional<float> PulseAudioBackend::DefaultOutputVolume()
{
    return DeviceVolume(false);
}

bool PulseAudioBackend::SetDefaultOutputVolume(float volume)
{
    return SetDeviceVolume(false, volume);
}

} // namespace kestovar
