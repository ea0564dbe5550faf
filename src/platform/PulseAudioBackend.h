#pragma once
// The AudioBackend on the PulseAudio client library (served by PipeWire's pulse
// server on current desktops too). One threaded main loop per backend runs every
// callback; streams share the connection and keep it alive while they exist, so a
// stream may outlive the backend object that opened it.
//
// Record callbacks run on the main loop's thread. Never destroy a stream from inside
// its own callback.

#include "platform/AudioBackend.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace kestovar {

class PulseConnection;

class PulseAudioBackend final : public AudioBackend {
public:
    // Connects to the default server ($PULSE_SERVER or the session's); a server that
    // does not answer leaves the backend unavailable, never blocked.
    explicit PulseAudioBackend(const std::string& clientName = "Kestovar");
    ~PulseAudioBackend() override;
    PulseAudioBackend(const PulseAudioBackend&) = delete;
    PulseAudioBackend& operator=(const PulseAudioBackend&) = delete;

    bool Available() const override;
    std::vector<AudioDeviceInfo> ListInputDevices() override;
    std::unique_ptr<AudioRecordStream> OpenRecordStream(
        const std::string& deviceName, AudioBlockCallback callback, std::string* error) override;
    std::unique_ptr<AudioPlaybackStream> OpenPlaybackStream(std::string* error) override;
    std::optional<float> DefaultInputPeak() override;
    std::optional<float> DefaultInputVolume() override;
    bool SetDefaultInputVolume(float volume) override;
    bool SetDefaultInputMuted(bool muted) override;
    std::optional<float> DefaultOutputVolume() override;
    bool SetDefaultOutputVolume(float volume) override;

private:
    std::optional<float> DeviceVolume(bool input);
    bool SetDeviceVolume(bool input, float volume);
    bool StartPeakMeter();

    std::shared_ptr<PulseConnection> connection_;
    std::mutex peakMutex_; // guards starting the meter
    std::unique_ptr<AudioRecordStream> peakStream_; // the meter, once asked for
    std::atomic<float> peak_ { 0.0f }; // written on the loop thread
};

} // namespace kestovar
