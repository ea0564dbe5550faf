#pragma once
// The frame grabber: decodes the camera's packets (H.264, or MJPG for a Mjpeg
// source), turns and mirrors the picture by RotationMode, converts it to the video
// sink's size as RGB32 and hands it over (the sink keeps only the newest picture),
// writes a requested still picture from the decoded picture before turning, and
// counts decoded frames.
//
// The way to the window is ordered for speed: the decoded picture (for a quarter
// turn only its kept square, cropped without a copy) is first scaled as YUV to the
// size it has in the window (exactly half: libyuv's 2x2 box; exactly two thirds with
// no turn: our own 3-to-2 rows, a strip at a time together with the conversion; any
// other size: libswscale), then turned or mirrored, then converted 1:1 to RGB32 into
// the window's picture (libyuv), whose black sides are drawn only when the layout
// changes. Scaling YUV is libswscale's fast path, faster than libyuv's bilinear scaler
// here; scaling straight to RGB32 is not, and turning the smaller picture costs less.
// libswscale's 1:1 converter is fast only for widths that are a multiple of 8 (an odd
// width cost 6 ms a frame against 0.2 ms), so libyuv converts.
//
// Threads and ownership:
// - GUI thread, graph stopped: construction, SetVideoSink, SetFrameSize, InitDecoder,
//   BuildRotateFilter, Release, destruction. The owning graph joins its capture thread
//   before any of these touch the decoder.
// - Capture (or demux) thread while the graph runs: BufferCB and PresentDecodedFrame.
// - Any thread, any time: RequestSnapshot, SnapshotPending, FrameCount,
//   TakeFrameCount, SaveLastFrameAsJpeg. The still request is a path handed over whole
//   under a mutex plus an atomic flag; the frame count is an atomic.
// The sink must outlive the grabber (or be reset with SetVideoSink while stopped).
// With KESTOVAR_REPORT_FIRST_FRAME set in the environment, the first picture the
// process hands to a sink is announced on stderr ("kestovar: first frame shown
// (WxH)", the window picture's size), for the start-up and desktop benchmarks.

#include "capture/CaptureTypes.h"
#include "capture/RotationFilter.h"
#include "capture/VideoSink.h"
#include "platform/CameraAvPtr.h"

#include <QImage>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kestovar {

class CCaptureBufferCallback {
public:
    enum Codec : int { CodecH264 = 0, CodecMjpeg = 1 };
    // Called on the capture thread after a still picture was written (ok) or could not
    // be (the message says why).
    using SnapshotCallback
        = std::function<void(const std::string& path, bool ok, const std::string& message)>;

    CCaptureBufferCallback();
    ~CCaptureBufferCallback();
    CCaptureBufferCallback(const CCaptureBufferCallback&) = delete;
    CCaptureBufferCallback& operator=(const CCaptureBufferCallback&) = delete;

    // --- GUI thread, graph stopped ---
    void SetVideoSink(VideoSink* sink) { sink_ = sink; }
    void SetSnapshotCallback(SnapshotCallback callback) { snapshotCallback_ = std::move(callback); }
    // The camera's frame size as the graph applied it (0 until then).
    void SetFrameSize(int width, int height);
    int FrameWidth() const { return width_; }
    int FrameHeight() const { return height_; }
    // Decoder threads (1, the default, keeps all work on the capture thread).
    void SetDecoderThreads(int threads) { decoderThreads_ = threads; }
    // Opens a new decoder for the codec and builds the turn for `rotation`; false for
    // an unknown codec, a rotation outside 0..7, or when FFmpeg refuses.
    bool InitDecoder(int codec, RotationMode rotation);
    // Rebuilds the turn for the frame size set (and the sink's size); 0 builds nothing.
    bool BuildRotateFilter(RotationMode rotation);
    RotationMode Rotation() const { return rotation_; }
    // The turn's filters from "in" to "out"; empty when no filter graph is built.
    std::vector<std::string> FilterNames() const { return filter_.FilterNames(); }
    // Frees decoder, filters, scalers and the kept picture. Safe to call twice.
    void Release();

    // --- capture thread ---
    // Decodes one camera buffer and shows what it gives. True when a picture came out.
    bool BufferCB(double sampleTime, const uint8_t* buffer, size_t length);
    // The rest of the path for a picture decoded elsewhere (the player): keep it for
    // still pictures, write a pending still, count it, turn, convert and present.
    void PresentDecodedFrame(const AVFrame* frame);

    // --- any thread ---
    // The next decoded picture is written to `path` as JPEG (a newer request replaces
    // one not yet served).
    void RequestSnapshot(const std::string& path);
    bool SnapshotPending() const { return snapshotFlag_.load(std::memory_order_acquire); }
    uint64_t FrameCount() const { return frameCount_.load(std::memory_order_relaxed); }
    // Reads and resets the count in one step.
    uint64_t TakeFrameCount() { return frameCount_.exchange(0, std::memory_order_relaxed); }
    // A still: with `fromShownPicture` (an MJPG camera) the picture on show is written
    // at once, else (H.264, or no picture decoded yet) the next decoded one. False when
    // the picture on show cannot be written (logged).
    bool TakeStill(const std::string& path, bool fromShownPicture);
    // Writes the last decoded picture (before turning) now; false when there is none
    // or the file cannot be written.
    bool SaveLastFrameAsJpeg(const std::string& path, std::string* message = nullptr);
    // A picture has been decoded since InitDecoder (SaveLastFrameAsJpeg has one to write).
    bool HasLastFrame();

private:
    // Where a decoded picture of this size goes in a window of `target`.
    struct Layout {
        int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0; // the part shown
        int scaledWidth = 0, scaledHeight = 0; // that part's size before turning
        int areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0; // where it lands
        bool partial = false; // the area leaves black sides
    };
    static Layout LayoutFor(RotationMode rotation, int width, int height, QSize target);
    void Present(const AVFrame* decoded);
    void ServeSnapshot(const AVFrame* decoded);
    int TakeImage(int width, int height, QImage& out);

    // GUI thread while stopped; read by the capture thread while running.
    VideoSink* sink_ = nullptr;
    SnapshotCallback snapshotCallback_;
    int codec_ = CodecH264;
    int width_ = 0, height_ = 0;
    int decoderThreads_ = 1;
    RotationMode rotation_ = 0;

    // Capture thread while running.
    av::CodecContextPtr decoder_;
    av::PacketPtr packet_;
    av::FramePtr decoded_;
    av::FramePtr view_; // the decoded picture, cropped to what is shown
    av::FramePtr scaled_; // that part at its size in the window, before turning
    av::FramePtr turned_;
    RotationFilter filter_; // built for scaled_, without crop and pad
    SwsContext* toScaled_ = nullptr; // YUV to YUV at the window's scale; freed in Release
    SwsContext* toWindow_ = nullptr; // YUV to RGB32, 1:1; freed in Release
    std::array<int, 6> toWindowShape_ {}; // what toWindow_'s colour details were set up for
    static constexpr int kImageSlots = 3;
    QImage images_[kImageSlots]; // reused once the sink has let go of them
    // The black-sided layout each slot's picture was drawn with (0: none, or unknown).
    uint64_t imageLayouts_[kImageSlots] {};

    // Shared between threads.
    std::atomic<bool> snapshotFlag_ { false };
    std::mutex snapshotMutex_; // guards snapshotPath_
    std::string snapshotPath_;
    std::atomic<uint64_t> frameCount_ { 0 };
    std::mutex lastFrameMutex_; // guards lastFrame_
    av::FramePtr lastFrame_;
};

} // namespace kestovar
