// The true peak of one stream of interleaved frames: the largest magnitude that the ideal
// band-limited reconstruction of the samples reaches, between them as well as on them, with
// silence before and after the stream. Three stages:
// - a fast scan interpolates each channel at eight points per sample by a windowed sinc of 16
//   taps per phase, with parabolic crests. Near a signal's peak it reads up to 0.7 dB below the
//   precise stage (clipped programme; noise bursts 0.55 dB, tones near 0.46 times the rate
//   0.4 dB);
// - the medium stage (precise_peak.h) reads every sample interval where the fast scan comes
//   within fast_scan_margin_db of the largest precise reading so far, and the precise stage
//   those where the medium one comes within medium_margin_db.
// The answer is the largest precise reading, raised by precise_error_db. Against the ideal
// reconstruction (tests/meter) it reads tones to 0.49 times the rate and square and saw waves
// from 0 to 0.01 dB high, programme within -0.02 and +0.06 dB, and wide-band noise and clipped
// programme within -0.1 and +0.14 dB, for what the precise stage's kernel leaves out between
// 0.49 times the rate and half of it.
// Frames are measured in whole chunks at fixed places in the stream, and the precise stage
// needs samples on both sides, so the figures do not depend on how the stream is cut into
// calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "precise_peak.h"
#include "true_peak_scan.h"

// The fast and medium stages' largest shortfalls measured against the precise stage near a
// signal's peak (0.7 dB and 0.45 dB), with some room to spare.
constexpr double fast_scan_margin_db = 1.2;
constexpr double medium_margin_db = 0.6;

class true_peak_meter {
public:
    explicit true_peak_meter(int channels);

    // Measures `frames` more interleaved frames.
    void add(const float* interleaved, int64_t frames);

    // The largest magnitude so far, linear (1.0 is full scale); 0 for silence. Counts the
    // frames added last as if silence followed them, without changing what comes next.
    double peak() const;

    // The fast scan's filter, in the layout true_peak_scan.h describes.
    static std::vector<float> fast_coefficients();

private:
    // The precise stage reads this many samples back from the sample it reads from...
    static constexpr int64_t lag = precise_peak::half_taps + 1;
    // ...and before that, the history it needs for the first interval of a chunk.
    static constexpr int64_t history = 2 * lag;
    static constexpr int64_t chunk_frames = 2048;
    static constexpr int64_t stretch_frames = 64;
    static constexpr int64_t flag_frames = 8;

    float* lane(int channel) {
        return &lanes_[static_cast<size_t>(channel * (history + chunk_frames))];
    }
    // Measures the intervals from each of `n` samples `lag` places before the end of the
    // lane's history to the sample after; answers the larger of them and `peak`.
    float scan(const float* lane, int64_t n, float peak) const;

    int channels_;
    std::vector<float> coefficients_;
    medium_peak medium_;
    precise_peak precise_;
    // Per channel: its last `history` samples, then room for one chunk.
    std::vector<float> lanes_;
    int64_t pending_ = 0;        // frames in the chunk not yet measured
    float peak_ = 0.0f;          // the largest precise reading so far
    float largest_gain_ = 0.0f;  // of any phase of the fast scan, for samples of the worst signs
    float margin_;               // fast_scan_margin_db, as a gain
    float medium_margin_;        // medium_margin_db, as a gain
    true_peak_scan_fn scan_;
};
