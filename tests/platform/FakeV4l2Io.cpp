#include "FakeV4l2Io.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestovar::test {

RecordedCamera H264Camera()
{
    RecordedCamera c;
    c.card = "HD Pro Webcam C920";
    c.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
    const std::vector<std::pair<uint32_t, uint32_t>> sizes { { 640, 480 }, { 1280, 720 }, { 1920, 1080 } };
    c.formats = { { V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", { { 640, 480 }, { 1280, 720 } }, { 30, 15 } },
        { V4L2_PIX_FMT_H264, "H.264", sizes, { 30, 25, 20, 15 } },
        { V4L2_PIX_FMT_MJPEG, "Motion-JPEG", sizes, { 30, 25, 20 } } };
    // Power-on state: YUYV, as the last program left it.
    c.currentFourcc = V4L2_PIX_FMT_YUYV;
    c.currentWidth = 640;
    c.currentHeight = 480;
    c.controls[V4L2_CID_BRIGHTNESS] = { 0, 255, 1, 128, 128 };
    c.controls[V4L2_CID_AUTO_WHITE_BALANCE] = { 0, 1, 1, 1, 1 };
    c.controls[V4L2_CID_WHITE_BALANCE_TEMPERATURE] = { 2000, 6500, 1, 4000, 4000, V4L2_CTRL_FLAG_INACTIVE };
    c.xuSelectors = { 2, 4, 7 };
    return c;
}

RecordedCamera MjpegOnlyCamera()
{
    RecordedCamera c;
    c.card = "USB 2.0 Camera: USB 2.0 Camera";
    c.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
    c.formats
        = { { V4L2_PIX_FMT_MJPEG, "Motion-JPEG", { { 640, 480 }, { 320, 240 }, { 1280, 720 } }, { 30, 20 } },
              { V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", { { 640, 480 }, { 320, 240 } }, { 30 } } };
    c.currentFourcc = V4L2_PIX_FMT_YUYV;
    c.currentWidth = 640;
    c.currentHeight = 480;
    c.controls[V4L2_CID_BRIGHTNESS] = { -64, 64, 1, 0, 0 };
    return c;
}

RecordedCamera MetadataNode()
{
    RecordedCamera c;
    c.card = "HD Pro Webcam C920";
    c.deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    return c;
}

int FakeV4l2Io::Fail(int err)
{
    errno = err;
    return -1;
}

int FakeV4l2Io::Open(const std::string& path, int)
{
    if (!cameras.count(path))
        return Fail(ENOENT);
    const int fd = nextFd_++;
    fds_[fd].node = path;
    ++openFds;
    return fd;
}

int FakeV4l2Io::Close(int fd)
{
    if (!fds_.erase(fd))
        return Fail(EBADF);
    --openFds;
    return 0;
}

int FakeV4l2Io::Ioctl(int fd, unsigned long request, void* arg)
{
    requests.push_back(request);
    auto it = fds_.find(fd);
    if (it == fds_.end())
        return Fail(EBADF);
    Stream& stream = it->second;
    RecordedCamera& cam = cameras.at(stream.node);
    auto findFormat = [&cam](uint32_t fourcc) -> const RecordedFormat* {
        for (const auto& f : cam.formats)
            if (f.fourcc == fourcc)
                return &f;
        return nullptr;
    };

    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(arg);
        std::memset(cap, 0, sizeof *cap);
        std::strncpy(reinterpret_cast<char*>(cap->card), cam.card.c_str(), sizeof cap->card - 1);
        std::strcpy(reinterpret_cast<char*>(cap->driver), "uvcvideo");
        cap->device_caps = cam.deviceCaps;
        cap->capabilities
            = cam.deviceCaps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(arg);
        if (!(cam.deviceCaps & V4L2_CAP_VIDEO_CAPTURE) || d->index >= cam.formats.size())
            return Fail(EINVAL);
        d->pixelformat = cam.formats[d->index].fourcc;
        std::strncpy(reinterpret_cast<char*>(d->description), cam.formats[d->index].description.c_str(),
            sizeof d->description - 1);
        d->flags = d->pixelformat == V4L2_PIX_FMT_YUYV ? 0 : V4L2_FMT_FLAG_COMPRESSED;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* s = static_cast<v4l2_frmsizeenum*>(arg);
        const RecordedFormat* f = findFormat(s->pixel_format);
        if (!f || s->index >= f->sizes.size())
            return Fail(EINVAL);
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete.width = f->sizes[s->index].first;
        s->discrete.height = f->sizes[s->index].second;
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* i = static_cast<v4l2_frmivalenum*>(arg);
        const RecordedFormat* f = findFormat(i->pixel_format);
        if (!f || i->index >= f->fps.size())
            return Fail(EINVAL);
        i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        i->discrete.numerator = 1;
        i->discrete.denominator = f->fps[i->index];
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT: {
        auto* fmt = static_cast<v4l2_format*>(arg);
        if (fmt->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return Fail(EINVAL);
        if (request == VIDIOC_S_FMT) {
            if (stream.on)
                return Fail(EBUSY);
            // Like the UVC driver: an unknown format becomes the first one, a size the
            // nearest one offered.
            const RecordedFormat* f = findFormat(fmt->fmt.pix.pixelformat);
            if (!f)
                f = &cam.formats.front();
            auto best = f->sizes.front();
            for (const auto& s : f->sizes)
                if (std::abs(int(s.first) - int(fmt->fmt.pix.width))
                        + std::abs(int(s.second) - int(fmt->fmt.pix.height))
                    < std::abs(int(best.first) - int(fmt->fmt.pix.width))
                        + std::abs(int(best.second) - int(fmt->fmt.pix.height)))
                    best = s;
            cam.currentFourcc = f->fourcc;
            cam.currentWidth = best.first;
            cam.currentHeight = best.second;
        }
        fmt->fmt.pix.pixelformat = cam.currentFourcc;
        fmt->fmt.pix.width = cam.currentWidth;
        fmt->fmt.pix.height = cam.currentHeight;
        fmt->fmt.pix.field = V4L2_FIELD_NONE;
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto* p = static_cast<v4l2_streamparm*>(arg);
        if (request == VIDIOC_S_PARM) {
            const auto& tpf = p->parm.capture.timeperframe;
            if (tpf.numerator == 0)
                return Fail(EINVAL);
            cam.fps = tpf.denominator / tpf.numerator;
        }
        p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p->parm.capture.timeperframe.numerator = 1;
        p->parm.capture.timeperframe.denominator = cam.fps;
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto* r = static_cast<v4l2_requestbuffers*>(arg);
        if (stream.on)
            return Fail(EBUSY);
        stream.buffers.assign(r->count, std::vector<uint8_t>(256 * 1024));
        stream.queued.clear();
        return 0;
    }
    case VIDIOC_QUERYBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->index >= stream.buffers.size())
            return Fail(EINVAL);
        b->length = static_cast<uint32_t>(stream.buffers[b->index].size());
        b->m.offset = b->index * 0x100000;
        return 0;
    }
    case VIDIOC_QBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->index >= stream.buffers.size())
            return Fail(EINVAL);
        stream.queued.push_back(b->index);
        return 0;
    }
    case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        auto& pending = deliveries[stream.node];
        if (pending.empty())
            return Fail(unplugWhenEmpty ? ENODEV : EAGAIN);
        if (stream.queued.empty())
            return Fail(EAGAIN);
        const uint32_t index = stream.queued.front();
        stream.queued.pop_front();
        Delivery d = std::move(pending.front());
        pending.pop_front();
        std::copy(d.bytes.begin(), d.bytes.end(), stream.buffers[index].begin());
        b->index = index;
        b->bytesused = static_cast<uint32_t>(d.bytes.size());
        b->flags = d.flags;
        b->timestamp.tv_sec = d.timestampUs / 1000000;
        b->timestamp.tv_usec = d.timestampUs % 1000000;
        return 0;
    }
    case VIDIOC_STREAMON:
        stream.on = true;
        return 0;
    case VIDIOC_STREAMOFF:
        stream.on = false;
        stream.queued.clear();
        return 0;
    case UVCIOC_CTRL_QUERY: {
        auto* q = static_cast<uvc_xu_control_query*>(arg);
        XuCall call { q->unit, q->selector, q->query, q->size, {} };
        if (q->query == UVC_SET_CUR)
            call.data.assign(q->data, q->data + q->size);
        if (const int err = xuFault ? xuFault(call) : 0) {
            xuCalls.push_back(call);
            return Fail(err);
        }
        const bool known = q->unit == cam.xuUnit
            && std::find(cam.xuSelectors.begin(), cam.xuSelectors.end(), q->selector)
                != cam.xuSelectors.end();
        if (!known) {
            xuCalls.push_back(call);
            return Fail(ENOENT);
        }
        if (q->query == UVC_GET_LEN) {
            q->data[0] = uint8_t(cam.xuLength);
            q->data[1] = uint8_t(cam.xuLength >> 8);
        } else if (q->query == UVC_GET_CUR) {
            for (uint16_t i = 0; i < q->size; ++i)
                q->data[i] = uint8_t(0xA0 + i);
        } else if (q->size != cam.xuLength) {
            xuCalls.push_back(call);
            return Fail(EINVAL);
        }
        call.data.assign(q->data, q->data + q->size);
        xuCalls.push_back(call);
        return 0;
    }
    case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        auto c = cam.controls.find(q->id);
        if (c == cam.controls.end())
            return Fail(EINVAL);
        q->type = V4L2_CTRL_TYPE_INTEGER;
        q->minimum = c->second.minimum;
        q->maximum = c->second.maximum;
        q->step = c->second.step;
        q->default_value = c->second.defaultValue;
        q->flags = c->second.flags;
        return 0;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
        auto* ctl = static_cast<v4l2_control*>(arg);
        auto c = cam.controls.find(ctl->id);
        if (c == cam.controls.end())
            return Fail(EINVAL);
        if (request == VIDIOC_S_CTRL) {
            if (ctl->value < c->second.minimum || ctl->value > c->second.maximum)
                return Fail(ERANGE);
            c->second.value = ctl->value;
        }
        ctl->value = c->second.value;
        return 0;
    }
    default:
        return Fail(ENOTTY);
    }
}

void* FakeV4l2Io::Mmap(size_t length, int fd, off_t offset)
{
    auto it = fds_.find(fd);
    const size_t index = static_cast<size_t>(offset / 0x100000);
    if (it == fds_.end() || index >= it->second.buffers.size() || length > it->second.buffers[index].size()) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    ++mappedBuffers;
    return it->second.buffers[index].data();
}

int FakeV4l2Io::Munmap(void*, size_t)
{
    --mappedBuffers;
    return 0;
}

int FakeV4l2Io::Poll(int fd, int)
{
    auto it = fds_.find(fd);
    if (it == fds_.end())
        return Fail(EBADF);
    if (!deliveries[it->second.node].empty())
        return 1;
    return unplugWhenEmpty ? Fail(ENODEV) : 0;
}

} // namespace kestovar::test
