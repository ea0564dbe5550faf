#include "capture/RecordGraph.h"

#include "capture/CameraTable.h"
#include "capture/DeviceDiscovery.h"
#include "capture/EncoderOutcome.h"
#include "capture/StreamFormat.h"

#include <linux/videodev2.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace kestovar {

void UseAudioBackendForMicrophones(std::shared_ptr<AudioBackend> audio)
{
    if (!audio) {
        SetAudioInputLister(nullptr);
        return;
    }
    SetAudioInputLister([audio] {
        std::vector<AudioInputDevice> inputs;
        for (const AudioDeviceInfo& device : audio->ListInputDevices())
            inputs.push_back({ device.friendlyName, device.name });
        return inputs;
    });
}

RecordGraph::RecordGraph(std::shared_ptr<AudioBackend> audio)
    : audio_(std::move(audio))
{
}

RecordGraph::~RecordGraph()
{
    Teardown();
}

bool RecordGraph::Build(const std::string& outputPath, bool withAudio)
{
    Teardown();
    outputPath_ = outputPath;
    withAudio_ = withAudio;
    finished_ = false;
    paused_ = false;
    encoder_.Reset();
    lastError_.clear();
    auto fail = [this](const std::string& why) {
        lastError_ = why;
        std::fprintf(stderr, "capture: record: %s\n", why.c_str());
        return false;
    };
    if (!audio_)
        return fail("no sound system to record the microphone with");
    // Better told now, as "record error", than after the first frames are lost.
    const std::filesystem::path folder = std::filesystem::path(outputPath).parent_path();
    std::error_code ec;
    if (outputPath.empty() || !std::filesystem::is_directory(folder.empty() ? "." : folder, ec)
        || access(folder.empty() ? "." : folder.c_str(), W_OK) != 0)
        return fail("cannot write into the folder of " + outputPath);
    if (!AddVideoSource(source_))
        return fail("no supported camera could be bound");
    if (!AddAudioSource(source_) || !source_.microphone)
        return fail("no supported microphone could be bound");
    grabber_ = MakeGrabber(source_, sink_);
    built_ = true;
    return true;
}

bool RecordGraph::StopStream()
{
    if (!built_)
        return false;
    if (capture_.Running()) {
        capture_.Stop();
        // What the camera delivers after it starts again continues the same timeline.
        if (writer_ && !paused_)
            writer_->Pause(MonotonicMicros());
    }
    return true;
}

bool RecordGraph::SetResolution(ResolutionChoice choice)
{
    if (!source_.camera || writer_ || finished_ || !StopStream())
        return false;
    // The previous applied index stays when no capability matches.
    const int previous = appliedResolution_;
    int applied = appliedResolution_;
    const bool ok = ApplyResolution(source_, choice, applied, grabber_.get());
    appliedResolution_
        = (source_.kind == SourceKind::Encoded && applied != static_cast<int>(choice)) ? previous : applied;
    return ok;
}

bool RecordGraph::SetQuality(QualityLevel level)
{
    if (!StopStream())
        return false;
    const double kbps = EncoderBitrateTable(level, appliedResolution_);
    const EncoderResult set = SetEncoderBitrate(source_.camera.get(), kbps);
    if (!set) {
        if (source_.kind == SourceKind::Encoded)
            encoder_.Note(set);
        return false;
    }
    quality_ = (level >= 0 && level <= 2) ? level : QualityHighest;
    return true;
}

bool RecordGraph::SetFrameRate(FrameRateChoice choice)
{
    if (!source_.camera || writer_ || finished_ || !StopStream())
        return false;
    if (ApplyFrameRate(source_, choice))
        frameRate_ = choice;
    return true;
}

bool RecordGraph::SetRotation(RotationMode mode)
{
    if (!StopStream())
        return false;
    if (mode < 0 || mode > 7)
        return false;
    rotation_ = mode;
    return true;
}

bool RecordGraph::OpenWriter()
{
    CameraCurrentFormat format;
    if (!source_.camera->GetFormat(format)) {
        lastError_ = "cannot read the camera's format: " + source_.camera->LastError();
        return false;
    }
    AviWriterSettings settings;
    settings.path = outputPath_;
    if (format.fourcc == V4L2_PIX_FMT_H264) {
        settings.codec = AviVideoCodec::H264;
    } else if (format.fourcc == V4L2_PIX_FMT_MJPEG) {
        settings.codec = AviVideoCodec::Mjpeg;
    } else {
        lastError_ = "the camera delivers neither H.264 nor MJPG";
        return false;
    }
    settings.width = static_cast<int>(format.width);
    settings.height = static_cast<int>(format.height);
    if (format.interval.numerator > 0 && format.interval.denominator > 0) {
        settings.frameRateNum = static_cast<int>(format.interval.denominator);
        settings.frameRateDen = static_cast<int>(format.interval.numerator);
    } else {
        settings.frameRateNum = FramesPerSecond(frameRate_);
        settings.frameRateDen = 1;
    }
    settings.withAudio = withAudio_;
    MessageCallback onError = writeError_;
    auto writer = std::make_unique<AviWriter>([onError](const std::string& message) {
        if (onError)
            onError(message);
    });
    std::string error;
    if (!writer->Open(settings, &error)) {
        lastError_ = error;
        std::fprintf(stderr, "capture: record: %s\n", error.c_str());
        return false;
    }
    writer_ = std::move(writer);
    return true;
}

bool RecordGraph::Start()
{
    if (!built_ || !grabber_ || !source_.camera || finished_)
        return false;
    StopStream();
    if (!writer_ && !OpenWriter())
        return false;
    CameraBackend* camera = source_.camera.get();
    if (source_.kind == SourceKind::Encoded) {
        // A refusal leaves the camera at its own setting, which the file copies as
        // it comes; only a camera gone stops here.
        if (!PrepareEncoderForStart(camera, encoder_, false)) {
            lastError_ = "the camera was unplugged";
            return false;
        }
        if (!grabber_->InitDecoder(CCaptureBufferCallback::CodecH264, rotation_))
            return false;
    } else if (!grabber_->InitDecoder(CCaptureBufferCallback::CodecMjpeg, MixerFlipRotation(rotation_))) {
        return false;
    }
    if (!microphone_) {
        AviWriter* writer = writer_.get();
        std::string error;
        microphone_ = audio_->OpenRecordStream(
            source_.microphone->sourceName,
            [writer](const float* samples, size_t frames, int64_t timestampUs) {
                writer->PushAudio(samples, frames, timestampUs);
            },
            &error);
        if (!microphone_) {
            lastError_ = "cannot record from " + source_.microphone->friendlyName + ": " + error;
            std::fprintf(stderr, "capture: record: %s\n", lastError_.c_str());
            return false;
        }
    }

    // The camera stamps its packets from the start of its stream; the sound is stamped
    // on the monotonic clock. The smallest distance seen between the two is the
    // camera's own delay, the truest offset.
    clockOffsetSet_ = false;
    // The writer comes first: its arrival time is taken before the picture is decoded.
    std::vector<CaptureThread::PacketConsumer> consumers;
    AviWriter* writer = writer_.get();
    consumers.push_back([this, writer](const std::shared_ptr<const CameraPacket>& packet) {
        const int64_t offset = MonotonicMicros() - packet->ptsUs;
        if (!clockOffsetSet_.load(std::memory_order_relaxed)
            || offset < clockOffsetUs_.load(std::memory_order_relaxed)) {
            clockOffsetUs_.store(offset, std::memory_order_relaxed);
            clockOffsetSet_.store(true, std::memory_order_relaxed);
        }
        writer->PushVideo(packet->data.data(), packet->data.size(),
            packet->ptsUs + clockOffsetUs_.load(std::memory_order_relaxed), packet->ptsUs);
    });
    CCaptureBufferCallback* grabber = grabber_.get();
    consumers.push_back([grabber](const std::shared_ptr<const CameraPacket>& packet) {
        grabber->BufferCB(packet->ptsUs / 1e6, packet->data.data(), packet->data.size());
    });
    for (const auto& consumer : extraConsumers_)
        consumers.push_back(consumer);
    // Queued before the first packet can be: the stream's first frame is its key frame.
    if (!paused_)
        writer_->Resume(MonotonicMicros());
    MessageCallback ended = streamEnded_;
    if (!capture_.Start(
            camera, std::move(consumers), [ended](CameraReadStatus why, const std::string& message) {
                if (ended)
                    ended(why == CameraReadStatus::Gone ? "the camera was unplugged" : message);
            }))
        return false;
    return true;
}

bool RecordGraph::Pause()
{
    if (!built_ || finished_ || !writer_)
        return false;
    if (!paused_) {
        writer_->Pause(MonotonicMicros());
        paused_ = true;
    }
    return true;
}

bool RecordGraph::Resume()
{
    if (!built_ || finished_)
        return false;
    // The stream starts again, so the camera's encoder begins with a key frame and the
    // file goes on at once rather than at the next one.
    paused_ = false;
    return Start();
}

bool RecordGraph::Stop()
{
    if (!built_)
        return false;
    capture_.Stop();
    microphone_.reset();
    if (!writer_)
        return true;
    std::string error;
    const bool ok = writer_->Close(MonotonicMicros(), &error);
    result_ = writer_->Result();
    writer_.reset();
    finished_ = true;
    paused_ = false;
    if (!ok)
        lastError_ = error;
    return ok;
}

bool RecordGraph::TakeSnapshot(const std::string& path)
{
    // An MJPG camera's still is the picture on show, written at once; an H.264
    // camera's is written at its next decoded picture.
    return grabber_ && capture_.Running() && grabber_->TakeStill(path, source_.kind == SourceKind::Mjpeg);
}

RecordGraph::RunState RecordGraph::GetState() const
{
    if (!built_ || finished_ || !capture_.Running())
        return RunState::Stopped;
    return paused_ ? RunState::Paused : RunState::Running;
}

void RecordGraph::Teardown()
{
    // A recording torn down without a Stop is still completed: nothing recorded is lost.
    if (built_ && writer_)
        Stop();
    capture_.Stop();
    microphone_.reset();
    writer_.reset();
    if (grabber_)
        grabber_->Release();
    grabber_.reset();
    source_.Release();
    built_ = false;
}

} // namespace kestovar
