// The sample peak: the largest magnitude among the samples themselves.
#pragma once

#include <cstdint>

// The larger of `peak` and the magnitude of every one of `count` samples; NaN samples are
// passed over.
float sample_peak(const float* samples, int64_t count, float peak);
