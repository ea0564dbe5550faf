#pragma once
// The station's sound: microphones, the microphone level and volume, the speaker
// volume and the movie sound. PulseAudioBackend talks to the desktop's sound server;
// SimulatedAudioBackend stands in for it next to the simulated camera.
//
// Samples are always interleaved 32-bit float, stereo, 48 kHz (kAudioRate,
// kAudioChannels), whatever the device does underneath; the sound server converts.
// Timestamps are microseconds on the monotonic clock (std::chrono::steady_clock), the
// clock V4L2 stamps camera buffers with, so sound and picture can be lined up.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestovar {

inline constexpr int kAudioRate = 48000;
inline constexpr int kAudioChannels = 2;

// Microseconds on the monotonic clock, the time base of every capture timestamp.
int64_t MonotonicMicros();

struct AudioDeviceInfo {
    std::string name; // the backend's own identifier, given back to OpenRecordStream
    std::string friendlyName; // what the operator sees ("USB Audio ADC Ver1.0")
    std::string busPath; // USB bus or sysfs path of the device; empty when unknown
};

// Receives captured sound: `frames` stereo frames (2 * frames floats), the first of
// which was captured at `timestampUs`. Called on the backend's own thread; it must not
// block (copy and return).
using AudioBlockCallback = std::function<void(const float* interleaved, size_t frames, int64_t timestampUs)>;

// A running capture from one microphone. Destroying it stops the capture; once the
// destructor has returned the callback is never called again.
class AudioRecordStream {
public:
    virtual ~AudioRecordStream() = default;
    // True once the stream lost its sound server at any time (it comes back by
    // itself when the server does). Any thread.
    virtual bool Interrupted() const { return false; }
};

// Sound on its way to the default speaker. Thread-safe: the player's thread writes
// while the GUI thread pauses and continues it.
class AudioPlaybackStream {
public:
    virtual ~AudioPlaybackStream() = default;

    // Queues up to `frames` frames without blocking; returns how many were taken
    // (fewer when the buffer is full; the caller retries later).
    virtual size_t Write(const float* interleaved, size_t frames) = 0;
    // How long the queued sound takes to be heard, in microseconds: the sound now
    // leaving the speaker was written this long before the end of what was written.
    virtual int64_t LatencyUs() = 0;
    // Holds (true) or continues (false) the sound without losing what is queued.
    virtual void SetPaused(bool paused) = 0;
    // Drops everything queued (after a seek).
    virtual void Flush() = 0;
    // Starts playing what is queued even when less than the start threshold is
    // buffered (the end of a movie).
    virtual void PlayQueued() = 0;
    // False once the sound server has gone away or the stream failed.
    virtual bool Healthy() = 0;
};

// Thread safety: every method may be called from any thread.
class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    // False when no sound server could be reached; every other call then fails softly.
    virtual bool Available() const = 0;

    // Sound inputs in the server's order, monitors of outputs left out.
    virtual std::vector<AudioDeviceInfo> ListInputDevices() = 0;

    // Starts capturing from the input named `deviceName` (AudioDeviceInfo::name).
    // Returns null and sets *error when the device cannot be opened.
    virtual std::unique_ptr<AudioRecordStream> OpenRecordStream(
        const std::string& deviceName, AudioBlockCallback callback, std::string* error)
        = 0;

    // A stream to the default output, paused until SetPaused(false).
    virtual std::unique_ptr<AudioPlaybackStream> OpenPlaybackStream(std::string* error) = 0;

    // The highest level (0..1 of full scale) the default input has reached since the
    // previous call; the first call starts the meter and may answer 0.
    virtual std::optional<float> DefaultInputPeak() = 0;

    // Master volumes of the default input and output, 0..1 (the server's volume scale,
    // where 1 is the device's nominal level), and the input's mute switch.
    virtual std::optional<float> DefaultInputVolume() = 0;
    virtual bool SetDefaultInputVolume(float volume) = 0;
    virtual bool SetDefaultInputMuted(bool muted) = 0;
    virtual std::optional<float> DefaultOutputVolume() = 0;
    virtual bool SetDefaultOutputVolume(float volume) = 0;
};

// The station's sound: with simulated devices the simulated microphone (its speaker
// and output volume on the sound server when one answers), otherwise the sound server.
std::shared_ptr<AudioBackend> CreateAudioBackend(bool simulatedDevices);

} // namespace kestovar
