// How far the long stage can read from the precise one around an interval, bounded from the
// samples there, so that a crest the bound settles needs no long-stage evaluation. A steady
// tone has every crest at one height, each within any margin of the largest; without the
// bound the long stage, at 8192 taps, would evaluate every one of them.
//
// The two stages differ by a filter g (long minus precise) that passes almost nothing but the
// band next to half the rate, which the precise stage leaves out. Split the samples x by a
// filter e that passes that band whole:
//     |g x| <= |g (1 - e)|_1 max |x| + |g|_1 max |e x|
// over the samples g reaches. The first norm is tiny (about 2e-4 for the stages as built), and
// the second term vanishes for signals with nothing in e's band. Two filters serve as e:
// - the eighth difference, nine taps, whose gain at f cycles per sample is sin^8(pi f): cheap
//   enough for every chunk with a crest near the peak, and it settles tones below about 0.12
//   times the rate;
// - a steep high-pass of 301 taps, from 0.46 to 0.48 times the rate, for chunks where the
//   long stage keeps running: it settles tones up to 0.46 times the rate.
// Noise, clipping and tones nearer half the rate get a bound too wide to settle anything.
#pragma once

#include <cstdint>
#include <vector>

#include "precise_peak.h"

class precise_error_bound {
public:
    enum class split { eighth_difference, steep_high_pass };

    // Computes the two norms from the stages' own weights, at the worst phase.
    precise_error_bound(const precise_peak& precise, const long_peak& long_stage, split e);

    // Either bound reads this many samples either side of an interval.
    static constexpr int64_t reach = long_peak::half_taps + 1 + 150;

    // The largest |x| and |e x| in every block of `length` samples of `lane`, for at().
    class lane_levels {
    public:
        lane_levels(const precise_error_bound& bound, const float* lane, int64_t length);

    private:
        friend class precise_error_bound;
        std::vector<float> level_;  // per block: the largest |x|
        std::vector<float> band_;   // per block: the largest |e x|
    };

    // The most the long stage can differ from the precise stage at any point that they
    // read for the interval from lane[j] to lane[j + 1], whose reach lies within the lane.
    float at(const lane_levels& levels, int64_t j) const;

private:
    std::vector<double> e_;   // centred: e_[half + k] weights the sample k places on
    float pass_norm_ = 0.0f;  // |g (1 - e)|_1, with room for the sums' rounding
    float band_norm_ = 0.0f;  // |g|_1
};
