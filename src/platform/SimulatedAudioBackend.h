#pragma once
// The sound side of the simulated devices: one microphone, "Kestovar Simulated
// Microphone", that delivers a steady 1 kHz tone paced in real time, and a speaker
// that consumes what it is given at the real rate (so a player's clock runs as with a
// sound card) and keeps a count of what it heard. Volumes and mute are remembered.

#include "platform/AudioBackend.h"

#include <atomic>
#include <mutex>

namespace kestovar {

inline constexpr const char* kSimulatedMicrophoneName = "Kestovar Simulated Microphone";

class SimulatedAudioBackend final : public AudioBackend {
public:
    // Amplitude of the tone at full input volume, 0..1 of full scale.
    static constexpr float kToneAmplitude = 0.25f;
    static constexpr double kToneHz = 1000.0;

    // With `speaker`, movie sound and the output volume go to that backend (the
    // desktop's speaker) instead of the simulated one.
    explicit SimulatedAudioBackend(std::shared_ptr<AudioBackend> speaker = nullptr)
        : speaker_(std::move(speaker))
    {
    }

    bool Available() const override { return true; }
    std::vector<AudioDeviceInfo> ListInputDevices() override;
    // Only kSimulatedMicrophoneName (or "", meaning the default) opens.
    std::unique_ptr<AudioRecordStream> OpenRecordStream(
        const std::string& deviceName, AudioBlockCallback callback, std::string* error) override;
    std::unique_ptr<AudioPlaybackStream> OpenPlaybackStream(std::string* error) override;
    std::optional<float> DefaultInputPeak() override;
    std::optional<float> DefaultInputVolume() override;
    bool SetDefaultInputVolume(float volume) override;
    bool SetDefaultInputMuted(bool muted) override;
    std::optional<float> DefaultOutputVolume() override;
    bool SetDefaultOutputVolume(float volume) override;

    // Sum of the absolute sample values every speaker stream has played so far: tests
    // use it to see that sound reached the speaker. A stream counts what it played
    // whenever it is written to or asked for its latency.
    double HeardEnergy() const { return heard_.load(); }

    // The tone's current linear gain (volume cubed, 0 when muted).
    float InputGain() const;

private:
    const std::shared_ptr<AudioBackend> speaker_;
    mutable std::mutex mutex_;
    float inputVolume_ = 1.0f;
    bool inputMuted_ = false;
    float outputVolume_ = 1.0f;
    std::atomic<double> heard_ { 0.0 };
};

} // namespace kestovar
