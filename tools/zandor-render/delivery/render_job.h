// The render itself: reads the input in blocks, runs each block through the effect, removes
// the effect's delay and writes the output, measuring the gain reduction on the way. The
// levels of either side are measured by stages around it (measure/measured_stages.h).
#pragma once

#include <cstdint>
#include <string>

#include "audio/audio_file.h"
#include "audio/frame_sink.h"
#include "audio/frame_source.h"
#include "host/vst_plugin.h"
#include "meter/level_meter.h"

// Told how far a pass through the input has come; the command line draws it as a bar.
class render_progress {
public:
    virtual ~render_progress() = default;
    // The passes that follow, until the next call, are `name` and take the part of the whole
    // job from `from` to `to` (fractions of 1), so that one bar can run over every pass.
    virtual void stage(const std::string& name, double from, double to) = 0;
    virtual void start(int64_t total_frames, int rate_hz) = 0;
    virtual void update(int64_t done_frames) = 0;
    virtual void finish() = 0;
};

struct render_setup {
    int block_frames = 1024;
    // false: the effect's delay is removed and its tail flushed, so the output has exactly
    // the input's length and lines up with it frame for frame. true: the output starts with
    // the delay and is longer by it, so nothing at the end is lost either.
    bool keep_latency = false;
    double reference_gain_db = 0.0;       // the effect's gain where it does not limit
    render_progress* progress = nullptr;  // null: nobody is told
};

struct render_figures {
    level_figures input{};
    level_figures output{};
    double largest_reduction_db = 0.0;
    double average_reduction_db = 0.0;
    int64_t input_frames = 0;
    int64_t output_frames = 0;
    int latency_frames = 0;
    double wall_seconds = 0.0;
};

// The effect must be started, with at least as many inputs and outputs as the file has
// channels. A mono file feeds the first two inputs alike (as a stereo track carrying a mono
// signal does), so a stereo effect treats it as it would a centred mono source. Frames of
// `shape` come from `in` and go to `out`; figures.input and figures.output are left empty.
render_figures render_stream(vst_plugin& plugin, const audio_shape& shape, frame_source& in,
                             frame_sink& out, const render_setup& setup);
