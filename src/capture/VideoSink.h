#pragma once
// Where a graph draws its pictures: the video window implements this, tests use an
// in-memory sink.

#include <QImage>
#include <QSize>

namespace kestovar {

class VideoSink {
public:
    virtual ~VideoSink() = default;

    // The size, in device pixels, that pictures should be converted to (the window's
    // client size). Called from a graph's thread: implementations make it thread-safe.
    virtual QSize TargetSize() const = 0;

    // Hands over one finished RGB32 picture of TargetSize(). Called from a graph's
    // thread; must not block. The sink keeps only the newest picture (a slow painter
    // drops frames, never queues them).
    virtual void Present(QImage frame) = 0;
};

} // namespace kestovar
