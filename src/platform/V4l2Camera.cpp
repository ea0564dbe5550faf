#include "platform/V4l2Camera.h"

#include "platform/UvcDescriptors.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/mman.h>

namespace kestovar {
namespace {

constexpr uint32_t kBufferCount = 4;

// Encoder units found, by USB device folder and device number: a camera plugged again
// gets a new number and is looked at afresh.
std::mutex g_unitsMutex;
std::map<std::string, int> g_encoderUnits;

std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

V4l2Camera::V4l2Camera(std::shared_ptr<V4l2Io> io, std::string node, std::string sysRoot)
    : io_(std::move(io))
    , node_(std::move(node))
    , sysRoot_(std::move(sysRoot))
{
}

V4l2Camera::~V4l2Camera()
{
    StopStreaming();
    if (fd_ >= 0)
        io_->Close(fd_);
}

bool V4l2Camera::Fail(const char* what)
{
    const int err = errno;
    std::lock_guard lock(errorMutex_);
    lastError_ = node_ + ": " + what + ": " + std::strerror(err);
    errno = err;
    return false;
}

std::string V4l2Camera::LastError() const
{
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

int V4l2Camera::Xioctl(unsigned long request, void* arg)
{
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    return io_->Ioctl(fd_, request, arg);
}

bool V4l2Camera::Open()
{
    if (fd_ >= 0)
        return true;
    // Non-blocking so a camera that stops sending never hangs the capture thread; the
    // poll timeout does the waiting.
    fd_ = io_->Open(node_, O_RDWR | O_NONBLOCK);
    if (fd_ < 0)
        return Fail("open");
    v4l2_capability cap {};
    if (Xioctl(VIDIOC_QUERYCAP, &cap) < 0)
        return Fail("VIDIOC_QUERYCAP");
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) {
        errno = ENODEV;
        return Fail("not a streaming capture node");
    }
    card_.assign(reinterpret_cast<const char*>(cap.card),
        strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
    return true;
}

bool V4l2Camera::Offers(uint32_t fourcc)
{
    for (const auto& f : Formats())
        if (f.fourcc == fourcc)
            return true;
    return false;
}

std::vector<CameraFormatInfo> V4l2Camera::Formats()
{
    std::vector<CameraFormatInfo> formats;
    for (uint32_t i = 0;; ++i) {
        v4l2_fmtdesc desc {};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (Xioctl(VIDIOC_ENUM_FMT, &desc) < 0)
            break; // EINVAL ends the list
        CameraFormatInfo info;
        info.fourcc = desc.pixelformat;
        info.description.assign(reinterpret_cast<const char*>(desc.description),
            strnlen(reinterpret_cast<const char*>(desc.description), sizeof desc.description));
        for (uint32_t s = 0;; ++s) {
            v4l2_frmsizeenum size {};
            size.index = s;
            size.pixel_format = desc.pixelformat;
            if (Xioctl(VIDIOC_ENUM_FRAMESIZES, &size) < 0)
                break;
            CameraFrameSize fs;
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                fs.width = size.discrete.width;
                fs.height = size.discrete.height;
            } else {
                // UVC cameras list discrete sizes; for a stepwise range offer its largest.
                fs.width = size.stepwise.max_width;
                fs.height = size.stepwise.max_height;
            }
            for (uint32_t k = 0;; ++k) {
                v4l2_frmivalenum ival {};
                ival.index = k;
                ival.pixel_format = desc.pixelformat;
                ival.width = fs.width;
                ival.height = fs.height;
                if (Xioctl(VIDIOC_ENUM_FRAMEINTERVALS, &ival) < 0)
                    break;
                if (ival.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
                    fs.intervals.push_back({ ival.discrete.numerator, ival.discrete.denominator });
                } else {
                    fs.intervals.push_back({ ival.stepwise.min.numerator, ival.stepwise.min.denominator });
                    break;
                }
            }
            info.sizes.push_back(std::move(fs));
            if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE)
                break;
        }
        formats.push_back(std::move(info));
    }
    return formats;
}

bool V4l2Camera::GetFormat(CameraCurrentFormat& out)
{
    v4l2_format fmt {};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Xioctl(VIDIOC_G_FMT, &fmt) < 0)
        return Fail("VIDIOC_G_FMT");
    out.fourcc = fmt.fmt.pix.pixelformat;
    out.width = fmt.fmt.pix.width;
    out.height = fmt.fmt.pix.height;
    v4l2_streamparm parm {};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Xioctl(VIDIOC_G_PARM, &parm) == 0)
        out.interval
            = { parm.parm.capture.timeperframe.numerator, parm.parm.capture.timeperframe.denominator };
    return true;
}

bool V4l2Camera::SetFormat(uint32_t fourcc, uint32_t width, uint32_t height)
{
    v4l2_format fmt {};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = width;
    fmt.fmt.pix.height = height;
    fmt.fmt.pix.pixelformat = fourcc;
    fmt.fmt.pix.field = V4L2_FIELD_ANY;
    if (Xioctl(VIDIOC_S_FMT, &fmt) < 0)
        return Fail("VIDIOC_S_FMT");
    // The driver answers with the nearest format it has; anything else is a refusal.
    if (fmt.fmt.pix.pixelformat != fourcc || fmt.fmt.pix.width != width || fmt.fmt.pix.height != height) {
        errno = EINVAL;
        return Fail("VIDIOC_S_FMT adjusted the format");
    }
    return true;
}

bool V4l2Camera::SetFrameInterval(FrameInterval interval)
{
    v4l2_streamparm parm {};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    parm.parm.capture.timeperframe.numerator = interval.numerator;
    parm.parm.capture.timeperframe.denominator = interval.denominator;
    if (Xioctl(VIDIOC_S_PARM, &parm) < 0)
        return Fail("VIDIOC_S_PARM");
    return true;
}

bool V4l2Camera::StartStreaming()
{
    if (streaming_)
        return true;
    v4l2_requestbuffers req {};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (Xioctl(VIDIOC_REQBUFS, &req) < 0)
        return Fail("VIDIOC_REQBUFS");
    if (req.count == 0) {
        errno = ENOMEM;
        return Fail("VIDIOC_REQBUFS gave no buffers");
    }
    for (uint32_t i = 0; i < req.count; ++i) {
        v4l2_buffer buf {};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = i;
        if (Xioctl(VIDIOC_QUERYBUF, &buf) < 0) {
            Fail("VIDIOC_QUERYBUF");
            ReleaseBuffers();
            return false;
        }
        void* address = io_->Mmap(buf.length, fd_, buf.m.offset);
        if (address == MAP_FAILED) {
            Fail("mmap");
            ReleaseBuffers();
            return false;
        }
        buffers_.push_back({ address, buf.length });
        if (Xioctl(VIDIOC_QBUF, &buf) < 0) {
            Fail("VIDIOC_QBUF");
            ReleaseBuffers();
            return false;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Xioctl(VIDIOC_STREAMON, &type) < 0) {
        Fail("VIDIOC_STREAMON");
        ReleaseBuffers();
        return false;
    }
    streaming_ = true;
    streamFormat_ = {};
    GetFormat(streamFormat_);
    sequence_ = 0;
    firstTimestampUs_ = -1;
    return true;
}

CameraReadStatus V4l2Camera::ReadPacket(CameraPacket& out, int timeoutMs)
{
    if (!streaming_) {
        errno = EINVAL;
        Fail("read while not streaming");
        return CameraReadStatus::Error;
    }
    const int ready = io_->Poll(fd_, timeoutMs);
    if (ready == 0)
        return CameraReadStatus::Timeout;
    if (ready < 0) {
        Fail("poll");
        return errno == ENODEV ? CameraReadStatus::Gone : CameraReadStatus::Error;
    }
    v4l2_buffer buf {};
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = V4L2_MEMORY_MMAP;
    if (Xioctl(VIDIOC_DQBUF, &buf) < 0) {
        if (errno == EAGAIN)
            return CameraReadStatus::Timeout;
        Fail("VIDIOC_DQBUF");
        return errno == ENODEV ? CameraReadStatus::Gone : CameraReadStatus::Error;
    }
    CameraReadStatus status = CameraReadStatus::Timeout;
    // A buffer flagged as damaged (a USB transfer lost part of it) is given back and
    // skipped rather than passed on to the decoder and the recording.
    if (buf.index < buffers_.size() && !(buf.flags & V4L2_BUF_FLAG_ERROR) && buf.bytesused > 0) {
        const auto* bytes = static_cast<const uint8_t*>(buffers_[buf.index].address);
        const size_t used = std::min<size_t>(buf.bytesused, buffers_[buf.index].length);
        out.data.assign(bytes, bytes + used);
        const int64_t ts = int64_t(buf.timestamp.tv_sec) * 1000000 + buf.timestamp.tv_usec;
        if (firstTimestampUs_ < 0)
            firstTimestampUs_ = ts;
        out.ptsUs = ts - firstTimestampUs_;
        out.sequence = sequence_++;
        out.fourcc = streamFormat_.fourcc;
        out.width = streamFormat_.width;
        out.height = streamFormat_.height;
        status = CameraReadStatus::Packet;
    }
    if (Xioctl(VIDIOC_QBUF, &buf) < 0) {
        Fail("VIDIOC_QBUF");
        if (errno == ENODEV)
            return CameraReadStatus::Gone;
    }
    return status;
}

void V4l2Camera::ReleaseBuffers()
{
    for (auto& b : buffers_)
        io_->Munmap(b.address, b.length);
    buffers_.clear();
    v4l2_requestbuffers req {};
    req.count = 0;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    Xioctl(VIDIOC_REQBUFS, &req);
}

void V4l2Camera::StopStreaming()
{
    if (!streaming_ && buffers_.empty())
        return;
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    Xioctl(VIDIOC_STREAMOFF, &type);
    ReleaseBuffers();
    streaming_ = false;
}

int V4l2Camera::ExtensionUnitQuery(
    uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    uvc_xu_control_query q {};
    q.unit = unit;
    q.selector = selector;
    q.query = query;
    q.size = size;
    q.data = data;
    if (Xioctl(UVCIOC_CTRL_QUERY, &q) < 0) {
        const int err = errno;
        Fail("UVCIOC_CTRL_QUERY");
        return err;
    }
    return 0;
}

int V4l2Camera::EncoderUnit()
{
    if (encoderUnit_ != kNoUnitYet)
        return encoderUnit_;
    std::vector<uint8_t> descriptors;
    std::string usbDevice;
    if (!ReadNodeUsbDescriptors(node_, sysRoot_, descriptors, &usbDevice)) {
        std::fprintf(stderr, "camera: %s: the USB descriptors cannot be read; the encoder is taken to be unit %d\n",
            node_.c_str(), kFallbackEncoderUnit);
        return encoderUnit_ = kFallbackEncoderUnit;
    }
    const std::string key = usbDevice + "#" + FirstLine(usbDevice + "/busnum") + "." + FirstLine(usbDevice + "/devnum");
    {
        std::lock_guard lock(g_unitsMutex);
        if (auto it = g_encoderUnits.find(key); it != g_encoderUnits.end())
            return encoderUnit_ = it->second;
    }
    const std::vector<UvcExtensionUnit> units = ParseExtensionUnits(descriptors);
    encoderUnit_ = ChooseEncoderUnit(units, [this](uint8_t unit) {
        uint8_t len[2] = { 0, 0 };
        if (ExtensionUnitQuery(unit, 2, UVC_GET_LEN, len, sizeof len) != 0)
            return -1;
        return len[0] | (len[1] << 8);
    });
    if (encoderUnit_ < 0)
        std::fprintf(stderr, "camera: %s: none of its %zu extension units is the encoder\n", node_.c_str(),
            units.size());
    else
        std::fprintf(stderr, "camera: %s: the encoder is extension unit %d\n", node_.c_str(), encoderUnit_);
    std::lock_guard lock(g_unitsMutex);
    g_encoderUnits[key] = encoderUnit_;
    return encoderUnit_;
}

bool V4l2Camera::QueryControl(uint32_t id, CameraControlInfo& out)
{
    v4l2_queryctrl q {};
    q.id = id;
    if (Xioctl(VIDIOC_QUERYCTRL, &q) < 0)
        return Fail("VIDIOC_QUERYCTRL");
    if (q.flags & V4L2_CTRL_FLAG_DISABLED) {
        errno = EINVAL;
        return Fail("control disabled");
    }
    out.type = q.type;
    out.minimum = q.minimum;
    out.maximum = q.maximum;
    out.step = q.step;
    out.defaultValue = q.default_value;
    out.flags = q.flags;
    return true;
}

bool V4l2Camera::GetControl(uint32_t id, int32_t& value)
{
    v4l2_control c {};
    c.id = id;
    if (Xioctl(VIDIOC_G_CTRL, &c) < 0)
        return Fail("VIDIOC_G_CTRL");
    value = c.value;
    return true;
}

bool V4l2Camera::SetControl(uint32_t id, int32_t value)
{
    v4l2_control c {};
    c.id = id;
    c.value = value;
    if (Xioctl(VIDIOC_S_CTRL, &c) < 0)
        return Fail("VIDIOC_S_CTRL");
    return true;
}

} // namespace kestovar
