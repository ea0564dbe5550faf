#pragma once
// The live preview: the bound camera's stream decoded, turned (H.264) or flipped
// (MJPG) and drawn into the video sink, with still pictures on request.
//
// Lifetime: create, SetVideoWindow, Build, the setters (each stops the graph first),
// Start, Stop, Teardown, destroy. A graph is never rebuilt in place. Teardown is safe
// to call twice and is also what the destructor does.
//
// Threads: every method is for the GUI thread. While the graph runs, its capture
// thread decodes and presents (see CCaptureBufferCallback); Stop joins it before the
// setters or Teardown touch the camera or the decoder. The stream-ended callback runs
// on the capture thread: post from it, do not tear the graph down in it.

#include "capture/CCaptureBufferCallback.h"
#include "capture/CaptureSource.h"
#include "capture/CaptureThread.h"
#include "capture/CaptureTypes.h"
#include "capture/EncoderOutcome.h"
#include "capture/VideoSink.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestovar {

class PreviewGraph {
public:
    using StreamEndedCallback = std::function<void(const std::string& message)>;

    PreviewGraph();
    ~PreviewGraph();
    PreviewGraph(const PreviewGraph&) = delete;
    PreviewGraph& operator=(const PreviewGraph&) = delete;

    // Before Build. The sink must outlive the graph's run.
    void SetVideoWindow(VideoSink* sink) { sink_ = sink; }
    void SetStreamEndedCallback(StreamEndedCallback callback) { streamEnded_ = std::move(callback); }
    // Extra receivers of every camera packet (before Start); they run on the capture
    // thread and must not block.
    void AddPacketConsumer(CaptureThread::PacketConsumer consumer)
    {
        extraConsumers_.push_back(std::move(consumer));
    }

    // Binds the supported camera and prepares the decoder's frame grabber. False (the
    // caller shows "preview error" and tears down) when no camera can be bound.
    bool Build();
    bool SetResolution(ResolutionChoice choice);
    bool SetQuality(QualityLevel level);
    bool SetFrameRate(FrameRateChoice choice);
    bool SetRotation(RotationMode mode);
    // Prepares the encoder (Encoded) and the decoder, then runs the stream. False when
    // the camera cannot be streamed (or is gone); the graph is then stopped. An encoder
    // that refuses the preparation or the bit rate does not stop it: the camera
    // streams at its own setting and Encoder() tells.
    bool Start();
    // Stops the stream (the design's IMediaControl::Stop). False when not built.
    bool Stop();
    // The picture follows the sink's size at every frame; true while built.
    bool UpdateVideoPosition();
    // A still to `path` as JPEG, upright and unmirrored: for an MJPG camera the picture
    // on show, written before the call returns (false when it cannot be written); for
    // an H.264 camera the next decoded picture, on the capture thread. False when the
    // graph is not running (nothing would ever be written).
    bool TakeSnapshot(const std::string& path);
    void Teardown();

    bool IsBuilt() const { return built_; }
    bool IsRunning() const { return capture_.Running(); }
    SourceKind Kind() const { return source_.kind; }
    CameraBackend* Camera() const { return source_.camera.get(); }
    const VideoDeviceInfo& CameraDevice() const { return source_.cameraDevice; }
    CCaptureBufferCallback* Grabber() const { return grabber_.get(); }
    int AppliedResolution() const { return appliedResolution_; }
    QualityLevel Quality() const { return quality_; }
    FrameRateChoice FrameRate() const { return frameRate_; }
    RotationMode Rotation() const { return rotation_; }
    // What the encoder refused since Build (SetQuality, Start), and whether the camera
    // answered as gone.
    const EncoderOutcome& Encoder() const { return encoder_; }
    // The flips shown for a Mjpeg source (MixerFlipRect of the rotation).
    RotationMode ShownFlip() const;

private:
    VideoSink* sink_ = nullptr;
    StreamEndedCallback streamEnded_;
    std::vector<CaptureThread::PacketConsumer> extraConsumers_;

    // Declared before the grabber and the thread so they are destroyed last: the
    // thread is joined and the decoder freed before the camera goes.
    CaptureSource source_;
    QualityLevel quality_ = QualityHigh;
    FrameRateChoice frameRate_ = Fps30;
    int appliedResolution_ = 0;
    RotationMode rotation_ = 0;
    EncoderOutcome encoder_;
    bool built_ = false;
    std::unique_ptr<CCaptureBufferCallback> grabber_;
    CaptureThread capture_;
};

} // namespace kestovar
