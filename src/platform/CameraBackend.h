#pragma once
// A camera as the capture engine sees it: its formats, its stream of compressed
// packets, the vendor extension unit of its encoder and its image controls.
// V4l2Camera talks to a real UVC device; SimulatedCamera stands in for one.
//
// Threads: an opened backend is owned by one graph. Formats, controls and the
// extension unit are used from the GUI thread while the stream is stopped (controls
// also while it runs: implementations serialise their own access). Once
// StartStreaming() has succeeded, ReadPacket() is called only by the graph's capture
// thread, and StopStreaming() only after that thread has been joined.

#include <cstdint>
#include <string>
#include <vector>

namespace kestovar {

inline constexpr int kFallbackEncoderUnit = 2;

// A frame interval, numerator/denominator seconds (1/30 = 30 frames per second).
struct FrameInterval {
    uint32_t numerator = 0;
    uint32_t denominator = 0;
};

struct CameraFrameSize {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<FrameInterval> intervals;
};

// One pixel format the camera offers (a V4L2 fourcc such as V4L2_PIX_FMT_H264).
struct CameraFormatInfo {
    uint32_t fourcc = 0;
    std::string description;
    std::vector<CameraFrameSize> sizes;
};

struct CameraCurrentFormat {
    uint32_t fourcc = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    FrameInterval interval;
};

// A V4L2 control's range (VIDIOC_QUERYCTRL); flags are V4L2_CTRL_FLAG_* (INACTIVE
// while the control's automatic partner is on).
struct CameraControlInfo {
    uint32_t type = 0; // V4L2_CTRL_TYPE_*
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 1;
    int32_t defaultValue = 0;
    uint32_t flags = 0;
};

// One buffer as the camera delivered it: an H.264 access unit in Annex B form or one
// MJPG picture. The bytes are never changed on their way to a recording.
struct CameraPacket {
    std::vector<uint8_t> data;
    int64_t ptsUs = 0; // capture time, microseconds, monotonic within a stream
    uint64_t sequence = 0; // counts the buffers of this stream from 0
    uint32_t fourcc = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

enum class CameraReadStatus {
    Packet, // out holds a new packet
    Timeout, // nothing arrived within the timeout; call again
    Gone, // the camera was unplugged; the stream is over
    Error, // the stream failed; see LastError()
};

class CameraBackend {
public:
    virtual ~CameraBackend() = default;

    virtual std::vector<CameraFormatInfo> Formats() = 0;
    virtual bool GetFormat(CameraCurrentFormat& out) = 0;
    // Applies a pixel format and size; false when the camera refuses or adjusts it.
    virtual bool SetFormat(uint32_t fourcc, uint32_t width, uint32_t height) = 0;
    virtual bool SetFrameInterval(FrameInterval interval) = 0;

    virtual bool StartStreaming() = 0;
    // Waits at most timeoutMs for the next packet.
    virtual CameraReadStatus ReadPacket(CameraPacket& out, int timeoutMs) = 0;
    virtual void StopStreaming() = 0;

    // One UVC extension-unit query (UVCIOC_CTRL_QUERY): unit, selector, UVC_* query
    // code, data of `size` bytes (read or written). Returns 0 or an errno value
    // (ENOENT: no such unit or selector).
    virtual int ExtensionUnitQuery(
        uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
        = 0;
    // The UVC unit id of the encoder's extension unit, as the camera's descriptors
    // name it; -1 when the camera has none. A camera whose descriptors cannot be read
    // is taken to have it at unit 2, where the supported cameras keep it.
    virtual int EncoderUnit() { return kFallbackEncoderUnit; }

    // Image controls by V4L2 control id; false when the camera has no such control.
    virtual bool QueryControl(uint32_t id, CameraControlInfo& out) = 0;
    virtual bool GetControl(uint32_t id, int32_t& value) = 0;
    virtual bool SetControl(uint32_t id, int32_t value) = 0;

    // What the last failing call was doing, for the log.
    virtual std::string LastError() const = 0;
};

} // namespace kestovar
