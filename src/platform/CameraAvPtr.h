#pragma once
// Owning pointers for the FFmpeg objects the camera code uses, each released with its
// type's own free function.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace kestovar::av {

struct CodecContextFree {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameFree {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FilterGraphFree {
    void operator()(AVFilterGraph* p) const { avfilter_graph_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

// FFmpeg allocates what a file's header declares before it reads it: a damaged 5 KB
// AVI can ask for 800 MB and take seconds to get it, in every thumbnail worker at once.
// Nothing the station reads needs a single allocation near 256 MiB (a 4K frame takes
// 12 MiB, the index of a ten-hour movie 30 MiB), so a larger one fails as damaged input.
// Called before any file is opened; the limit is process-wide and set once.
inline void LimitAllocations()
{
    static const bool limited = (av_max_alloc(size_t(256) << 20), true);
    (void)limited;
}

inline FramePtr MakeFrame()
{
    return FramePtr(av_frame_alloc());
}
inline PacketPtr MakePacket()
{
    return PacketPtr(av_packet_alloc());
}

} // namespace kestovar::av
