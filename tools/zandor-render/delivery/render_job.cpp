#include "delivery/render_job.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "measure/gain_reduction_meter.h"
#include "meter/stereo_lanes.h"

namespace {

// Input frames waiting for the output frames that the effect's delay makes them come out as;
// the gain reduction meter compares each output frame with the input frame it came from.
class input_history {
public:
    explicit input_history(int channels) : channels_(channels) {}

    void push(const float* interleaved, int64_t frames) {
        if (held_ + frames > capacity()) grow(held_ + frames);
        // At most two stretches: up to the end of the ring, then from its start.
        while (frames > 0) {
            const int64_t slot = (start_ + held_) & mask_;
            const int64_t n = std::min(frames, capacity() - slot);
            std::copy(interleaved, interleaved + n * channels_,
                      &samples_[static_cast<size_t>(slot * channels_)]);
            interleaved += n * channels_;
            frames -= n;
            held_ += n;
        }
    }
    // The input frame with this index since the start, or null when it is not (or no longer)
    // held: before the start, or a frame of the tail that follows the file.
    const float* frame(int64_t index) const {
        const int64_t offset = index - first_;
        if (index < 0 || offset < 0 || offset >= held_) return nullptr;
        return &samples_[static_cast<size_t>(((start_ + offset) & mask_) * channels_)];
    }
    // How many of the frames from `index` on (at most `limit`) lie side by side in the ring or
    // are all missing; `start` is the first of them, or null when they are missing.
    int64_t run(int64_t index, int64_t limit, const float*& start) const {
        start = frame(index);
        if (start != nullptr) {
            const int64_t offset = index - first_;
            const int64_t slot = (start_ + offset) & mask_;
            return std::min({limit, held_ - offset, capacity() - slot});
        }
        if (index < first_) return std::min(limit, first_ - index);
        return limit;
    }
    void forget_before(int64_t index) {
        const int64_t drop = std::min(index - first_, held_);
        if (drop <= 0) return;
        start_ = (start_ + drop) & mask_;
        first_ += drop;
        held_ -= drop;
    }

private:
    int64_t capacity() const { return mask_ + 1; }
    // A ring whose size is a power of two, so that a frame's place is a mask away; it grows
    // only until it holds the effect's delay and one block.
    void grow(int64_t frames) {
        int64_t size = std::max<int64_t>(capacity(), 1024);
        while (size < frames) size *= 2;
        std::vector<float> larger(static_cast<size_t>(size * channels_));
        for (int64_t f = 0; f < held_; ++f) {
            const float* from = frame(first_ + f);
            std::copy(from, from + channels_, &larger[static_cast<size_t>(f * channels_)]);
        }
        samples_.swap(larger);
        mask_ = size - 1;
        start_ = 0;
    }

    int channels_;
    int64_t first_ = 0;  // index of the oldest frame held
    int64_t start_ = 0;  // its slot
    int64_t held_ = 0;
    int64_t mask_ = -1;  // capacity - 1; nothing held yet
    std::vector<float> samples_;
};

}  // namespace

render_figures render_stream(vst_plugin& plugin, audio_reader& in, frame_sink& out,
                             const render_setup& setup) {
    const auto started = std::chrono::steady_clock::now();
    const audio_shape& shape = in.shape();
    const int channels = shape.channels;
    const int block = setup.block_frames;

    std::optional<level_meter> own_meter;
    level_meter* input_meter = nullptr;
    const int input_stream = setup.input_meter != nullptr ? 1 : 0;
    if (setup.measure_input)
        input_meter = setup.input_meter != nullptr ? setup.input_meter
                                                   : &own_meter.emplace(channels, shape.rate_hz);
    gain_reduction_meter reduction(setup.reference_gain_db);
    input_history history(channels);
    if (setup.progress != nullptr) setup.progress->start(shape.frames, shape.rate_hz);

    std::vector<float> input_block(static_cast<size_t>(block * channels), 0.0f);
    std::vector<float> output_block(static_cast<size_t>(block * channels), 0.0f);

    render_figures figures;
    // Some effects settle their delay only once they have processed audio, so it is read
    // again after the first block; nothing is written before that.
    int latency = plugin.latency_frames();
    bool first_block = true;
    int64_t skip = 0;        // output frames still to drop at the start
    int64_t raw_frames = 0;  // frames the effect has produced
    int64_t written = 0;
    bool input_done = false;

    // One block through the effect: `frames` frames of `input` (zeros once the file has
    // ended) in, then as much of the output as belongs in the file written out.
    auto run_block = [&](const float* input, int64_t frames) {
        int c = 0;
        if (channels == 2 && plugin.inputs() >= 2) {
            split_stereo(input, frames, plugin.input(0), plugin.input(1));
            c = 2;
        }
        for (; c < plugin.inputs(); ++c) {
            float* destination = plugin.input(c);
            // A mono file feeds both inputs of a stereo effect; inputs the file has no channel
            // for get silence.
            const int source = channels == 1 && c < 2 ? 0 : c;
            if (source >= channels) {
                std::fill(destination, destination + frames, 0.0f);
                continue;
            }
            for (int64_t f = 0; f < frames; ++f) destination[f] = input[f * channels + source];
        }
        plugin.process(static_cast<int>(frames));
        if (first_block) {
            latency = plugin.latency_frames();
            skip = setup.keep_latency ? 0 : latency;
            first_block = false;
        }
        if (channels == 2) {
            join_stereo(plugin.output(0), plugin.output(1), frames, output_block.data());
        } else {
            const float* source = plugin.output(0);
            std::copy(source, source + frames, output_block.begin());
        }
        for (int64_t f = 0; f < frames;) {
            const float* input_frames = nullptr;
            const int64_t n = history.run(raw_frames + f - latency, frames - f, input_frames);
            if (input_frames != nullptr)
                reduction.add_frames(input_frames, &output_block[static_cast<size_t>(f * channels)],
                                     n, channels);
            f += n;
        }
        int64_t first_kept = std::min<int64_t>(skip, frames);
        skip -= first_kept;
        int64_t kept = frames - first_kept;
        if (input_done) {
            const int64_t wanted = figures.input_frames + (setup.keep_latency ? latency : 0);
            kept = std::min(kept, wanted - written);
        }
        if (kept > 0) {
            const float* start = &output_block[static_cast<size_t>(first_kept * channels)];
            out.write(start, kept);
            written += kept;
        }
        raw_frames += frames;
        history.forget_before(raw_frames - latency);
    };

    for (;;) {
        // Read straight into the meter's ring where it has the room in one piece, so that
        // the frames are not copied there afterwards.
        float* reserved = input_meter ? input_meter->reserve(block, input_stream) : nullptr;
        const float* input = reserved != nullptr ? reserved : input_block.data();
        const int64_t frames = in.read(reserved != nullptr ? reserved : input_block.data(), block);
        if (frames <= 0) break;
        if (reserved != nullptr) {
            input_meter->commit(frames, input_stream);
        } else if (input_meter) {
            input_meter->add(input, frames, input_stream);
        }
        history.push(input, frames);
        figures.input_frames += frames;
        run_block(input, frames);
        if (setup.progress != nullptr) setup.progress->update(figures.input_frames);
    }
    input_done = true;

    // The tail: silence goes in until every frame that belongs in the output has come out.
    std::fill(input_block.begin(), input_block.end(), 0.0f);
    if (first_block) skip = setup.keep_latency ? 0 : latency;
    const int64_t wanted = figures.input_frames + (setup.keep_latency ? latency : 0);
    while (written < wanted) {
        const int64_t frames = std::min<int64_t>(block, skip + (wanted - written));
        run_block(input_block.data(), frames);
    }
    if (setup.progress != nullptr) setup.progress->finish();

    if (input_meter) figures.input = input_meter->figures(input_stream);
    figures.largest_reduction_db = reduction.largest_db();
    figures.average_reduction_db = reduction.average_db();
    figures.output_frames = written;
    figures.latency_frames = latency;
    figures.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return figures;
}
