// The render itself: reads the input in blocks, runs each block through the effect, removes
// the effect's delay and writes the output, measuring both sides on the way.
#pragma once

#include <cstdint>

#include "audio_file.h"
#include "level_meter.h"
#include "vst_plugin.h"

struct render_setup {
    int block_frames = 1024;
    // false: the effect's delay is removed and its tail flushed, so the output has exactly
    // the input's length and lines up with it frame for frame. true: the output starts with
    // the delay and is longer by it, so nothing at the end is lost either.
    bool keep_latency = false;
    double reference_gain_db = 0.0;  // the effect's gain where it does not limit
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
// signal does), so a stereo effect treats it as it would a centred mono source.
render_figures render_stream(vst_plugin& plugin, audio_reader& in, audio_writer& out,
                             const render_setup& setup);
