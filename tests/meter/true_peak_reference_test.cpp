// The true-peak reference reads what analysis says it must: steady sines at any frequency
// up to just below half the rate, at any phase, peak at their amplitude.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "true_peak_reference.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// A sine of `cycles_per_sample`, faded in and out over `fade` samples by raised cosines so
// that its spectrum stays below half the rate and its middle is a steady tone.
std::vector<double> faded_sine(double cycles_per_sample, double phase, double amplitude) {
    constexpr size_t length = 4096, fade = 1024;
    std::vector<double> x(length);
    for (size_t n = 0; n < length; ++n) {
        double gain = 1.0;
        const size_t edge = std::min(n, length - 1 - n);
        if (edge < fade) gain = 0.5 - 0.5 * std::cos(pi * static_cast<double>(edge) / fade);
        x[n] = amplitude * gain *
               std::sin(2.0 * pi * cycles_per_sample * static_cast<double>(n) + phase);
    }
    return x;
}

double db(double gain) {
    return 20.0 * std::log10(gain);
}

TEST(TruePeakReference, ReadsSteadySinesAtTheirAmplitudeUpToJustBelowHalfTheRate) {
    for (double f : {0.01, 0.1, 0.25, 0.3333, 0.45, 0.47, 0.48, 0.49}) {
        for (double phase : {0.0, 0.3, 1.1, 2.5}) {
            const double peak = reference_true_peak(faded_sine(f, phase, 0.5));
            EXPECT_NEAR(db(peak), db(0.5), 0.005) << f << " fs, phase " << phase;
        }
    }
}

TEST(TruePeakReference, ReconstructsTheSamplesThemselvesAndSilenceAroundThem) {
    const std::vector<double> x{0.0, 1.0, -0.5, 0.25};
    for (size_t n = 0; n < x.size(); ++n) EXPECT_DOUBLE_EQ(ideal_reconstruction(x, n), x[n]);
    EXPECT_NEAR(ideal_reconstruction(x, -5.0), 0.0, 1e-15);
    // A lone sample reconstructs as a sinc, whose peak is the sample.
    EXPECT_NEAR(reference_true_peak({0.0, 0.0, 0.8, 0.0, 0.0}), 0.8, 1e-6);
    EXPECT_EQ(reference_true_peak({}), 0.0);
}

}  // namespace
