#pragma once
// A recording: the bound camera's packets, unchanged, into an AVI file (with the
// microphone's sound as MP3 when sound is on), while the live picture is shown exactly
// as the preview shows it (turned or flipped on screen only).
//
// Lifetime: create, SetVideoWindow, Build(path, withAudio), the setters, Start, then
// Pause / Resume as often as needed, Stop (completes the file), Teardown, destroy. One
// graph writes one file: after Stop it does not start again.
//
// Threads: every method is for the GUI thread. While the graph runs, the capture
// thread decodes and presents the picture and queues each packet for the AVI writer;
// the microphone's thread queues the sound; the writer's own thread writes the file.
// The stream-ended and write-error callbacks run on those threads: post from them,
// do not tear the graph down in them.
//
// The microphone is opened even when the sound is not recorded, so a recording
// without a supported microphone fails to build either way.

#include "capture/AviWriter.h"
#include "capture/CCaptureBufferCallback.h"
#include "capture/CaptureSource.h"
#include "capture/CaptureThread.h"
#include "capture/CaptureTypes.h"
#include "capture/EncoderOutcome.h"
#include "capture/VideoSink.h"
#include "platform/AudioBackend.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestovar {

// Makes the capture engine's microphone list come from `audio` (the sound server's
// inputs, or the simulated microphone). Call once at start-up; null lists none.
void UseAudioBackendForMicrophones(std::shared_ptr<AudioBackend> audio);

class RecordGraph {
public:
    using MessageCallback = std::function<void(const std::string& message)>;
    enum class RunState { Stopped = 0, Paused = 1, Running = 2 };

    // `audio` opens the bound microphone; without it Build fails.
    explicit RecordGraph(std::shared_ptr<AudioBackend> audio);
    ~RecordGraph();
    RecordGraph(const RecordGraph&) = delete;
    RecordGraph& operator=(const RecordGraph&) = delete;

    // Before Build. The sink must outlive the graph's run.
    void SetVideoWindow(VideoSink* sink) { sink_ = sink; }
    // The camera stopped delivering (unplugged, failed); capture thread.
    void SetStreamEndedCallback(MessageCallback callback) { streamEnded_ = std::move(callback); }
    // The file could not be written (a full disk); writer thread, once.
    void SetWriteErrorCallback(MessageCallback callback) { writeError_ = std::move(callback); }
    // Extra receivers of every camera packet (before Start); capture thread, must not block.
    void AddPacketConsumer(CaptureThread::PacketConsumer consumer)
    {
        extraConsumers_.push_back(std::move(consumer));
    }

    // Binds the supported camera and microphone and checks that the file can be
    // made in its folder. False (the caller shows "record error" and tears down)
    // when any of them is missing.
    bool Build(const std::string& outputPath, bool withAudio);
    // As on the preview. The picture size and frame rate are fixed once the file has
    // been started: changing them then fails and changes nothing.
    bool SetResolution(ResolutionChoice choice);
    bool SetQuality(QualityLevel level);
    bool SetFrameRate(FrameRateChoice choice);
    bool SetRotation(RotationMode mode);

    // Begins (or, after a setter stopped the stream, continues) writing. False when
    // the camera, its encoder, the decoder, the microphone or the file fails.
    bool Start();
    // Nothing is written until Resume; the live picture goes on.
    bool Pause();
    // Writing continues in the same file, from the camera's next key frame.
    bool Resume();
    // Stops the camera and the microphone and completes the file. False when the file
    // could not be written completely; LastError() says why.
    bool Stop();

    bool UpdateVideoPosition() { return built_; }
    // A still as JPEG, upright and unmirrored, as PreviewGraph::TakeSnapshot writes it.
    bool TakeSnapshot(const std::string& path);
    void Teardown();

    RunState GetState() const;
    bool IsBuilt() const { return built_; }
    SourceKind Kind() const { return source_.kind; }
    CameraBackend* Camera() const { return source_.camera.get(); }
    const VideoDeviceInfo& CameraDevice() const { return source_.cameraDevice; }
    CCaptureBufferCallback* Grabber() const { return grabber_.get(); }
    const std::string& OutputPath() const { return outputPath_; }
    bool WithAudio() const { return withAudio_; }
    int AppliedResolution() const { return appliedResolution_; }
    // What the encoder refused since Build, and whether the camera answered as gone.
    const EncoderOutcome& Encoder() const { return encoder_; }
    QualityLevel Quality() const { return quality_; }
    FrameRateChoice FrameRate() const { return frameRate_; }
    RotationMode Rotation() const { return rotation_; }
    // Bytes in the file so far (for the size limit); any thread.
    uint64_t FileBytes() const { return writer_ ? writer_->FileBytes() : 0; }
    // Free disk space kept to complete the file (see AviWriter); any thread.
    uint64_t ReservedBytes() const { return writer_ ? writer_->ReservedBytes() : 0; }
    // The microphone lost the sound server during this recording (its sound comes back
    // with the server; silence stands in for the gap).
    bool SoundInterrupted() const { return microphone_ && microphone_->Interrupted(); }
    // What the finished file holds; after Stop.
    AviWriterResult Result() const { return result_; }
    std::string LastError() const { return lastError_; }

private:
    bool StopStream(); // the camera and microphone stop; the file stays open
    bool OpenWriter();

    std::shared_ptr<AudioBackend> audio_;
    VideoSink* sink_ = nullptr;
    MessageCallback streamEnded_;
    MessageCallback writeError_;
    std::vector<CaptureThread::PacketConsumer> extraConsumers_;

    std::string outputPath_;
    bool withAudio_ = false;
    QualityLevel quality_ = QualityHigh;
    FrameRateChoice frameRate_ = Fps30;
    int appliedResolution_ = 0;
    RotationMode rotation_ = 0;
    EncoderOutcome encoder_;
    bool built_ = false;
    bool paused_ = false;
    bool finished_ = false; // the file is complete
    AviWriterResult result_;
    std::string lastError_;

    // Destroyed in reverse: the microphone and the capture thread stop before the
    // writer they feed, the writer and grabber go before the camera.
    CaptureSource source_;
    std::unique_ptr<CCaptureBufferCallback> grabber_;
    std::unique_ptr<AviWriter> writer_;
    std::unique_ptr<AudioRecordStream> microphone_;
    CaptureThread capture_;
    std::atomic<int64_t> clockOffsetUs_ { 0 }; // camera time to monotonic time; capture thread
    std::atomic<bool> clockOffsetSet_ { false };
};

} // namespace kestovar
