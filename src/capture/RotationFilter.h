#pragma once
// Turns and mirrors decoded pictures by RotationMode with libavfilter. The picture
// keeps its size: at 90 and 270 degrees the turned image is centred and the sides are
// black, as a turn about the centre that cuts the corners gives. We use crop,
// transpose and pad for that (and hflip,vflip for 180 degrees): the same picture as
// the `rotate` filter, at a fraction of its cost.
// The frame grabber turns the picture after scaling it to the window: it crops the
// square itself, scales it, and builds the chain without crop and pad (Build with
// padded = false), which leaves only the transpose (or the flips) to do on the
// smaller picture.
// Used by one thread at a time (the owner's capture thread while the graph runs).

#include "capture/CaptureTypes.h"
#include "platform/CameraAvPtr.h"

#include <optional>
#include <string>
#include <vector>

namespace kestovar {

class RotationFilter {
public:
    // The part of a width x height picture that a quarter turn keeps: the centred
    // square (its corner on even coordinates, so 4:2:0 chroma stays aligned).
    struct Square {
        int x = 0, y = 0, side = 0;
    };
    static Square KeptSquare(int width, int height);
    // True for the modes that turn by 90 or 270 degrees (1, 3, 5, 7).
    static bool QuarterTurn(RotationMode mode) { return mode >= 0 && mode <= 7 && (mode & 1); }

    // The chain between "in" and "out" in filter-graph syntax: empty for mode 0,
    // nothing for a mode above 7 or below 0.
    static std::optional<std::string> Chain(RotationMode mode, int width, int height);
    // The same turn with the `rotate` filter ("PI*2/360*90" ...), as a reference.
    static std::optional<std::string> ReferenceChain(RotationMode mode);

    // Builds the graph for frames of this size and format; mode 0 builds nothing and
    // succeeds. False for a bad mode or when libavfilter refuses. Without `padded` a
    // quarter turn is the transpose alone: the frames given are the kept square.
    bool Build(RotationMode mode, int width, int height, AVPixelFormat format, AVRational sampleAspect,
        bool padded = true);
    void Reset();

    bool Active() const { return graph_ != nullptr; }
    RotationMode Mode() const { return mode_; }
    bool Padded() const { return padded_; }
    // True when a graph is built for frames of this size and format.
    bool Fits(const AVFrame* frame) const;
    // Names of the filters from "in" to "out" in link order ({} when inactive).
    const std::vector<std::string>& FilterNames() const { return names_; }

    // Turns `in` into `out` (unreferenced first). `in` is left untouched.
    bool Process(const AVFrame* in, AVFrame* out);

private:
    RotationMode mode_ = 0;
    bool padded_ = true;
    int width_ = 0, height_ = 0;
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    av::FilterGraphPtr graph_;
    AVFilterContext* in_ = nullptr; // owned by graph_
    AVFilterContext* out_ = nullptr; // owned by graph_
    std::vector<std::string> names_;
};

} // namespace kestovar
