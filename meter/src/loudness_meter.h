// Loudness of one stream of interleaved frames, K-weighted: momentary (the last 400 ms),
// short-term (the last 3 s), integrated over the whole programme with an absolute gate at
// -70 LUFS and a relative one 10 LU below, and loudness range (the spread from the 10th to
// the 95th percentile of the short-term loudness, gated at -70 LUFS and 20 LU below).
// Everything advances in steps of 100 ms: a gating block is four steps, so consecutive blocks
// overlap by three quarters. A step left incomplete at the end is not measured.
#pragma once

#include <array>
#include <cstdint>

#include "k_weighting.h"
#include "loudness_histogram.h"

class loudness_meter {
public:
    loudness_meter(int channels, int rate_hz);

    // Measures `frames` more interleaved frames.
    void add(const float* interleaved, int64_t frames);
    // a.add(x, frames) and b.add(y, frames), with the two K-weighting filters run side by side.
    static void add_pair(loudness_meter& a, const float* x, loudness_meter& b, const float* y,
                         int64_t frames);

    // Each answers -inf while there is nothing loud enough to measure.
    double momentary_lufs() const;
    double short_term_lufs() const;
    double integrated_lufs() const;
    double loudness_range_lu() const;

private:
    static constexpr int block_steps = 4;
    static constexpr int short_term_steps = 30;
    // The range is taken over short-term windows that start a second apart (each overlapping
    // the next by 2 s), as the common meters take it; a finer hop reads a programme that
    // swells every few seconds a few tenths of a LU differently.
    static constexpr int range_hop_steps = 10;

    void finish_step();
    double mean_energy_of_last(int steps) const;

    k_weighting weighting_;
    int64_t step_frames_;
    int64_t frames_in_step_ = 0;
    std::array<double, short_term_steps> recent_steps_{};  // energy sums, a ring
    int64_t steps_done_ = 0;
    loudness_histogram blocks_;
    loudness_histogram short_term_blocks_;
};
