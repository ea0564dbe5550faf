#include "playback/MovieEngine.h"
#include "platform/CameraAvPtr.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kestovar {

namespace {

// Decoded frames kept ahead of the clock; more only costs memory.
constexpr size_t kVideoAhead = 4;
// A frame this close to its time is shown now.
constexpr int64_t kShowEarlyUs = 2000;
// The speaker counts as empty below this much queued sound.
constexpr int64_t kDrainedUs = 20000;
// Larger pictures are not played: a damaged or hostile file (a picture claiming
// 16000 x 16000 named like a movie) would otherwise take hundreds of megabytes per
// frame. 8K is four times anything the cameras record.
constexpr int64_t kMaxMoviePixels = 8192LL * 8192LL;

int64_t ToMicros(int64_t value, AVRational timeBase)
{
    return av_rescale_q(value, timeBase, AVRational { 1, 1000000 });
}

} // namespace

MovieEngine::MovieEngine(std::shared_ptr<AudioBackend> audio, Callbacks callbacks)
    : audio_(std::move(audio))
    , callbacks_(std::move(callbacks))
{
}

MovieEngine::~MovieEngine()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    // The speaker goes before the decoders, the decoders before the file.
    speaker_.reset();
}

bool MovieEngine::Open(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    AVFormatContext* raw = nullptr;
    av::LimitAllocations();
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0)
        return fail("cannot open " + path + ": " + media::ErrorText(rc));
    input_.reset(raw);
    {
        // The decoders the probe opens itself get the same pixel limit.
        std::vector<AVDictionary*> options(input_->nb_streams, nullptr);
        for (AVDictionary*& o : options)
            av_dict_set_int(&o, "max_pixels", kMaxMoviePixels, 0);
        rc = avformat_find_stream_info(input_.get(), options.empty() ? nullptr : options.data());
        for (AVDictionary*& o : options)
            av_dict_free(&o);
    }
    if (rc < 0)
        return fail("cannot read " + path + ": " + media::ErrorText(rc));

    const AVCodec* videoCodec = nullptr;
    videoIndex_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &videoCodec, 0);
    if (videoIndex_ < 0 || !videoCodec)
        return fail(path + " has no picture that can be played");
    AVStream* video = input_->streams[videoIndex_];
    if (static_cast<int64_t>(video->codecpar->width) * video->codecpar->height > kMaxMoviePixels)
        return fail(path + " has a picture too large to play");
    videoDecoder_.reset(avcodec_alloc_context3(videoCodec));
    if (!videoDecoder_ || avcodec_parameters_to_context(videoDecoder_.get(), video->codecpar) < 0)
        return fail("out of memory for the picture decoder");
    videoDecoder_->thread_count = 1;
    videoDecoder_->max_pixels = kMaxMoviePixels;
    if ((rc = avcodec_open2(videoDecoder_.get(), videoCodec, nullptr)) < 0)
        return fail("cannot decode the picture of " + path + ": " + media::ErrorText(rc));
    width_ = video->codecpar->width;
    height_ = video->codecpar->height;
    AVRational rate = av_guess_frame_rate(input_.get(), video, nullptr);
    if (rate.num > 0 && rate.den > 0)
        frameUs_ = av_rescale(1000000, rate.den, rate.num);

    startUs_ = input_->start_time != AV_NOPTS_VALUE ? input_->start_time : 0;
    if (input_->duration > 0)
        durationUs_ = input_->duration;
    else if (video->duration > 0)
        durationUs_ = ToMicros(video->duration, video->time_base);

    // Sound is optional: without a stream, a decoder or a speaker the movie plays silent.
    const AVCodec* audioCodec = nullptr;
    audioIndex_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, videoIndex_, &audioCodec, 0);
    if (audioIndex_ >= 0 && audioCodec && audio_) {
        AVStream* sound = input_->streams[audioIndex_];
        media::CodecPtr decoder(avcodec_alloc_context3(audioCodec));
        SwrContext* swr = nullptr;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        std::string speakerError;
        if (decoder && avcodec_parameters_to_context(decoder.get(), sound->codecpar) >= 0
            && avcodec_open2(decoder.get(), audioCodec, nullptr) >= 0
            && swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, kAudioRate, &decoder->ch_layout,
                   decoder->sample_fmt, decoder->sample_rate, 0, nullptr)
                >= 0) {
            media::SwrPtr resampler(swr);
            if (swr_init(resampler.get()) >= 0) {
                speaker_ = audio_->OpenPlaybackStream(&speakerError);
                if (speaker_) {
                    audioDecoder_ = std::move(decoder);
                    resampler_ = std::move(resampler);
                } else {
                    std::fprintf(stderr, "player: playing without sound: %s\n", speakerError.c_str());
                }
            }
        } else {
            std::fprintf(
                stderr, "player: the sound of %s cannot be decoded; playing without it\n", path.c_str());
        }
    }
    if (!audioDecoder_)
        audioIndex_ = -1;

    packet_.reset(av_packet_alloc());
    decoded_.reset(av_frame_alloc());
    if (!packet_ || !decoded_)
        return fail("out of memory for the player");

    // The first frame, shown before anything runs.
    while (pendingVideo_.empty() && ReadPacket()) { }
    if (pendingVideo_.empty())
        return fail(path + " holds no picture that can be decoded");
    Decoded first = std::move(pendingVideo_.front());
    pendingVideo_.pop_front();
    const int64_t firstUs = first.us;
    if (first.frame->width > 0) {
        width_ = first.frame->width;
        height_ = first.frame->height;
    }
    Show(std::move(first));
    {
        std::lock_guard lock(mutex_);
        SetClockLocked(firstUs);
        state_ = State::Paused;
    }
    thread_ = std::thread([this] { Loop(); });
    return true;
}

// ---- requests from the owner ---------------------------------------------------------

void MovieEngine::Run()
{
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Running)
            return;
        state_ = State::Running;
        clockSetAt_ = MonotonicMicros();
        clockRunning_ = true;
    }
    if (speaker_)
        speaker_->SetPaused(false);
    wake_.notify_all();
}

void MovieEngine::Pause()
{
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Running)
            SetClockLocked(ClockLocked());
        clockRunning_ = false;
        state_ = State::Paused;
    }
    if (speaker_)
        speaker_->SetPaused(true);
    wake_.notify_all();
}

void MovieEngine::Stop()
{
    Pause();
    std::lock_guard lock(mutex_);
    state_ = State::Stopped;
}

MovieEngine::State MovieEngine::CurrentState() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

int64_t MovieEngine::PositionUs() const
{
    std::lock_guard lock(mutex_);
    int64_t position = ClockLocked();
    if (durationUs_ > 0)
        position = std::min(position, durationUs_);
    return std::max<int64_t>(position, 0);
}

void MovieEngine::Seek(int64_t positionUs)
{
    positionUs = std::max<int64_t>(0, positionUs);
    if (durationUs_ > 0)
        positionUs = std::min(positionUs, durationUs_);
    {
        std::lock_guard lock(mutex_);
        seekUs_ = positionUs;
        finished_ = false;
        SetClockLocked(positionUs); // what a position query answers until the frame is found
    }
    wake_.notify_all();
}

void MovieEngine::Redraw()
{
    {
        std::lock_guard lock(mutex_);
        redraw_ = true;
    }
    wake_.notify_all();
}

// ---- the clock (mutex_ held) ---------------------------------------------------------

void MovieEngine::SetClockLocked(int64_t positionUs)
{
    clockUs_ = positionUs;
    clockSetAt_ = MonotonicMicros();
}

int64_t MovieEngine::ClockLocked() const
{
    return clockRunning_ ? clockUs_ + (MonotonicMicros() - clockSetAt_) : clockUs_;
}

// ---- the demux thread ------------------------------------------------------------------

void MovieEngine::Loop()
{
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (seekUs_) {
            const int64_t target = *seekUs_;
            seekUs_.reset();
            lock.unlock();
            SeekTo(target);
            lock.lock();
            continue;
        }
        if (redraw_) {
            redraw_ = false;
            if (shown_ && callbacks_.present) {
                lock.unlock();
                callbacks_.present(shown_.get());
                lock.lock();
            }
            continue;
        }
        if (state_ != State::Running || finished_) {
            wake_.wait(lock);
            continue;
        }
        lock.unlock();
        const int64_t waitUs = Step();
        lock.lock();
        if (waitUs > 0 && !quit_ && !seekUs_ && !redraw_ && state_ == State::Running)
            wake_.wait_for(lock, std::chrono::microseconds(waitUs));
    }
}

int64_t MovieEngine::Step()
{
    bool busy = false;
    int64_t waitUs = 5000;

    if (soundLost_ && speaker_ && speaker_->Healthy()) {
        // The sound server is back (it reconnects by itself): sound from here on.
        std::fprintf(stderr, "player: the speaker is back; playing with sound again\n");
        soundLost_ = false;
    }
    if (!pendingAudio_.empty()) {
        const size_t frames = pendingAudio_.size() / kAudioChannels;
        const size_t taken = speaker_->Write(pendingAudio_.data(), frames);
        if (taken == 0 && !speaker_->Healthy()) {
            // The sound server went away: the picture plays on without sound.
            std::fprintf(stderr, "player: the speaker stream failed; playing on without sound until it is back\n");
            pendingAudio_.clear();
            soundLost_ = true;
        }
        if (taken > 0) {
            pendingAudio_.erase(pendingAudio_.begin(),
                pendingAudio_.begin() + static_cast<std::ptrdiff_t>(taken * kAudioChannels));
            pendingAudioUs_ += static_cast<int64_t>(taken) * 1000000 / kAudioRate;
            soundWritten_ = true;
            busy = true;
            // The speaker is the clock: what it plays now was written `latency` ago.
            const int64_t heard = pendingAudioUs_ - speaker_->LatencyUs();
            std::lock_guard lock(mutex_);
            if (clockRunning_ && !seekUs_)
                SetClockLocked(heard);
        }
    }

    if (!pendingVideo_.empty()) {
        const int64_t due = pendingVideo_.front().us;
        int64_t now;
        {
            std::lock_guard lock(mutex_);
            now = ClockLocked();
        }
        if (due <= now + kShowEarlyUs) {
            Decoded frame = std::move(pendingVideo_.front());
            pendingVideo_.pop_front();
            Show(std::move(frame));
            busy = true;
        } else {
            waitUs = std::min<int64_t>(due - now, 10000);
        }
    }

    if (!fileDone_ && pendingAudio_.empty() && pendingVideo_.size() < kVideoAhead) {
        if (!ReadPacket())
            fileDone_ = true;
        busy = true;
    }

    if (fileDone_ && pendingVideo_.empty() && pendingAudio_.empty()) {
        // Let the speaker play out what it holds, then report the end once.
        if (speaker_ && soundWritten_) {
            const int64_t now = MonotonicMicros();
            if (drainDeadlineUs_ == 0) {
                speaker_->PlayQueued();
                drainDeadlineUs_ = now + speaker_->LatencyUs() + 500000;
            }
            if (speaker_->LatencyUs() > kDrainedUs && now < drainDeadlineUs_)
                return 10000;
        }
        {
            std::lock_guard lock(mutex_);
            if (finished_)
                return 0;
            finished_ = true;
        }
        if (callbacks_.completed)
            callbacks_.completed();
        return 0;
    }
    return busy ? 0 : waitUs;
}

bool MovieEngine::ReadPacket()
{
    int rc = av_read_frame(input_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN))
        return true;
    if (rc < 0) {
        DrainDecoders();
        return false;
    }
    if (packet_->stream_index == videoIndex_) {
        // A damaged packet is refused and skipped; the decoder picks up at the next one.
        avcodec_send_packet(videoDecoder_.get(), packet_.get());
        ReceiveVideo();
    } else if (packet_->stream_index == audioIndex_ && !soundLost_) {
        if (avcodec_send_packet(audioDecoder_.get(), packet_.get()) >= 0)
            ReceiveAudio();
    }
    av_packet_unref(packet_.get());
    return true;
}

void MovieEngine::DrainDecoders()
{
    avcodec_send_packet(videoDecoder_.get(), nullptr);
    ReceiveVideo();
    if (audioDecoder_) {
        avcodec_send_packet(audioDecoder_.get(), nullptr);
        ReceiveAudio();
    }
}

void MovieEngine::ReceiveVideo()
{
    const AVStream* stream = input_->streams[videoIndex_];
    while (avcodec_receive_frame(videoDecoder_.get(), decoded_.get()) >= 0) {
        Decoded d;
        d.frame.reset(av_frame_alloc());
        if (!d.frame)
            return;
        av_frame_move_ref(d.frame.get(), decoded_.get());
        // A frame without a time follows the one before.
        const int64_t ts = d.frame->best_effort_timestamp;
        d.us = ts != AV_NOPTS_VALUE ? ToMicros(ts, stream->time_base) - startUs_ : receivedUs_ + frameUs_;
        receivedUs_ = d.us;
        pendingVideo_.push_back(std::move(d));
    }
}

void MovieEngine::ReceiveAudio()
{
    const AVStream* stream = input_->streams[audioIndex_];
    while (avcodec_receive_frame(audioDecoder_.get(), decoded_.get()) >= 0) {
        const int outMax = swr_get_out_samples(resampler_.get(), decoded_->nb_samples);
        if (outMax > 0) {
            const size_t before = pendingAudio_.size();
            pendingAudio_.resize(before + static_cast<size_t>(outMax) * kAudioChannels);
            uint8_t* out[1] = { reinterpret_cast<uint8_t*>(pendingAudio_.data() + before) };
            const int made = swr_convert(resampler_.get(), out, outMax,
                const_cast<const uint8_t**>(decoded_->extended_data), decoded_->nb_samples);
            pendingAudio_.resize(before + static_cast<size_t>(std::max(made, 0)) * kAudioChannels);
            if (before == 0 && decoded_->best_effort_timestamp != AV_NOPTS_VALUE)
                pendingAudioUs_ = ToMicros(decoded_->best_effort_timestamp, stream->time_base) - startUs_;
        }
        av_frame_unref(decoded_.get());
    }
}

void MovieEngine::Show(Decoded decoded)
{
    if (callbacks_.present)
        callbacks_.present(decoded.frame.get());
    shown_ = std::move(decoded.frame);
}

void MovieEngine::SeekTo(int64_t positionUs)
{
    AVStream* video = input_->streams[videoIndex_];
    const int64_t target = av_rescale_q(positionUs + startUs_, AVRational { 1, 1000000 }, video->time_base);
    if (av_seek_frame(input_.get(), videoIndex_, target, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(input_.get(), videoIndex_, target, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    avcodec_flush_buffers(videoDecoder_.get());
    if (audioDecoder_) {
        avcodec_flush_buffers(audioDecoder_.get());
        swr_init(resampler_.get()); // forgets the samples it held back
        speaker_->Flush();
    }
    pendingVideo_.clear();
    pendingAudio_.clear();
    fileDone_ = false;
    drainDeadlineUs_ = 0;
    soundWritten_ = false;

    // Decode from the key frame before the target up to the frame on show at the target.
    Decoded found;
    auto reached = [&] { return found.frame && found.us + frameUs_ / 2 > positionUs; };
    for (;;) {
        while (!pendingVideo_.empty() && !reached()) {
            found = std::move(pendingVideo_.front());
            pendingVideo_.pop_front();
        }
        if (reached())
            break;
        if (!ReadPacket()) {
            fileDone_ = true;
            break;
        }
        // Sound from before the target is not played.
        if (!pendingAudio_.empty()) {
            const int64_t early = positionUs - pendingAudioUs_;
            if (early > 0) {
                const auto drop = std::min(
                    pendingAudio_.size() / kAudioChannels, static_cast<size_t>(early * kAudioRate / 1000000));
                pendingAudio_.erase(pendingAudio_.begin(),
                    pendingAudio_.begin() + static_cast<std::ptrdiff_t>(drop * kAudioChannels));
                pendingAudioUs_ += static_cast<int64_t>(drop) * 1000000 / kAudioRate;
            }
        }
    }
    int64_t shownUs = positionUs;
    if (found.frame) {
        shownUs = found.us;
        Show(std::move(found));
    }
    std::lock_guard lock(mutex_);
    if (!seekUs_)
        SetClockLocked(std::max<int64_t>(0, shownUs));
}

} // namespace kestovar
