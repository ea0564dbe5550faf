#pragma once
// The working part of the player: the open file, its decoders, the speaker stream and
// the demux thread that reads, decodes, times and presents.
//
// Threads: Open, Run, Pause, Stop, Seek, Redraw and the queries are for the owner's
// thread; they hand requests to the demux thread under a mutex and return at once
// (Open decodes the first frame itself before it starts the thread). The callbacks run
// on the demux thread, and on the owner's thread inside Open. The destructor asks the
// thread to end and joins it before anything it uses is freed.
//
// Timing: frames are shown by a clock that follows the speaker (the sound's written
// end minus what is still queued) and runs on the monotonic clock where there is no
// sound, or once the sound has ended.

#include "capture/MediaHandles.h"
#include "platform/AudioBackend.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestovar {

class MovieEngine {
public:
    enum class State { Stopped, Paused, Running };
    struct Callbacks {
        std::function<void(const AVFrame* frame)> present; // a frame to show now
        std::function<void()> completed; // played to the end
    };

    MovieEngine(std::shared_ptr<AudioBackend> audio, Callbacks callbacks);
    ~MovieEngine();
    MovieEngine(const MovieEngine&) = delete;
    MovieEngine& operator=(const MovieEngine&) = delete;

    bool Open(const std::string& path, std::string* error);

    void Run();
    void Pause();
    void Stop();
    State CurrentState() const;
    int64_t DurationUs() const { return durationUs_; }
    int64_t PositionUs() const;
    void Seek(int64_t positionUs);
    void Redraw();

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool HasSound() const { return speaker_ != nullptr; }

private:
    struct Decoded {
        media::FramePtr frame;
        int64_t us = 0; // when it is due, from the movie's start
    };

    void Loop();
    int64_t Step(); // one round of work while running; returns a wait in µs, 0 when busy
    bool ReadPacket(); // false at the end of the file
    void DrainDecoders();
    void ReceiveVideo();
    void ReceiveAudio();
    void SeekTo(int64_t positionUs);
    void Show(Decoded decoded);
    void SetClockLocked(int64_t positionUs);
    int64_t ClockLocked() const;

    std::shared_ptr<AudioBackend> audio_;
    Callbacks callbacks_;

    // Set by Open, then read-only (the demux thread uses the FFmpeg objects).
    media::InputPtr input_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    media::CodecPtr videoDecoder_;
    media::CodecPtr audioDecoder_;
    media::SwrPtr resampler_;
    std::unique_ptr<AudioPlaybackStream> speaker_;
    int64_t startUs_ = 0; // the container's start time
    int64_t durationUs_ = 0;
    int64_t frameUs_ = 40000; // one frame's duration, for timing guesses
    int width_ = 0, height_ = 0;

    // Demux thread only (and Open before the thread starts).
    media::PacketPtr packet_;
    media::FramePtr decoded_;
    std::deque<Decoded> pendingVideo_;
    int64_t receivedUs_ = 0; // the time of the last frame decoded
    std::vector<float> pendingAudio_; // resampled, interleaved stereo
    int64_t pendingAudioUs_ = 0; // the time of pendingAudio_'s first sample
    bool soundWritten_ = false;
    bool soundLost_ = false; // the speaker failed; sound is skipped from then on
    bool fileDone_ = false;
    int64_t drainDeadlineUs_ = 0;
    media::FramePtr shown_;

    // Shared; guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    State state_ = State::Paused;
    std::optional<int64_t> seekUs_;
    bool redraw_ = false;
    bool finished_ = false;
    bool quit_ = false;
    int64_t clockUs_ = 0; // the position at clockSetAt_
    int64_t clockSetAt_ = 0; // monotonic µs
    bool clockRunning_ = false;

    std::thread thread_;
};

} // namespace kestovar
