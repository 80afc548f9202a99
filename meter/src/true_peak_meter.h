// The true peak of one stream of interleaved frames: the largest magnitude that the ideal
// band-limited reconstruction of the samples reaches, between them as well as on them, with
// silence before and after the stream. Four stages, each run only where the one before comes
// within its margin of the largest long-stage reading so far:
// - a fast scan of every sample at eight points per sample, by a windowed sinc of 16 taps per
//   phase with parabolic crests. Near a signal's peak it reads up to 0.7 dB below the precise
//   stage (clipped programme; noise bursts 0.55 dB, tones near 0.46 times the rate 0.4 dB);
// - the medium stage (precise_peak.h), up to 0.45 dB below the precise stage;
// - the precise stage, up to 0.17 dB below the long one (on noise);
// - the long stage, at three points around the precise stage's crest, unless a bound on its
//   difference from the precise stage (precise_error_bound.h) already settles the crest.
// The answer is the largest long-stage reading, or settled ceiling, raised by
// reading_raised_db. Against the ideal
// reconstruction (tests/meter) it reads tones to 0.49 times the rate with and without DC,
// square and saw waves, noise, noise bursts, programme and clipped programme from 0.048 to
// 0.080 dB high.
// Frames are measured in whole chunks at fixed places in the stream, and the later stages need
// samples on both sides, so the figures do not depend on how the stream is cut into calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "precise_error_bound.h"
#include "precise_peak.h"
#include "true_peak_scan.h"

// How much the meter reads above its long stage: that stage's own error (0.021 dB low at
// most), and room for meters that interpolate at 4 points per sample, which read files delivered
// under a ceiling by this meter up to 0.04 dB above the ideal reconstruction (libebur128, in
// tests/tools): a file this meter passes passes them too.
constexpr double reading_raised_db = 0.07;

// The fast and medium stages' largest shortfalls measured against the precise stage near a
// signal's peak (0.7 dB and 0.45 dB), with some room to spare.
constexpr double fast_scan_margin_db = 1.2;
constexpr double medium_margin_db = 0.6;
// The precise stage's largest error measured against the long one near a peak, on noise
// (0.16 dB), with room to spare.
constexpr double precise_margin_db = 0.25;
// Where the bound on the long stage's difference (precise_error_bound.h) puts its reading of a
// crest within this of the precise stage's, that ceiling stands for it: the meter then reads
// at most this much higher than the long stage would have.
constexpr double settled_db = 0.01;

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
    // What settle() learns of one lane in one scan, measured only when a crest needs it.
    struct settling {
        std::optional<precise_error_bound::lane_levels> smooth;
        std::optional<precise_error_bound::lane_levels> steep;
        int long_runs = 0;  // long-stage evaluations the smooth bound could not spare
    };
    // After this many, the steep bound's levels are worth measuring for the rest of the lane.
    static constexpr int steep_after = 64;

    // The long stage and the bound on its difference from the precise stage read this many
    // samples either side of the interval they read...
    static constexpr int64_t lag = precise_error_bound::reach;
    // ...and before that, the history it needs for the first interval of a chunk.
    static constexpr int64_t history = 2 * lag;
    static constexpr int64_t chunk_frames = 8192;
    static constexpr int64_t stretch_frames = 64;
    static constexpr int64_t flag_frames = 8;

    float* lane(int channel) {
        return &lanes_[static_cast<size_t>(channel * (history + chunk_frames))];
    }
    // Measures the intervals from each of `n` samples `lag` places before the end of the
    // lane's history to the sample after; answers the larger of them and `peak`.
    float scan(const float* lane, int64_t n, float peak) const;
    // The long stage's reading of the precise stage's crest in interval j of a lane of
    // history + n samples, or a ceiling on it when the bound puts that within settled_db of
    // the precise stage's `reading`.
    float settle(const float* lane, int64_t n, settling& lane_state, int64_t j, int crest,
                 float reading) const;

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
    float precise_margin_;       // precise_margin_db, as a gain
    float settled_gain_;         // settled_db, as a gain
    const long_peak& long_;      // shared by every meter: its table is large
    const precise_error_bound& smooth_bound_;  // shared: computed from long_'s table
    true_peak_scan_fn scan_;
};
