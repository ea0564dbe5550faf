#pragma once
// Replays a UVC camera's answers to the V4L2 ioctls, so V4l2Camera can be tested
// without a device. The answers are those of a camera as recorded: its card name,
// capabilities, formats with sizes and intervals, controls and extension unit, and
// the buffers it delivers. Every call is logged for the tests to check.

#include "platform/V4l2Io.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestovar::test {

struct RecordedFormat {
    uint32_t fourcc;
    std::string description;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    std::vector<uint32_t> fps; // offered for every size
};

struct RecordedControl {
    int32_t minimum, maximum, step, defaultValue, value;
    uint32_t flags = 0;
};

struct RecordedCamera {
    std::string card;
    uint32_t deviceCaps = 0;
    std::vector<RecordedFormat> formats;
    uint32_t currentFourcc = 0, currentWidth = 0, currentHeight = 0;
    uint32_t fps = 30;
    std::map<uint32_t, RecordedControl> controls;
    std::vector<uint8_t> xuSelectors; // selectors of the encoder's extension unit
    uint8_t xuUnit = 2; // its unit id
    uint16_t xuLength = 11;
};

// A Logitech-C920-like camera: YUYV, H.264 and MJPG on one capture node.
RecordedCamera H264Camera();
// A plain webcam: YUYV and MJPG, no encoder, no extension unit.
RecordedCamera MjpegOnlyCamera();
// The metadata node every UVC camera also has.
RecordedCamera MetadataNode();

struct XuCall {
    uint8_t unit, selector, query;
    uint16_t size;
    std::vector<uint8_t> data; // as sent (SET) or as answered (GET)
};

class FakeV4l2Io final : public V4l2Io {
public:
    // node path -> camera
    std::map<std::string, RecordedCamera> cameras;
    // Buffers each camera delivers once streaming, in order. flags V4L2_BUF_FLAG_*.
    struct Delivery {
        std::vector<uint8_t> bytes;
        uint32_t flags = 0;
        int64_t timestampUs = 0;
    };
    std::map<std::string, std::deque<Delivery>> deliveries;
    // When set, the camera is unplugged once its deliveries run out.
    bool unplugWhenEmpty = false;
    // When set, an extension-unit call it answers with an errno (0: as recorded) fails
    // with that errno, as a camera refusing a command does.
    std::function<int(const XuCall& call)> xuFault;

    // Logs.
    std::vector<unsigned long> requests;
    std::vector<XuCall> xuCalls;
    int openFds = 0;
    int mappedBuffers = 0;

    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    void* Mmap(size_t length, int fd, off_t offset) override;
    int Munmap(void* address, size_t length) override;
    int Poll(int fd, int timeoutMs) override;

private:
    struct Stream {
        std::string node;
        std::vector<std::vector<uint8_t>> buffers;
        std::deque<uint32_t> queued;
        bool on = false;
    };
    int Fail(int err);
    std::map<int, Stream> fds_;
    int nextFd_ = 100;
};

} // namespace kestovar::test
