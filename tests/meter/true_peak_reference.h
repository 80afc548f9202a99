// The true peak by definition: the largest magnitude of the signal that ideal band-limited
// (sinc) interpolation reconstructs from the samples, with silence before and after them.
// Slow and plainly written, in double precision: the yardstick for the meter's interpolator
// and for delivered files, never used by the product.
#pragma once

#include <vector>

// Peak magnitude, as a linear gain, of one channel's reconstructed signal.
double reference_true_peak(const std::vector<double>& samples);

// The reconstructed signal at time t, in samples (t = n lands on sample n).
double ideal_reconstruction(const std::vector<double>& samples, double t);
