// The sound backends: the simulated microphone and speaker, and PulseAudio against the
// private daemon the test script starts (null sink "nullsink", microphone "cammic"
// described as "USB Audio ADC Ver1.0", which hears what the sink plays).
#include "platform/PulseAudioBackend.h"
#include "platform/SimulatedAudioBackend.h"

#include "PrivatePulse.h"
#include "PulseTestLock.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

namespace kestovar {
namespace {

using namespace std::chrono_literals;

// Collects what a record stream delivers.
struct Recorder {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<float> samples;
    std::vector<std::pair<int64_t, size_t>> blocks; // timestamp, frames

    AudioBlockCallback Callback()
    {
        return [this](const float* data, size_t frames, int64_t ts) {
            std::lock_guard lock(mutex);
            samples.insert(samples.end(), data, data + frames * kAudioChannels);
            blocks.emplace_back(ts, frames);
            arrived.notify_all();
        };
    }

    // Waits until `frames` frames have come; false after `limit`.
    bool WaitFrames(size_t frames, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, limit, [&] { return samples.size() >= frames * kAudioChannels; });
    }

    float Peak()
    {
        std::lock_guard lock(mutex);
        float peak = 0.0f;
        for (float s : samples)
            peak = std::max(peak, std::fabs(s));
        return peak;
    }
};

TEST(SimulatedAudio, OffersItsMicrophoneAndRecordsAContinuousTone)
{
    SimulatedAudioBackend backend;
    auto devices = backend.ListInputDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, "Kestovar Simulated Microphone");

    Recorder recorder;
    std::string error;
    auto stream = backend.OpenRecordStream(devices[0].name, recorder.Callback(), &error);
    ASSERT_TRUE(stream) << error;
    ASSERT_TRUE(recorder.WaitFrames(kAudioRate / 5));
    stream.reset();

    EXPECT_NEAR(recorder.Peak(), SimulatedAudioBackend::kToneAmplitude, 0.01f);
    std::lock_guard lock(recorder.mutex);
    // Each block starts where the previous one ended: no gaps in the timeline.
    for (size_t i = 1; i < recorder.blocks.size(); ++i) {
        int64_t expected = recorder.blocks[i - 1].first
            + static_cast<int64_t>(recorder.blocks[i - 1].second) * 1000000 / kAudioRate;
        EXPECT_NEAR(static_cast<double>(recorder.blocks[i].first), static_cast<double>(expected), 1.0);
    }
    // Left and right carry the same sound.
    for (size_t i = 0; i + 1 < recorder.samples.size(); i += 2)
        ASSERT_EQ(recorder.samples[i], recorder.samples[i + 1]);
}

TEST(SimulatedAudio, StoppedStreamDeliversNothingMore)
{
    SimulatedAudioBackend backend;
    Recorder recorder;
    auto stream = backend.OpenRecordStream(kSimulatedMicrophoneName, recorder.Callback(), nullptr);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(recorder.WaitFrames(kAudioRate / 50));
    stream.reset();
    size_t count = 0;
    {
        std::lock_guard lock(recorder.mutex);
        count = recorder.samples.size();
    }
    std::this_thread::sleep_for(50ms);
    std::lock_guard lock(recorder.mutex);
    EXPECT_EQ(recorder.samples.size(), count);
}

TEST(SimulatedAudio, UnknownMicrophoneIsRefusedWithAMessage)
{
    SimulatedAudioBackend backend;
    std::string error;
    EXPECT_FALSE(backend.OpenRecordStream(
        "USB Audio ADC Ver1.0", [](const float*, size_t, int64_t) {}, &error));
    EXPECT_NE(error.find("USB Audio ADC Ver1.0"), std::string::npos);
}

TEST(SimulatedAudio, VolumeAndMuteChangeTheLevel)
{
    SimulatedAudioBackend backend;
    EXPECT_FLOAT_EQ(*backend.DefaultInputPeak(), SimulatedAudioBackend::kToneAmplitude);
    EXPECT_TRUE(backend.SetDefaultInputVolume(0.5f));
    EXPECT_FLOAT_EQ(*backend.DefaultInputVolume(), 0.5f);
    EXPECT_NEAR(*backend.DefaultInputPeak(), SimulatedAudioBackend::kToneAmplitude * 0.125f, 1e-6);
    EXPECT_TRUE(backend.SetDefaultInputMuted(true));
    EXPECT_EQ(*backend.DefaultInputPeak(), 0.0f);
    // Out-of-range values are clamped, nonsense is refused.
    EXPECT_TRUE(backend.SetDefaultOutputVolume(3.0f));
    EXPECT_EQ(*backend.DefaultOutputVolume(), 1.0f);
    EXPECT_FALSE(backend.SetDefaultOutputVolume(std::nanf("")));
    EXPECT_EQ(*backend.DefaultOutputVolume(), 1.0f);
}

TEST(SimulatedAudio, SpeakerPlaysOnlyWhileNotPaused)
{
    SimulatedAudioBackend backend;
    auto speaker = backend.OpenPlaybackStream(nullptr);
    ASSERT_TRUE(speaker);
    std::vector<float> tone(kAudioRate / 10 * kAudioChannels, 0.5f);
    EXPECT_EQ(speaker->Write(tone.data(), kAudioRate / 10), static_cast<size_t>(kAudioRate / 10));
    EXPECT_EQ(speaker->LatencyUs(), 100000);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(backend.HeardEnergy(), 0.0); // paused at first
    speaker->SetPaused(false);
    std::this_thread::sleep_for(30ms);
    EXPECT_LT(speaker->LatencyUs(), 100000);
    EXPECT_GT(backend.HeardEnergy(), 0.0);
    speaker->Flush();
    EXPECT_EQ(speaker->LatencyUs(), 0);
}

TEST(SimulatedAudio, MovieSoundCanGoToARealSpeaker)
{
    auto speaker = std::make_shared<SimulatedAudioBackend>();
    SimulatedAudioBackend backend(speaker);
    ASSERT_TRUE(backend.SetDefaultOutputVolume(0.3f));
    EXPECT_FLOAT_EQ(*speaker->DefaultOutputVolume(), 0.3f);
    auto stream = backend.OpenPlaybackStream(nullptr);
    ASSERT_TRUE(stream);
    std::vector<float> tone(480 * kAudioChannels, 0.5f);
    stream->SetPaused(false);
    ASSERT_EQ(stream->Write(tone.data(), 480), 480u);
    std::this_thread::sleep_for(20ms);
    stream->LatencyUs();
    EXPECT_GT(speaker->HeardEnergy(), 0.0);
    EXPECT_EQ(backend.HeardEnergy(), 0.0);
    // The microphone stays the simulated one.
    EXPECT_EQ(backend.ListInputDevices().front().friendlyName, kSimulatedMicrophoneName);
}

// ---- PulseAudio -------------------------------------------------------------------

class PulseAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::PulseAudioAvailable())
            GTEST_SKIP() << "no PulseAudio daemon answers at $PULSE_SERVER "
                            "(scripts/test starts one; by hand: source scripts/lib.sh; kestovar_pulse_start)";
        lock_ = std::make_unique<test::PulseTestLock>();
        backend_ = std::make_unique<PulseAudioBackend>("kestovar-test");
        ASSERT_TRUE(backend_->Available());
    }

    // A tone of `amplitude` for `seconds` to the default speaker, from a helper thread.
    void PlayTone(AudioPlaybackStream& speaker, float amplitude, double seconds)
    {
        const size_t total = static_cast<size_t>(seconds * kAudioRate);
        std::vector<float> chunk(480 * kAudioChannels);
        size_t done = 0;
        speaker.SetPaused(false);
        while (done < total) {
            for (size_t i = 0; i < 480; ++i) {
                auto v = static_cast<float>(
                    amplitude * std::sin(2 * std::numbers::pi * 440.0 * (done + i) / kAudioRate));
                chunk[2 * i] = chunk[2 * i + 1] = v;
            }
            size_t n = 0;
            while (n < 480) {
                size_t w = speaker.Write(chunk.data() + n * kAudioChannels, 480 - n);
                n += w;
                if (w == 0)
                    std::this_thread::sleep_for(5ms);
            }
            done += 480;
        }
        speaker.PlayQueued();
    }

    std::unique_ptr<test::PulseTestLock> lock_;
    std::unique_ptr<PulseAudioBackend> backend_;
};

TEST_F(PulseAudio, ListsTheCameraMicrophoneByItsDescriptionAndNoMonitors)
{
    auto devices = backend_->ListInputDevices();
    auto camera = std::find_if(devices.begin(), devices.end(),
        [](const AudioDeviceInfo& d) { return d.friendlyName == "USB Audio ADC Ver1.0"; });
    ASSERT_NE(camera, devices.end());
    EXPECT_EQ(camera->name, "cammic");
    for (const auto& d : devices)
        EXPECT_EQ(d.name.find(".monitor"), std::string::npos) << d.name;
}

TEST_F(PulseAudio, SoundPlayedToTheSpeakerIsHeardByTheMicrophone)
{
    Recorder recorder;
    std::string error;
    auto mic = backend_->OpenRecordStream("cammic", recorder.Callback(), &error);
    ASSERT_TRUE(mic) << error;
    auto speaker = backend_->OpenPlaybackStream(&error);
    ASSERT_TRUE(speaker) << error;
    PlayTone(*speaker, 0.5f, 1.0);
    ASSERT_TRUE(recorder.WaitFrames(kAudioRate));
    std::this_thread::sleep_for(400ms);
    // Well above silence even if another suite turns the master volume down meanwhile.
    EXPECT_GT(recorder.Peak(), 0.05f);
    // Timestamps are recent monotonic times, in order.
    std::lock_guard lock(recorder.mutex);
    ASSERT_FALSE(recorder.blocks.empty());
    for (size_t i = 1; i < recorder.blocks.size(); ++i)
        EXPECT_GE(recorder.blocks[i].first, recorder.blocks[i - 1].first);
    EXPECT_LT(MonotonicMicros() - recorder.blocks.back().first, 5'000'000);
}

TEST_F(PulseAudio, PeakLevelFollowsTheDefaultMicrophone)
{
    backend_->DefaultInputPeak(); // starts the meter
    std::string error;
    auto speaker = backend_->OpenPlaybackStream(&error);
    ASSERT_TRUE(speaker) << error;
    ASSERT_TRUE(backend_->SetDefaultInputVolume(1.0f));
    ASSERT_TRUE(backend_->SetDefaultInputMuted(false));
    ASSERT_TRUE(backend_->SetDefaultOutputVolume(1.0f));
    PlayTone(*speaker, 0.8f, 0.8);
    float peak = 0.0f;
    for (int i = 0; i < 50 && peak < 0.1f; ++i) {
        std::this_thread::sleep_for(40ms);
        peak = std::max(peak, backend_->DefaultInputPeak().value_or(0.0f));
    }
    EXPECT_GT(peak, 0.1f);
    // Reading the meter resets it.
    speaker.reset();
    std::this_thread::sleep_for(300ms);
    const float first = backend_->DefaultInputPeak().value_or(-1.0f);
    const float again = backend_->DefaultInputPeak().value_or(-1.0f);
    EXPECT_GE(first, 0.0f);
    EXPECT_LE(again, first);
}

TEST_F(PulseAudio, MasterVolumesRoundTripAndClamp)
{
    ASSERT_TRUE(backend_->SetDefaultOutputVolume(0.5f));
    EXPECT_NEAR(*backend_->DefaultOutputVolume(), 0.5f, 0.01f);
    ASSERT_TRUE(backend_->SetDefaultInputVolume(0.25f));
    EXPECT_NEAR(*backend_->DefaultInputVolume(), 0.25f, 0.01f);
    ASSERT_TRUE(backend_->SetDefaultInputVolume(7.0f));
    EXPECT_NEAR(*backend_->DefaultInputVolume(), 1.0f, 0.01f);
    ASSERT_TRUE(backend_->SetDefaultOutputVolume(1.0f));
    EXPECT_NEAR(*backend_->DefaultOutputVolume(), 1.0f, 0.01f);
}

TEST_F(PulseAudio, UnknownMicrophoneFailsWithAMessage)
{
    std::string error;
    EXPECT_FALSE(backend_->OpenRecordStream(
        "no-such-source", [](const float*, size_t, int64_t) {}, &error));
    EXPECT_FALSE(error.empty());
}

TEST(PulseAudioOffline, UnreachableServerMakesEveryCallFailSoftly)
{
    const char* saved = std::getenv("PULSE_SERVER");
    std::string keep = saved ? saved : "";
    test::TempDir dir;
    setenv("PULSE_SERVER", ("unix:" + (dir / "nothing-here").string()).c_str(), 1);
    {
        PulseAudioBackend backend("kestovar-test");
        EXPECT_FALSE(backend.Available());
        EXPECT_TRUE(backend.ListInputDevices().empty());
        EXPECT_FALSE(backend.DefaultInputVolume());
        EXPECT_FALSE(backend.SetDefaultOutputVolume(0.5f));
        EXPECT_FALSE(backend.DefaultInputPeak());
        std::string error;
        EXPECT_FALSE(backend.OpenPlaybackStream(&error));
        EXPECT_FALSE(error.empty());
    }
    if (saved)
        setenv("PULSE_SERVER", keep.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}

template <typename F> bool WaitFor(F done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The desktop's sound server restarted (an upgrade, a crash): streams opened before
// come back by themselves, and a backend made while no server ran finds it later.
TEST(PulseAudioRestart, StreamsAndBackendComeBackWhenTheServerDoes)
{
    test::PrivatePulse server;
    {
        PulseAudioBackend early("kestovar-test");
        EXPECT_FALSE(early.Available());
        if (!server.Start())
            GTEST_SKIP() << server.Why();
        EXPECT_TRUE(WaitFor([&] { return early.Available(); }, 5s)) << "a server that starts later is not found";
    }
    PulseAudioBackend backend("kestovar-test");
    Recorder recorder;
    std::string error;
    auto mic = backend.OpenRecordStream("cammic", recorder.Callback(), &error);
    ASSERT_TRUE(mic) << error;
    auto speaker = backend.OpenPlaybackStream(&error);
    ASSERT_TRUE(speaker) << error;
    speaker->SetPaused(false);

    server.Stop();
    EXPECT_TRUE(WaitFor([&] { return !speaker->Healthy(); }, 2s));
    ASSERT_TRUE(server.Start()) << server.Why();
    ASSERT_TRUE(WaitFor([&] { return speaker->Healthy(); }, 6s)) << "the speaker did not come back";
    {
        std::lock_guard lock(recorder.mutex);
        recorder.samples.clear();
    }
    // A second of tone through the same speaker object, heard by the same microphone.
    std::vector<float> tone(kAudioRate * kAudioChannels);
    for (size_t i = 0; i < size_t(kAudioRate); ++i)
        tone[2 * i] = tone[2 * i + 1] = 0.5f * float(std::sin(2 * std::numbers::pi * 440.0 * i / kAudioRate));
    size_t written = 0;
    const auto giveUp = std::chrono::steady_clock::now() + 5s;
    while (written < size_t(kAudioRate) && std::chrono::steady_clock::now() < giveUp) {
        const size_t n = speaker->Write(tone.data() + written * kAudioChannels, kAudioRate - written);
        written += n;
        if (n == 0)
            std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(written, size_t(kAudioRate));
    speaker->PlayQueued();
    ASSERT_TRUE(recorder.WaitFrames(kAudioRate / 2)) << "the microphone did not come back";
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(recorder.Peak(), 0.05f);
}

} // namespace
} // namespace kestovar
