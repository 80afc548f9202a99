// The inner loop of the true-peak meter: interpolates one channel at true_peak_phases points
// per sample with a polyphase filter of true_peak_taps taps per phase and keeps the largest
// magnitude. One version per instruction set; the meter picks the best the processor has.
#pragma once

#include <cstdint>

constexpr int true_peak_phases = 8;
constexpr int true_peak_taps = 16;

// `x` holds `frames` samples and, before them, the true_peak_taps - 1 samples that came
// earlier. `coefficients` holds true_peak_taps rows of true_peak_phases values, row k
// weighting the sample k places back. Answers the larger of `peak` and every interpolated
// magnitude; NaN results are passed over.
using true_peak_scan_fn = float (*)(const float* x, int64_t frames, const float* coefficients,
                                    float peak);

float true_peak_scan_portable(const float* x, int64_t frames, const float* coefficients,
                              float peak);
float true_peak_scan_sse2(const float* x, int64_t frames, const float* coefficients, float peak);
float true_peak_scan_avx2(const float* x, int64_t frames, const float* coefficients, float peak);

// The fastest version this processor runs.
true_peak_scan_fn best_true_peak_scan();
