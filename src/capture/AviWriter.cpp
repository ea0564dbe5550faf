#include "capture/AviWriter.h"

#include "capture/AviHeaderPatch.h"
#include "capture/AviRepair.h"
#include "capture/AviWriterFile.h"
#include "capture/MediaHandles.h"
#include "capture/RecordingJournal.h"
#include "capture/VideoKeyFrames.h"
#include "platform/AudioBackend.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace kestovar {

namespace {

constexpr int kMp3BitRate = 128000;
// Sound that drifts further than this from its timestamps is put back in place.
constexpr int64_t kAudioSlackSamples = kAudioRate / 20;
// Sound held while waiting for the first key frame of a stretch.
constexpr size_t kPendingAudioBlocks = 300;
// How much a kill or a power cut may cost: the file is made whole this often, and
// handed to the disk itself every few of those.
constexpr auto kCheckpointInterval = std::chrono::milliseconds(500);
constexpr auto kSyncInterval = std::chrono::seconds(2);
// Room kept free to complete the file: the index (16 bytes a chunk), the seconds
// written before the next look and the muxer's last buffers.
constexpr uint64_t kReserveBaseBytes = 2u << 20;
constexpr double kReserveSeconds = 3.0;

int64_t MicrosToSamples(int64_t us)
{
    return us * kAudioRate / 1000000;
}

} // namespace

// The writer thread's side: the muxer, the MP3 encoder and the timeline.
class AviWriter::Writer {
public:
    explicit Writer(const AviWriterSettings& settings)
        : settings_(settings)
    {
    }
    ~Writer()
    {
        // The I/O context is the file's, not the muxer's to close.
        if (out_)
            out_->pb = nullptr;
    }

    bool Open(std::string* error);
    bool Video(const Item& item);
    bool Audio(const Item& item);
    void Pause(int64_t atUs);
    void Resume(int64_t atUs);
    bool Finish(int64_t atUs, std::string* error);
    uint64_t FileBytes() const { return out_ && out_->pb ? static_cast<uint64_t>(avio_tell(out_->pb)) : 0; }
    uint64_t ReservedBytes() const { return reserved_; }
    AviWriterResult Result() const { return result_; }
    const std::string& Error() const { return error_; }

private:
    enum class State { Waiting, Active, Paused };

    bool OpenEncoder(std::string* error);
    bool WriteSamples(const float* interleaved, int64_t frames);
    bool Silence(int64_t frames);
    bool EncodeFrames(bool flush);
    bool WritePacket(AVPacket* packet, AVStream* stream, AVRational from);
    bool WriteFailed(const char* what, int code);
    bool MaybeCheckpoint();
    void CloseSegment();
    static int64_t CameraTime(const Item& item)
    {
        return item.cameraUs != kNoCameraTime ? item.cameraUs : item.timestampUs;
    }
    double NominalRate() const
    {
        return static_cast<double>(settings_.frameRateNum) / settings_.frameRateDen;
    }

    AviWriterSettings settings_;
    AviWriterFile file_;
    media::OutputPtr out_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVRational videoTimeBase_ { 1, 30 };
    media::CodecPtr encoder_;
    media::FifoPtr fifo_;
    media::FramePtr frame_;
    media::PacketPtr packet_;
    bool headerWritten_ = false;
    std::string error_;

    State state_ = State::Waiting;
    int64_t waitFromUs_ = INT64_MIN; // picture captured before this is not recorded
    int64_t segmentStartUs_ = 0;
    int64_t segmentEndUs_ = INT64_MAX;
    bool segmentOpen_ = false; // a stretch has started and its span is not yet counted
    int64_t lastVideoUs_ = 0;
    int64_t segmentCameraStartUs_ = 0; // the same two on the camera's own clock
    int64_t lastCameraUs_ = 0;
    bool needKey_ = true;
    int64_t nextVideoPts_ = 0;
    int64_t samplesQueued_ = 0; // the sound's timeline, in samples
    int64_t samplesEncoded_ = 0; // taken out of the FIFO into the encoder
    int64_t segmentAudioBase_ = 0;
    bool segmentAudioAligned_ = false;
    double videoSeconds_ = 0; // the picture's span over the closed stretches
    double recordedUs_ = 0;
    std::deque<Item> pendingAudio_;
    AviWriterResult result_;
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCheckpoint_ = Clock::now();
    Clock::time_point lastSync_ = Clock::now();
    uint64_t bytesAtCheckpoint_ = 0;
    uint64_t reserved_ = kReserveBaseBytes;
};

bool AviWriter::Writer::Open(std::string* error)
{
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, "avi", settings_.path.c_str());
    if (rc < 0 || !raw) {
        *error = "cannot prepare the AVI file: " + media::ErrorText(rc);
        return false;
    }
    out_.reset(raw);
    videoTimeBase_ = AVRational { settings_.frameRateDen, settings_.frameRateNum };

    videoStream_ = avformat_new_stream(out_.get(), nullptr);
    if (!videoStream_) {
        *error = "cannot add the video stream";
        return false;
    }
    AVCodecParameters* par = videoStream_->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    if (settings_.codec == AviVideoCodec::H264) {
        par->codec_id = AV_CODEC_ID_H264;
        par->codec_tag = MKTAG('H', '2', '6', '4');
    } else {
        par->codec_id = AV_CODEC_ID_MJPEG;
        par->codec_tag = MKTAG('M', 'J', 'P', 'G');
    }
    par->width = settings_.width;
    par->height = settings_.height;
    // The frame rate itself is the time base: a finer one makes the muxer fill every
    // unused tick with an empty chunk.
    videoStream_->time_base = videoTimeBase_;
    videoStream_->avg_frame_rate = AVRational { settings_.frameRateNum, settings_.frameRateDen };
    videoStream_->r_frame_rate = videoStream_->avg_frame_rate;

    if (settings_.withAudio && !OpenEncoder(error))
        return false;

    // Flushing after every packet keeps all but the last moments of a recording
    // readable when the station loses power mid-way.
    out_->flush_packets = 1;
    if (!file_.Open(settings_.path, settings_.failAfterBytes, error))
        return false;
    // From here until the file is complete, a crash leaves it to the start-up repair.
    std::string journalError;
    if (!JournalRecordingStarted(settings_.path, &journalError))
        std::fprintf(stderr, "capture: record: %s\n", journalError.c_str());
    out_->pb = file_.Context();
    out_->flags |= AVFMT_FLAG_CUSTOM_IO;
    rc = avformat_write_header(out_.get(), nullptr);
    if (rc < 0) {
        *error = "cannot write the AVI header: " + media::ErrorText(rc);
        return false;
    }
    headerWritten_ = true;
    packet_.reset(av_packet_alloc());
    return packet_ != nullptr;
}

bool AviWriter::Writer::OpenEncoder(std::string* error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (!codec) {
        *error = "the MP3 encoder (libmp3lame) is not available";
        return false;
    }
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) {
        *error = "cannot create the MP3 encoder";
        return false;
    }
    encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder_->sample_rate = kAudioRate;
    av_channel_layout_default(&encoder_->ch_layout, kAudioChannels);
    encoder_->bit_rate = kMp3BitRate;
    encoder_->time_base = AVRational { 1, kAudioRate };
    if (out_->oformat->flags & AVFMT_GLOBALHEADER)
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(encoder_.get(), codec, nullptr);
    if (rc < 0) {
        *error = "cannot open the MP3 encoder: " + media::ErrorText(rc);
        return false;
    }
    audioStream_ = avformat_new_stream(out_.get(), nullptr);
    if (!audioStream_) {
        *error = "cannot add the sound stream";
        return false;
    }
    avcodec_parameters_from_context(audioStream_->codecpar, encoder_.get());
    audioStream_->time_base = encoder_->time_base;
    fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, kAudioChannels, encoder_->frame_size * 4));
    frame_.reset(av_frame_alloc());
    if (!fifo_ || !frame_) {
        *error = "out of memory for the sound";
        return false;
    }
    return true;
}

bool AviWriter::Writer::WriteFailed(const char* what, int code)
{
    if (error_.empty())
        error_ = std::string(what) + " " + settings_.path + ": " + media::ErrorText(code);
    return false;
}

bool AviWriter::Writer::WritePacket(AVPacket* packet, AVStream* stream, AVRational from)
{
    packet->stream_index = stream->index;
    av_packet_rescale_ts(packet, from, stream->time_base);
    int rc = av_interleaved_write_frame(out_.get(), packet);
    if (rc < 0)
        return WriteFailed("cannot write", rc);
    if (out_->pb && out_->pb->error < 0)
        return WriteFailed("cannot write", out_->pb->error);
    return MaybeCheckpoint();
}

bool AviWriter::Writer::MaybeCheckpoint()
{
    const Clock::time_point now = Clock::now();
    const auto since = now - lastCheckpoint_;
    if (since < kCheckpointInterval)
        return true;
    const bool sync = now - lastSync_ >= kSyncInterval;
    lastCheckpoint_ = now;
    if (sync)
        lastSync_ = now;
    if (!file_.Checkpoint(sync))
        return WriteFailed(
            "cannot write", out_->pb && out_->pb->error < 0 ? out_->pb->error : AVERROR(errno));
    // Stop while the file can still be completed, not when the disk refuses a byte.
    const uint64_t size = file_.Size();
    const double seconds = std::chrono::duration<double>(since).count();
    const double rate
        = size > bytesAtCheckpoint_ ? static_cast<double>(size - bytesAtCheckpoint_) / seconds : 0.0;
    bytesAtCheckpoint_ = size;
    const auto reserve = reserved_ = static_cast<uint64_t>(static_cast<double>(kReserveBaseBytes)
        + kReserveSeconds * rate + 16.0 * 1.2 * static_cast<double>(file_.Chunks()));
    if (const auto free = file_.FreeBytes(); free && *free < reserve)
        return WriteFailed("cannot write", AVERROR(ENOSPC));
    return true;
}

bool AviWriter::Writer::Video(const Item& item)
{
    const bool key
        = settings_.codec == AviVideoCodec::Mjpeg || H264HasKeyFrame(item.bytes.data(), item.bytes.size());
    if (item.afterDrop)
        needKey_ = true;
    if (segmentOpen_) {
        // Running, or paused with frames captured before the pause still coming in.
        if (item.timestampUs >= segmentEndUs_ || item.timestampUs < segmentStartUs_)
            return true;
        if (needKey_ && !key)
            return true;
    } else if (state_ == State::Waiting) {
        if (item.timestampUs < waitFromUs_ || !key)
            return true;
        state_ = State::Active;
        segmentOpen_ = true;
        segmentStartUs_ = item.timestampUs;
        segmentCameraStartUs_ = CameraTime(item);
        segmentEndUs_ = INT64_MAX;
        segmentAudioBase_ = samplesQueued_;
        segmentAudioAligned_ = false;
    } else {
        return true;
    }
    needKey_ = false;
    packet_->data = const_cast<uint8_t*>(item.bytes.data());
    packet_->size = static_cast<int>(item.bytes.size());
    packet_->pts = packet_->dts = nextVideoPts_++;
    packet_->duration = 1;
    packet_->flags = key ? AV_PKT_FLAG_KEY : 0;
    lastVideoUs_ = item.timestampUs;
    lastCameraUs_ = CameraTime(item);
    ++result_.videoFrames;
    bool ok = WritePacket(packet_.get(), videoStream_, videoTimeBase_);
    packet_->data = nullptr;
    packet_->size = 0;
    if (!ok)
        return false;
    // Sound that came in while waiting for this key frame.
    while (!pendingAudio_.empty()) {
        Item pending = std::move(pendingAudio_.front());
        pendingAudio_.pop_front();
        if (!Audio(pending))
            return false;
    }
    return true;
}

bool AviWriter::Writer::Audio(const Item& item)
{
    if (!encoder_)
        return true;
    if (state_ == State::Waiting) {
        pendingAudio_.push_back(item);
        if (pendingAudio_.size() > kPendingAudioBlocks)
            pendingAudio_.pop_front();
        return true;
    }
    if (!segmentOpen_)
        return true;
    const auto frames = static_cast<int64_t>(item.samples.size() / kAudioChannels);
    int64_t begin = 0;
    int64_t end = frames;
    if (item.timestampUs < segmentStartUs_)
        begin = std::min(frames, MicrosToSamples(segmentStartUs_ - item.timestampUs));
    if (segmentEndUs_ != INT64_MAX)
        end = std::clamp<int64_t>(MicrosToSamples(segmentEndUs_ - item.timestampUs), 0, frames);
    if (begin >= end)
        return true;
    // Where this sound belongs on the file's timeline; the first block of a stretch
    // is put exactly there, later ones only when they drift (a lost block, a sound
    // card whose clock runs apart from the camera's).
    const int64_t startUs = item.timestampUs + begin * 1000000 / kAudioRate;
    const int64_t target = segmentAudioBase_ + MicrosToSamples(startUs - segmentStartUs_);
    const int64_t drift = target - samplesQueued_;
    if (!segmentAudioAligned_ || std::llabs(drift) > kAudioSlackSamples) {
        segmentAudioAligned_ = true;
        if (drift > 0 && !Silence(drift))
            return false;
        if (drift < 0)
            begin = std::min(end, begin - drift);
    }
    if (begin >= end)
        return true;
    return WriteSamples(item.samples.data() + begin * kAudioChannels, end - begin);
}

bool AviWriter::Writer::Silence(int64_t frames)
{
    std::vector<float> zeros(
        static_cast<size_t>(std::min<int64_t>(frames, kAudioRate)) * kAudioChannels, 0.0f);
    while (frames > 0) {
        int64_t n = std::min<int64_t>(frames, kAudioRate);
        if (!WriteSamples(zeros.data(), n))
            return false;
        frames -= n;
    }
    return true;
}

bool AviWriter::Writer::WriteSamples(const float* interleaved, int64_t frames)
{
    std::vector<float> left(static_cast<size_t>(frames));
    std::vector<float> right(static_cast<size_t>(frames));
    for (int64_t i = 0; i < frames; ++i) {
        left[static_cast<size_t>(i)] = interleaved[2 * i];
        right[static_cast<size_t>(i)] = interleaved[2 * i + 1];
    }
    void* planes[2] = { left.data(), right.data() };
    if (av_audio_fifo_write(fifo_.get(), planes, static_cast<int>(frames)) < frames)
        return WriteFailed("out of memory for the sound of", AVERROR(ENOMEM));
    samplesQueued_ += frames;
    result_.audioSamples = samplesQueued_;
    return EncodeFrames(false);
}

bool AviWriter::Writer::EncodeFrames(bool flush)
{
    const int frameSize = encoder_->frame_size;
    for (;;) {
        int available = av_audio_fifo_size(fifo_.get());
        if (available == 0 || (!flush && available < frameSize))
            break;
        av_frame_unref(frame_.get());
        frame_->nb_samples = std::min(available, frameSize);
        frame_->format = encoder_->sample_fmt;
        frame_->sample_rate = kAudioRate;
        av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout);
        int rc = av_frame_get_buffer(frame_.get(), 0);
        if (rc < 0)
            return WriteFailed("out of memory for the sound of", rc);
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frame_->nb_samples);
        // The encoder's own delay comes first on the timeline; without it the muxer
        // would shift every stream and leave an empty first video chunk.
        frame_->pts = samplesEncoded_ + encoder_->initial_padding;
        samplesEncoded_ += frame_->nb_samples;
        rc = avcodec_send_frame(encoder_.get(), frame_.get());
        if (rc < 0)
            return WriteFailed("cannot encode the sound of", rc);
        while ((rc = avcodec_receive_packet(encoder_.get(), packet_.get())) >= 0) {
            bool ok = WritePacket(packet_.get(), audioStream_, encoder_->time_base);
            av_packet_unref(packet_.get());
            if (!ok)
                return false;
        }
        if (rc != AVERROR(EAGAIN))
            return WriteFailed("cannot encode the sound of", rc);
    }
    return true;
}

void AviWriter::Writer::CloseSegment()
{
    // Closed only once every frame captured before its end has come in, so the span
    // the measured frame rate is taken over holds all of them.
    if (!segmentOpen_)
        return;
    segmentOpen_ = false;
    const auto interval = static_cast<int64_t>(1e6 / NominalRate());
    videoSeconds_ += static_cast<double>(lastCameraUs_ + interval - segmentCameraStartUs_) / 1e6;
    const int64_t end = std::min(segmentEndUs_, lastVideoUs_ + interval);
    recordedUs_ += static_cast<double>(std::max<int64_t>(0, end - segmentStartUs_));
}

void AviWriter::Writer::Pause(int64_t atUs)
{
    if (state_ == State::Active)
        segmentEndUs_ = atUs;
    state_ = State::Paused;
}

void AviWriter::Writer::Resume(int64_t atUs)
{
    if (state_ != State::Paused)
        return;
    CloseSegment();
    state_ = State::Waiting;
    waitFromUs_ = atUs;
    pendingAudio_.clear();
    needKey_ = true;
}

bool AviWriter::Writer::Finish(int64_t atUs, std::string* error)
{
    if (state_ == State::Active)
        segmentEndUs_ = atUs;
    CloseSegment();
    state_ = State::Paused;
    bool ok = error_.empty();
    if (ok && encoder_) {
        ok = EncodeFrames(true);
        if (ok) {
            avcodec_send_frame(encoder_.get(), nullptr);
            int rc;
            while (ok && (rc = avcodec_receive_packet(encoder_.get(), packet_.get())) >= 0) {
                ok = WritePacket(packet_.get(), audioStream_, encoder_->time_base);
                av_packet_unref(packet_.get());
            }
        }
    }
    bool complete = false;
    const bool hadHeader = headerWritten_;
    if (headerWritten_) {
        // Even after a failure the index makes what was written seekable.
        int rc = av_write_trailer(out_.get());
        if (rc < 0 && ok)
            ok = WriteFailed("cannot complete", rc);
        complete = rc >= 0;
        headerWritten_ = false;
    }
    if (out_ && out_->pb) {
        avio_flush(out_->pb);
        if (out_->pb->error < 0) {
            complete = false;
            if (ok)
                ok = WriteFailed("cannot complete", out_->pb->error);
        }
        out_->pb = nullptr;
    }
    file_.Close();
    out_.reset();
    if (hadHeader && !complete) {
        // The disk refused the end of the file: finish what is on it in place.
        const AviRepairResult repaired = RepairAvi(settings_.path);
        std::fprintf(stderr, "avi: %s %s\n", settings_.path.c_str(),
            repaired.ok ? "completed as far as it was written" : repaired.error.c_str());
    }

    result_.recordedSeconds = recordedUs_ / 1e6;
    result_.frameRate = NominalRate();
    // A camera that delivers fewer or more frames than it promised: give the file the
    // rate it really ran at, so its picture lasts as long as its sound.
    if (ok && result_.videoFrames > 1 && videoSeconds_ > 0.5) {
        const double measured = static_cast<double>(result_.videoFrames) / videoSeconds_;
        if (std::fabs(static_cast<double>(result_.videoFrames) - videoSeconds_ * NominalRate()) > 1.5) {
            std::string patchError;
            if (PatchAviFrameRate(settings_.path, measured, &patchError)) {
                result_.frameRate = measured;
                result_.frameRateCorrected = true;
            } else {
                std::fprintf(stderr, "avi: %s\n", patchError.c_str());
            }
        }
    }
    if (!ok && error)
        *error = error_;
    return ok;
}

// ---- the owner's side ----------------------------------------------------------

AviWriter::AviWriter(ErrorHandler onError)
    : onError_(std::move(onError))
{
}

AviWriter::~AviWriter()
{
    Close(MonotonicMicros());
}

bool AviWriter::Open(const AviWriterSettings& settings, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    if (open_ || thread_.joinable()) {
        *error = "the AVI writer is already in use";
        return false;
    }
    if (settings.width <= 0 || settings.height <= 0 || settings.frameRateNum <= 0
        || settings.frameRateDen <= 0) {
        *error = "invalid picture size or frame rate for " + settings.path;
        return false;
    }
    std::error_code ec;
    const bool existed = std::filesystem::exists(settings.path, ec);
    // A capture already on disk is never replaced.
    if (std::filesystem::is_regular_file(settings.path, ec)) {
        *error = settings.path + " already exists";
        return false;
    }
    auto writer = std::make_unique<Writer>(settings);
    if (!writer->Open(error)) {
        // Leave no half-made file behind.
        writer.reset();
        if (!existed) {
            std::filesystem::remove(settings.path, ec);
            JournalRecordingEnded(settings.path);
        }
        return false;
    }
    path_ = settings.path;
    writer_ = std::move(writer);
    queueLimit_ = settings.queueLimitBytes;
    withAudio_ = settings.withAudio;
    fileBytes_ = writer_->FileBytes();
    open_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void AviWriter::Enqueue(Item&& item, size_t bytes, bool droppable)
{
    {
        std::lock_guard lock(mutex_);
        if (!open_ || (droppable && failed_))
            return;
        if (droppable && queuedBytes_ + bytes > queueLimit_) {
            ++dropped_;
            if (item.kind == Item::Video)
                videoDropped_ = true;
            return;
        }
        if (item.kind == Item::Video)
            item.afterDrop = std::exchange(videoDropped_, false);
        queuedBytes_ += bytes;
        queue_.push_back(std::move(item));
    }
    wake_.notify_one();
}

void AviWriter::PushVideo(const uint8_t* data, size_t size, int64_t timestampUs, int64_t cameraUs)
{
    if (!data || size == 0)
        return;
    Item item { Item::Video, timestampUs };
    item.cameraUs = cameraUs;
    item.bytes.assign(data, data + size);
    Enqueue(std::move(item), size, true);
}

void AviWriter::PushAudio(const float* interleaved, size_t frames, int64_t timestampUs)
{
    if (!withAudio_ || !interleaved || frames == 0)
        return;
    Item item { Item::Audio, timestampUs };
    item.samples.assign(interleaved, interleaved + frames * kAudioChannels);
    Enqueue(std::move(item), frames * kAudioChannels * sizeof(float), true);
}

void AviWriter::Pause(int64_t atUs)
{
    Enqueue(Item { Item::Pause, atUs }, 0, false);
}

void AviWriter::Resume(int64_t atUs)
{
    Enqueue(Item { Item::Resume, atUs }, 0, false);
}

bool AviWriter::Close(int64_t atUs, std::string* error)
{
    if (!thread_.joinable())
        return !failed_;
    Enqueue(Item { Item::Stop, atUs }, 0, false);
    {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    thread_.join();
    // A file the writer could not complete (a full disk) stays in the journal for the
    // repair at the next start.
    if (!failed_ || InspectAvi(path_) != AviFileState::Unfinished)
        JournalRecordingEnded(path_);
    std::lock_guard lock(resultMutex_);
    if (failed_ && error)
        *error = error_;
    return !failed_;
}

AviWriterResult AviWriter::Result() const
{
    std::lock_guard lock(resultMutex_);
    AviWriterResult result = result_;
    result.droppedPackets = dropped_.load();
    return result;
}

void AviWriter::Fail(const std::string& message)
{
    {
        std::lock_guard lock(resultMutex_);
        if (failed_)
            return;
        error_ = message;
        failed_ = true;
    }
    std::fprintf(stderr, "avi: %s\n", message.c_str());
    if (onError_)
        onError_(message);
}

void AviWriter::Run()
{
    for (;;) {
        Item item;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return !queue_.empty(); });
            item = std::move(queue_.front());
            queue_.pop_front();
            queuedBytes_ -= item.kind == Item::Video ? item.bytes.size()
                : item.kind == Item::Audio           ? item.samples.size() * sizeof(float)
                                                     : 0;
        }
        bool ok = true;
        switch (item.kind) {
        case Item::Video:
            if (!failed_)
                ok = writer_->Video(item);
            break;
        case Item::Audio:
            if (!failed_)
                ok = writer_->Audio(item);
            break;
        case Item::Pause:
            writer_->Pause(item.timestampUs);
            break;
        case Item::Resume:
            writer_->Resume(item.timestampUs);
            break;
        case Item::Stop: {
            std::string error;
            ok = writer_->Finish(item.timestampUs, &error);
            {
                std::lock_guard lock(resultMutex_);
                result_ = writer_->Result();
            }
            if (!ok)
                Fail(error);
            writer_.reset();
            return;
        }
        }
        if (!ok)
            Fail(writer_->Error());
        fileBytes_ = writer_->FileBytes();
        reservedBytes_ = writer_->ReservedBytes();
    }
}

} // namespace kestovar
