#include "loudness_meter.h"

#include <algorithm>
#include <cmath>

namespace {

// Loudness of a mean square energy: the offset makes a 1 kHz sine at full scale on one
// channel read -3.01 LUFS, as the K-weighting lifts 1 kHz by 0.691 dB.
double lufs_of(double mean_energy) {
    return mean_energy > 0.0 ? -0.691 + 10.0 * std::log10(mean_energy) : -INFINITY;
}

}  // namespace

loudness_meter::loudness_meter(int channels, int rate_hz)
    : weighting_(channels, rate_hz), step_frames_(std::max(1, (rate_hz + 5) / 10)) {}

void loudness_meter::add(const float* interleaved, int64_t frames) {
    const int channels = weighting_.channels();
    while (frames > 0) {
        const int64_t n = std::min(frames, step_frames_ - frames_in_step_);
        weighting_.add_energy(interleaved, n);
        frames_in_step_ += n;
        interleaved += n * channels;
        frames -= n;
        if (frames_in_step_ == step_frames_) finish_step();
    }
}

void loudness_meter::add_pair(loudness_meter& a, const float* x, loudness_meter& b, const float* y,
                              int64_t frames) {
    const int channels = a.weighting_.channels();
    while (frames > 0) {
        const int64_t n = std::min(
            {frames, a.step_frames_ - a.frames_in_step_, b.step_frames_ - b.frames_in_step_});
        k_weighting::add_energy_pair(a.weighting_, x, b.weighting_, y, n);
        a.frames_in_step_ += n;
        b.frames_in_step_ += n;
        x += n * channels;
        y += n * b.weighting_.channels();
        frames -= n;
        if (a.frames_in_step_ == a.step_frames_) a.finish_step();
        if (b.frames_in_step_ == b.step_frames_) b.finish_step();
    }
}

void loudness_meter::finish_step() {
    recent_steps_[static_cast<size_t>(steps_done_ % short_term_steps)] = weighting_.take_energy();
    ++steps_done_;
    frames_in_step_ = 0;
    if (steps_done_ >= block_steps) {
        const double e = mean_energy_of_last(block_steps);
        blocks_.add(lufs_of(e), e);
    }
    if (steps_done_ >= short_term_steps &&
        (steps_done_ - short_term_steps) % range_hop_steps == 0) {
        const double e = mean_energy_of_last(short_term_steps);
        short_term_blocks_.add(lufs_of(e), e);
    }
}

// Steps not yet seen count as silence.
double loudness_meter::mean_energy_of_last(int steps) const {
    double sum = 0.0;
    for (int i = 1; i <= std::min<int64_t>(steps, steps_done_); ++i)
        sum += recent_steps_[static_cast<size_t>((steps_done_ - i) % short_term_steps)];
    return sum / static_cast<double>(steps * step_frames_);
}

double loudness_meter::momentary_lufs() const {
    return lufs_of(mean_energy_of_last(block_steps));
}

double loudness_meter::short_term_lufs() const {
    return lufs_of(mean_energy_of_last(short_term_steps));
}

double loudness_meter::integrated_lufs() const {
    const double ungated = lufs_of(blocks_.above(loudness_histogram::gate_lufs).mean_energy);
    if (ungated == -INFINITY) return -INFINITY;
    return lufs_of(blocks_.above(ungated - 10.0).mean_energy);
}

double loudness_meter::loudness_range_lu() const {
    const double ungated =
        lufs_of(short_term_blocks_.above(loudness_histogram::gate_lufs).mean_energy);
    if (ungated == -INFINITY) return -INFINITY;
    const double floor = ungated - 20.0;
    return short_term_blocks_.percentile_above(floor, 0.95) -
           short_term_blocks_.percentile_above(floor, 0.10);
}
