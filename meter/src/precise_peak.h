// The precise stage of the true-peak meter: the reconstruction between two samples by a long
// Kaiser-windowed sinc (precise_half_taps samples either side, passband flat to 0.49 times the
// rate), evaluated at precise_phases points per sample, with the crest between points read
// from the parabola through three of them. Against the ideal band-limited reconstruction it
// reads sines up to 0.49 times the rate, at any phase, and noise, within precise_error_db
// (tests/meter show it). Too slow for every sample: the meter runs it only where its fast
// scan comes near the largest peak so far.
#pragma once

#include <vector>

constexpr int precise_half_taps = 128;
constexpr int precise_phases = 16;
// The largest amount by which the stage was measured to read below the ideal reconstruction.
constexpr double precise_error_db = 0.005;

class precise_peak {
public:
    precise_peak();

    // The largest magnitude of the reconstruction from sample x[0] up to and including x[1].
    // Reads x[-precise_half_taps] to x[precise_half_taps + 1]; points that come out NaN are
    // passed over.
    float interval_peak(const float* x) const;

private:
    float point(const float* x, int phase) const;

    // Row k, lane p: the weight of x[k - precise_half_taps + 1] for the point p / precise_phases
    // of a sample after x[0].
    std::vector<float> rows_;
};
