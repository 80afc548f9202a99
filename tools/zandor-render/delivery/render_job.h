// The render itself: reads the input in blocks, runs each block through the effect, removes
// the effect's delay and writes the output, measuring both sides on the way.
#pragma once

#include <cstdint>

#include "audio/audio_file.h"
#include "audio/frame_sink.h"
#include "host/vst_plugin.h"
#include "meter/level_meter.h"

// Told how far a pass through the input has come; the command line draws it as a bar.
class render_progress {
public:
    virtual ~render_progress() = default;
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
    double reference_gain_db = 0.0;  // the effect's gain where it does not limit
    bool measure_input = true;       // false: figures.input stays empty
    // Where the input is measured: stream 1 of this meter (whose stream 0 measures the
    // output, so that one worker measures both); null: a meter of the render's own.
    level_meter* input_meter = nullptr;
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
// signal does), so a stereo effect treats it as it would a centred mono source. The output
// goes to `out`, which measures it if it is to be measured; figures.output is left empty.
render_figures render_stream(vst_plugin& plugin, audio_reader& in, frame_sink& out,
                             const render_setup& setup);

// A sink that only measures: for passes that find the settings of the real render.
class metering_sink : public frame_sink {
public:
    explicit metering_sink(level_meter& meter) : meter_(meter) {}
    void write(const float* interleaved, int64_t frames) override {
        meter_.add(interleaved, frames);
    }

private:
    level_meter& meter_;
};
