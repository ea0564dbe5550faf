#include "capture/PreviewGraph.h"

#include "capture/CameraTable.h"
#include "capture/DeviceDiscovery.h"
#include "capture/EncoderOutcome.h"
#include "capture/StreamFormat.h"

#include <cstdio>

namespace kestovar {

PreviewGraph::PreviewGraph() = default;

PreviewGraph::~PreviewGraph()
{
    Teardown();
}

bool PreviewGraph::Build()
{
    Teardown();
    if (!AddVideoSource(source_)) {
        std::fprintf(stderr, "capture: preview: no supported camera could be bound\n");
        return false;
    }
    // Both kinds decode in the grabber: H.264 turned by the rotation table, MJPG with
    // the mixer's flips only (the stand-in for the outside decoder and renderer).
    grabber_ = MakeGrabber(source_, sink_);
    built_ = true;
    return true;
}

bool PreviewGraph::Stop()
{
    if (!built_)
        return false;
    capture_.Stop();
    return true;
}

bool PreviewGraph::SetResolution(ResolutionChoice choice)
{
    if (!source_.camera || !Stop())
        return false;
    return ApplyResolution(source_, choice, appliedResolution_, grabber_.get());
}

bool PreviewGraph::SetQuality(QualityLevel level)
{
    if (!Stop())
        return false;
    const double kbps = EncoderBitrateTable(level, appliedResolution_);
    const EncoderResult set = SetEncoderBitrate(source_.camera.get(), kbps);
    if (!set) {
        // An MJPG camera has no encoder to refuse anything: its quality is its own.
        if (source_.kind == SourceKind::Encoded)
            encoder_.Note(set);
        return false;
    }
    quality_ = (level >= 0 && level <= 2) ? level : QualityHighest;
    return true;
}

bool PreviewGraph::SetFrameRate(FrameRateChoice choice)
{
    if (!source_.camera || !Stop())
        return false;
    if (ApplyFrameRate(source_, choice))
        frameRate_ = choice;
    return true;
}

bool PreviewGraph::SetRotation(RotationMode mode)
{
    if (!Stop())
        return false;
    if (mode < 0 || mode > 7)
        return false; // Start could never build it
    rotation_ = mode;
    return true;
}

RotationMode PreviewGraph::ShownFlip() const
{
    return MixerFlipRotation(rotation_);
}

bool PreviewGraph::Start()
{
    if (!built_ || !grabber_ || !source_.camera)
        return false;
    capture_.Stop();
    CameraBackend* camera = source_.camera.get();
    if (source_.kind == SourceKind::Encoded) {
        // A refusal leaves the camera at its own setting; only a camera gone stops here.
        if (!PrepareEncoderForStart(camera, encoder_, true))
            return false;
        if (!grabber_->InitDecoder(CCaptureBufferCallback::CodecH264, rotation_))
            return false;
    } else if (!grabber_->InitDecoder(CCaptureBufferCallback::CodecMjpeg, MixerFlipRotation(rotation_))) {
        return false;
    }

    std::vector<CaptureThread::PacketConsumer> consumers;
    CCaptureBufferCallback* grabber = grabber_.get();
    consumers.push_back([grabber](const std::shared_ptr<const CameraPacket>& packet) {
        grabber->BufferCB(packet->ptsUs / 1e6, packet->data.data(), packet->data.size());
    });
    for (const auto& c : extraConsumers_)
        consumers.push_back(c);
    StreamEndedCallback ended = streamEnded_;
    return capture_.Start(
        camera, std::move(consumers), [ended](CameraReadStatus why, const std::string& message) {
            if (ended)
                ended(why == CameraReadStatus::Gone ? "the camera was unplugged" : message);
        });
}

bool PreviewGraph::UpdateVideoPosition()
{
    return built_;
}

bool PreviewGraph::TakeSnapshot(const std::string& path)
{
    // An MJPG camera's still is the picture on show, written at once; an H.264
    // camera's is written at its next decoded picture.
    return grabber_ && capture_.Running() && grabber_->TakeStill(path, source_.kind == SourceKind::Mjpeg);
}

void PreviewGraph::Teardown()
{
    capture_.Stop();
    if (grabber_)
        grabber_->Release();
    grabber_.reset();
    source_.Release();
    encoder_.Reset();
    built_ = false;
}

} // namespace kestovar
