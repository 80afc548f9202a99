// The inner loop of the true-peak meter: interpolates one channel at true_peak_phases points
// per sample with a polyphase filter of true_peak_taps taps per phase and keeps the largest
// magnitude. Where an interpolated point stands above both its neighbours, the crest between
// them is read from the parabola through the three, so that a crest falling between two points
// is not read low. One version per instruction set, all with the same arithmetic in the same
// order, so that all give the same figures; the meter picks the best the processor has.
#pragma once

#include <cstdint>

constexpr int true_peak_phases = 8;
constexpr int true_peak_taps = 16;
constexpr int true_peak_delay = true_peak_taps / 2;

// The crest of the parabola through three neighbouring magnitudes, where the middle one stands
// above the others; otherwise the middle one. Every version does exactly these operations.
inline float true_peak_crest(float left, float centre, float right) {
    const float spread = (centre - left) + (centre - right);
    const float slope = right - left;
    if (!(centre >= left && centre >= right && spread > 0.0f)) return centre;
    return centre + (slope * slope) / (spread * 8.0f);
}

// `x` holds `frames` samples and, before them, the true_peak_taps samples that came earlier.
// Interpolated point p of sample i lies p / true_peak_phases of a sample after x[i - delay];
// point 0 is that sample itself. `coefficients` holds true_peak_taps rows of true_peak_phases
// values, row k weighting the sample k places back. Answers the larger of `peak` and every
// interpolated magnitude; NaN results are passed over.
using true_peak_scan_fn = float (*)(const float* x, int64_t frames, const float* coefficients,
                                    float peak);

float true_peak_scan_portable(const float* x, int64_t frames, const float* coefficients,
                              float peak);
float true_peak_scan_sse2(const float* x, int64_t frames, const float* coefficients, float peak);
float true_peak_scan_avx2(const float* x, int64_t frames, const float* coefficients, float peak);

// The fastest version this processor runs.
true_peak_scan_fn best_true_peak_scan();
