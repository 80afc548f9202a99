// The true peak of one stream of interleaved frames: the largest magnitude the signal reaches
// between its samples as well as on them, as a player's reconstruction filter makes it.
// Each channel is interpolated at eight points per sample by a windowed-sinc filter of 16
// taps per phase, and crests between the points are read from a parabola through the three
// points around them. Any sine up to 0.45 times the rate, at any phase, reads within 0.1 dB.
#pragma once

#include <cstdint>
#include <vector>

#include "true_peak_scan.h"

class true_peak_meter {
public:
    explicit true_peak_meter(int channels);

    // Measures `frames` more interleaved frames.
    void add(const float* interleaved, int64_t frames);

    // The largest magnitude so far, linear (1.0 is full scale); 0 for silence. Counts the
    // frames added last as if silence followed them, without changing what comes next.
    double peak() const;

private:
    static constexpr int history = true_peak_taps;
    static constexpr int64_t chunk_frames = 2048;
    static constexpr int64_t stretch_frames = 256;

    int channels_;
    std::vector<float> coefficients_;
    // Per channel: its last `history` samples, then room for one chunk.
    std::vector<float> lanes_;
    float peak_ = 0.0f;
    float largest_gain_ = 0.0f;  // of any phase, for samples of the worst signs
    true_peak_scan_fn scan_;
};
