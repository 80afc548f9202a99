// The later stages of the true-peak meter: the reconstruction between two samples by a
// Kaiser-windowed sinc of HalfTaps samples either side, evaluated at Phases points per sample,
// with the crest between points read from the parabola through three of them.
// - precise_peak: 128 taps either side, flat to 0.49 times the rate, 16 points. It reads sines
//   up to 0.49 times the rate, at any phase, within precise_error_db of the ideal
//   reconstruction (tests/meter show it), and noise within 0.16 dB;
// - long_peak: 4096 taps either side, read at three points around a crest the precise stage
//   found; from 0.021 dB low to 0.009 dB high against the ideal reconstruction on tones,
//   noise and clipped programme alike;
// - medium_peak: 24 taps either side, 8 points, eight times cheaper: it sorts out, among the
//   intervals the fast scan finds near the peak, the few worth the precise stage.
#pragma once

#include <cstddef>
#include <vector>

template <int HalfTaps, int Phases>
class windowed_sinc_peak {
public:
    static constexpr int half_taps = HalfTaps;
    static constexpr int phases = Phases;

    explicit windowed_sinc_peak(double kaiser_beta);

    // The largest magnitude of the reconstruction from sample x[0] up to and including x[1].
    // Reads x[-HalfTaps] to x[HalfTaps + 1]; points that come out NaN are passed over.
    // `crest`, when given, receives the largest crest that belongs to this interval, for
    // around(), or 0 when none does: the interval's largest reading then lies on a slope
    // climbing into a neighbour, which holds the crest itself.
    float interval_peak(const float* x, int* crest = nullptr) const;

    // The crest read from this filter's three points at and beside where another filter's
    // interval_peak found one in the same interval: for filters too long to evaluate at every
    // point.
    float around(const float* x, int crest) const;

    // The most that around() of a filter whose every point lies within `error` of this one's
    // can read at that crest, which must be one of this filter's.
    float most_around(const float* x, int crest, float error) const;

    // The weights of x[1 - HalfTaps] to x[HalfTaps] for the point phase / Phases of a sample
    // after x[0].
    const float* weights(int phase) const {
        return &columns_[static_cast<size_t>(phase * 2 * HalfTaps)];
    }

private:
    float point(const float* x, int phase) const;
    // Point i of those interval_peak reads: 0 is the last before x[0], 1 + p is point p,
    // Phases + 1 is x[1] and Phases + 2 the first after it.
    float indexed(const float* x, int i) const;

    // Row k, lane p: the weight of x[k - HalfTaps + 1] for the point p / Phases of a sample
    // after x[0].
    std::vector<float> rows_;
    // The same, phase by phase: lane p's weights one after another, for point().
    std::vector<float> columns_;
};

using precise_peak = windowed_sinc_peak<128, 16>;
using medium_peak = windowed_sinc_peak<24, 8>;
// 4096 taps either side: flat to within a 0.0006-wide band below half the rate, for wide-band
// signals, whose content right up to half the rate the precise stage leaves out. Evaluated
// only around the precise stage's crests.
using long_peak = windowed_sinc_peak<4096, 16>;

// The Kaiser windows' shapes: about 80 dB of stopband, with a transition from 0.49 to 0.51
// times the rate over the precise stage's length, so that what is left of an image or of the
// passband's ripple is under 0.001 dB; the medium stage's is wider, and its error is
// measured against the precise stage.
constexpr double precise_kaiser_beta = 8.0;
constexpr double medium_kaiser_beta = 6.0;

// The largest amount by which the precise stage was measured to read a tone away from the
// ideal reconstruction.
constexpr double precise_error_db = 0.005;
