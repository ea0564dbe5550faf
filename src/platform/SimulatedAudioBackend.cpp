#include "platform/SimulatedAudioBackend.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <numbers>
#include <thread>
#include <vector>

namespace kestovar {

namespace {

using Clock = std::chrono::steady_clock;

// Delivers the tone in 10 ms blocks, paced by the monotonic clock.
class SimulatedRecordStream final : public AudioRecordStream {
public:
    SimulatedRecordStream(const SimulatedAudioBackend& backend, AudioBlockCallback callback)
        : backend_(backend)
        , callback_(std::move(callback))
    {
        thread_ = std::thread([this] { Run(); });
    }

    ~SimulatedRecordStream() override
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Run()
    {
        constexpr size_t kBlock = kAudioRate / 100;
        std::vector<float> block(kBlock * kAudioChannels);
        const int64_t startUs = MonotonicMicros();
        const auto start = Clock::now();
        uint64_t delivered = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            auto due = start + std::chrono::microseconds((delivered + kBlock) * 1000000 / kAudioRate);
            if (wake_.wait_until(lock, due, [this] { return stop_; }))
                return;
            lock.unlock();
            const float gain = SimulatedAudioBackend::kToneAmplitude * backend_.InputGain();
            for (size_t i = 0; i < kBlock; ++i) {
                double t = static_cast<double>(delivered + i) / kAudioRate;
                auto v = static_cast<float>(
                    gain * std::sin(2.0 * std::numbers::pi * SimulatedAudioBackend::kToneHz * t));
                block[2 * i] = v;
                block[2 * i + 1] = v;
            }
            callback_(block.data(), kBlock, startUs + static_cast<int64_t>(delivered * 1000000 / kAudioRate));
            delivered += kBlock;
            lock.lock();
        }
    }

    const SimulatedAudioBackend& backend_;
    AudioBlockCallback callback_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

// A speaker that plays at the real rate: what was written leaves the queue as time
// passes while it is not paused.
class SimulatedPlaybackStream final : public AudioPlaybackStream {
public:
    explicit SimulatedPlaybackStream(std::atomic<double>& heard)
        : heard_(heard)
    {
    }

    size_t Write(const float* interleaved, size_t frames) override
    {
        std::lock_guard lock(mutex_);
        Consume();
        size_t room = kCapacity - queue_.size() / kAudioChannels;
        size_t take = std::min(frames, room);
        queue_.insert(queue_.end(), interleaved, interleaved + take * kAudioChannels);
        return take;
    }

    int64_t LatencyUs() override
    {
        std::lock_guard lock(mutex_);
        Consume();
        return static_cast<int64_t>(queue_.size() / kAudioChannels) * 1000000 / kAudioRate;
    }

    void SetPaused(bool paused) override
    {
        std::lock_guard lock(mutex_);
        Consume();
        paused_ = paused;
        last_ = Clock::now();
        carry_ = 0.0;
    }

    void Flush() override
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        last_ = Clock::now();
    }

    void PlayQueued() override { }
    bool Healthy() override { return true; }

private:
    static constexpr size_t kCapacity = kAudioRate / 4;

    void Consume()
    {
        auto now = Clock::now();
        if (paused_) {
            last_ = now;
            return;
        }
        double frames = std::chrono::duration<double>(now - last_).count() * kAudioRate + carry_;
        last_ = now;
        auto whole = static_cast<size_t>(frames);
        carry_ = frames - static_cast<double>(whole);
        size_t samples = std::min(whole * kAudioChannels, queue_.size());
        double energy = 0.0;
        for (size_t i = 0; i < samples; ++i)
            energy += std::fabs(queue_[i]);
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(samples));
        if (energy > 0.0)
            heard_.fetch_add(energy);
    }

    std::atomic<double>& heard_;
    std::mutex mutex_;
    std::deque<float> queue_;
    bool paused_ = true;
    Clock::time_point last_ = Clock::now();
    double carry_ = 0.0;
};

} // namespace

std::vector<AudioDeviceInfo> SimulatedAudioBackend::ListInputDevices()
{
    return { { kSimulatedMicrophoneName, kSimulatedMicrophoneName, {} } };
}

std::unique_ptr<AudioRecordStream> SimulatedAudioBackend::OpenRecordStream(
    const std::string& deviceName, AudioBlockCallback callback, std::string* error)
{
    if (!deviceName.empty() && deviceName != kSimulatedMicrophoneName) {
        if (error)
            *error = "no such microphone: " + deviceName;
        return nullptr;
    }
    return std::make_unique<SimulatedRecordStream>(*this, std::move(callback));
}

std::unique_ptr<AudioPlaybackStream> SimulatedAudioBackend::OpenPlaybackStream(std::string* error)
{
    if (speaker_)
        return speaker_->OpenPlaybackStream(error);
    return std::make_unique<SimulatedPlaybackStream>(heard_);
}

float SimulatedAudioBackend::InputGain() const
{
    std::lock_guard lock(mutex_);
    return inputMuted_ ? 0.0f : inputVolume_ * inputVolume_ * inputVolume_;
}

std::optional<float> SimulatedAudioBackend::DefaultInputPeak()
{
    return kToneAmplitude * InputGain();
}

std::optional<float> SimulatedAudioBackend::DefaultInputVolume()
{
    std::lock_guard lock(mutex_);
    return inputVolume_;
}

bool SimulatedAudioBackend::SetDefaultInputVolume(float volume)
{
    if (!std::isfinite(volume))
        return false;
    std::lock_guard lock(mutex_);
    inputVolume_ = std::clamp(volume, 0.0f, 1.0f);
    return true;
}

bool SimulatedAudioBackend::SetDefaultInputMuted(bool muted)
{
    std::lock_guard lock(mutex_);
    inputMuted_ = muted;
    return true;
}

std::optional<float> SimulatedAudioBackend::DefaultOutputVolume()
{
    if (speaker_)
        return speaker_->DefaultOutputVolume();
    std::lock_guard lock(mutex_);
    return outputVolume_;
}

bool SimulatedAudioBackend::SetDefaultOutputVolume(float volume)
{
    if (speaker_)
        return speaker_->SetDefaultOutputVolume(volume);
    if (!std::isfinite(volume))
        return false;
    std::lock_guard lock(mutex_);
    outputVolume_ = std::clamp(volume, 0.0f, 1.0f);
    return true;
}

} // namespace kestovar
