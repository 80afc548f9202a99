#include "delivery/render_job.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "measure/gain_reduction_meter.h"
#include "measure/input_history.h"
#include "meter/stereo_lanes.h"

namespace {

// One pass of a file through the effect: blocks in, the effect's delay taken off the start,
// its tail flushed at the end, and as much of the output as belongs in the file written out.
class effect_pass {
public:
    effect_pass(vst_plugin& plugin, const audio_shape& shape, frame_sink& out,
                const render_setup& setup)
        : plugin_(plugin),
          out_(out),
          setup_(setup),
          channels_(shape.channels),
          input_block_(static_cast<size_t>(setup.block_frames * shape.channels), 0.0f),
          output_block_(input_block_.size(), 0.0f),
          reduction_(setup.reference_gain_db),
          history_(shape.channels),
          latency_(plugin.latency_frames()) {}

    // Every frame of the input through the effect.
    void run_input(frame_source& in) {
        for (;;) {
            int64_t frames = 0;
            const float* input = in.next(input_block_.data(), setup_.block_frames, frames);
            if (frames <= 0) break;
            history_.push(input, frames);
            input_frames_ += frames;
            run_block(input, frames);
            if (setup_.progress != nullptr) setup_.progress->update(input_frames_);
        }
        input_done_ = true;
    }

    // The tail: silence goes in until every frame that belongs in the output has come out.
    void run_tail() {
        std::fill(input_block_.begin(), input_block_.end(), 0.0f);
        if (first_block_) skip_ = setup_.keep_latency ? 0 : latency_;
        while (written_ < wanted()) {
            const int64_t frames =
                std::min<int64_t>(setup_.block_frames, skip_ + wanted() - written_);
            run_block(input_block_.data(), frames);
        }
    }

    render_figures figures() const {
        render_figures f;
        f.largest_reduction_db = reduction_.largest_db();
        f.average_reduction_db = reduction_.average_db();
        f.input_frames = input_frames_;
        f.output_frames = written_;
        f.latency_frames = latency_;
        return f;
    }

private:
    // The output frames the file gets: the input's length, plus the delay when it is kept.
    int64_t wanted() const { return input_frames_ + (setup_.keep_latency ? latency_ : 0); }

    void run_block(const float* input, int64_t frames) {
        feed_effect(input, frames);
        plugin_.process(static_cast<int>(frames));
        // Some effects settle their delay only once they have processed audio, so it is read
        // again after the first block; nothing is written before that.
        if (first_block_) {
            latency_ = plugin_.latency_frames();
            skip_ = setup_.keep_latency ? 0 : latency_;
            first_block_ = false;
        }
        collect_output(frames);
        measure_reduction(frames);
        write_kept(frames);
        raw_frames_ += frames;
        history_.forget_before(raw_frames_ - latency_);
    }

    // A mono file feeds both inputs of a stereo effect; inputs the file has no channel for
    // get silence.
    void feed_effect(const float* input, int64_t frames) {
        int c = 0;
        if (channels_ == 2 && plugin_.inputs() >= 2) {
            split_stereo(input, frames, plugin_.input(0), plugin_.input(1));
            c = 2;
        }
        for (; c < plugin_.inputs(); ++c) {
            float* destination = plugin_.input(c);
            const int source = channels_ == 1 && c < 2 ? 0 : c;
            if (source >= channels_) {
                std::fill(destination, destination + frames, 0.0f);
                continue;
            }
            for (int64_t f = 0; f < frames; ++f) destination[f] = input[f * channels_ + source];
        }
    }

    void collect_output(int64_t frames) {
        if (channels_ == 2) {
            join_stereo(plugin_.output(0), plugin_.output(1), frames, output_block_.data());
        } else {
            const float* source = plugin_.output(0);
            std::copy(source, source + frames, output_block_.begin());
        }
    }

    // Each output frame against the input frame the effect's delay made it from.
    void measure_reduction(int64_t frames) {
        for (int64_t f = 0; f < frames;) {
            const float* input_frames = nullptr;
            const int64_t n = history_.run(raw_frames_ + f - latency_, frames - f, input_frames);
            if (input_frames != nullptr) {
                reduction_.add_frames(
                    input_frames, &output_block_[static_cast<size_t>(f * channels_)], n, channels_);
            }
            f += n;
        }
    }

    void write_kept(int64_t frames) {
        const int64_t first_kept = std::min<int64_t>(skip_, frames);
        skip_ -= first_kept;
        int64_t kept = frames - first_kept;
        if (input_done_) kept = std::min(kept, wanted() - written_);
        if (kept <= 0) return;
        out_.write(&output_block_[static_cast<size_t>(first_kept * channels_)], kept);
        written_ += kept;
    }

    vst_plugin& plugin_;
    frame_sink& out_;
    const render_setup& setup_;
    int channels_;
    std::vector<float> input_block_;
    std::vector<float> output_block_;
    gain_reduction_meter reduction_;
    input_history history_;
    int latency_;
    bool first_block_ = true;
    bool input_done_ = false;
    int64_t skip_ = 0;        // output frames still to drop at the start
    int64_t raw_frames_ = 0;  // frames the effect has produced
    int64_t input_frames_ = 0;
    int64_t written_ = 0;
};

}  // namespace

render_figures render_stream(vst_plugin& plugin, const audio_shape& shape, frame_source& in,
                             frame_sink& out, const render_setup& setup) {
    const auto started = std::chrono::steady_clock::now();
    if (setup.progress != nullptr) setup.progress->start(shape.frames, shape.rate_hz);
    effect_pass pass(plugin, shape, out, setup);
    pass.run_input(in);
    pass.run_tail();
    if (setup.progress != nullptr) setup.progress->finish();
    render_figures figures = pass.figures();
    figures.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return figures;
}
