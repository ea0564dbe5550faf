#include "capture/RotationFilter.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kestovar {
namespace {

struct Step {
    const char* filter;
    const char* name;
    std::string args;
};

// The steps for a mode: the crop/transpose/pad turns keep the centre square of the
// picture, turn it, and put it back centred on black, which is what a turn about
// the centre shows inside a picture of unchanged size.
std::optional<std::vector<Step>> Steps(RotationMode mode, int w, int h, bool padded)
{
    auto turn = [w, h, padded](const char* dir) {
        if (!padded)
            return std::vector<Step> { { "transpose", "transpose1", dir } };
        const auto [x, y, side] = RotationFilter::KeptSquare(w, h);
        char crop[64], pad[64];
        std::snprintf(crop, sizeof crop, "%d:%d:%d:%d", side, side, x, y);
        std::snprintf(pad, sizeof pad, "%d:%d:%d:%d:black", w, h, x, y);
        return std::vector<Step> { { "crop", "crop1", crop }, { "transpose", "transpose1", dir },
            { "pad", "pad1", pad } };
    };
    switch (mode) {
    case 0:
        return std::vector<Step> {};
    case 1:
        return turn("clock");
    case 2:
        return std::vector<Step> { { "hflip", "hflip1", "" }, { "vflip", "vflip1", "" } };
    case 3:
        return turn("cclock");
    case 4:
        return std::vector<Step> { { "hflip", "hflip1", "" } };
    case 5:
        return turn("clock_flip"); // mirrored, then turned 90 clockwise
    case 6:
        return std::vector<Step> { { "vflip", "vflip1", "" } }; // mirrored and turned 180
    case 7:
        return turn("cclock_flip"); // mirrored, then turned 270 clockwise
    default:
        return std::nullopt;
    }
}

} // namespace

RotationFilter::Square RotationFilter::KeptSquare(int width, int height)
{
    Square s;
    s.side = std::min(width, height);
    s.x = ((width - s.side) / 2) & ~1;
    s.y = ((height - s.side) / 2) & ~1;
    return s;
}

std::optional<std::string> RotationFilter::Chain(RotationMode mode, int width, int height)
{
    auto steps = Steps(mode, width, height, true);
    if (!steps)
        return std::nullopt;
    std::string chain;
    for (const auto& s : *steps) {
        if (!chain.empty())
            chain += ',';
        chain += s.filter;
        if (!s.args.empty())
            chain += "=" + s.args;
    }
    return chain;
}

std::optional<std::string> RotationFilter::ReferenceChain(RotationMode mode)
{
    static const char* const kChains[8]
        = { "", "rotate=PI*2/360*90", "rotate=PI*2/360*180", "rotate=PI*2/360*270", "hflip",
              "hflip,rotate=PI*2/360*90", "hflip,rotate=PI*2/360*180", "hflip,rotate=PI*2/360*270" };
    if (mode < 0 || mode > 7)
        return std::nullopt;
    return std::string(kChains[mode]);
}

void RotationFilter::Reset()
{
    graph_.reset();
    in_ = out_ = nullptr;
    names_.clear();
    mode_ = 0;
    padded_ = true;
    width_ = height_ = 0;
    format_ = AV_PIX_FMT_NONE;
}

bool RotationFilter::Build(
    RotationMode mode, int width, int height, AVPixelFormat format, AVRational sampleAspect, bool padded)
{
    Reset();
    auto steps = Steps(mode, width, height, padded);
    if (!steps)
        return false;
    mode_ = mode;
    padded_ = padded;
    if (steps->empty())
        return true;
    if (width <= 0 || height <= 0 || format == AV_PIX_FMT_NONE)
        return false;

    av::FilterGraphPtr graph(avfilter_graph_alloc());
    if (!graph)
        return false;
    graph->nb_threads = 1; // the capture thread does the work; no hidden worker threads
    if (sampleAspect.num <= 0 || sampleAspect.den <= 0)
        sampleAspect = { 1, 1 };
    char args[512];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=%d/%d",
        width, height, static_cast<int>(format), sampleAspect.num, sampleAspect.den);
    AVFilterContext* in = nullptr;
    AVFilterContext* out = nullptr;
    if (avfilter_graph_create_filter(&in, avfilter_get_by_name("buffer"), "in", args, nullptr, graph.get())
            < 0
        || avfilter_graph_create_filter(
               &out, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph.get())
            < 0)
        return false;
    std::vector<std::string> names { "in" };
    AVFilterContext* previous = in;
    for (const auto& s : *steps) {
        AVFilterContext* f = nullptr;
        const AVFilter* filter = avfilter_get_by_name(s.filter);
        if (!filter
            || avfilter_graph_create_filter(
                   &f, filter, s.name, s.args.empty() ? nullptr : s.args.c_str(), nullptr, graph.get())
                < 0
            || avfilter_link(previous, 0, f, 0) < 0)
            return false;
        names.emplace_back(s.name);
        previous = f;
    }
    if (avfilter_link(previous, 0, out, 0) < 0 || avfilter_graph_config(graph.get(), nullptr) < 0)
        return false;
    names.emplace_back("out");

    graph_ = std::move(graph);
    in_ = in;
    out_ = out;
    names_ = std::move(names);
    width_ = width;
    height_ = height;
    format_ = format;
    return true;
}

bool RotationFilter::Fits(const AVFrame* frame) const
{
    return graph_ && frame->width == width_ && frame->height == height_ && frame->format == format_;
}

bool RotationFilter::Process(const AVFrame* in, AVFrame* out)
{
    av_frame_unref(out);
    if (!graph_)
        return false;
    // KEEP_REF: the source takes its own reference, so the decoded picture stays
    // whole for the still picture.
    if (av_buffersrc_add_frame_flags(in_, const_cast<AVFrame*>(in), AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
        return false;
    return av_buffersink_get_frame(out_, out) >= 0;
}

} // namespace kestovar
