#include "precise_peak.h"

#include <algorithm>
#include <cmath>

#include "true_peak_scan.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int taps = 2 * precise_half_taps;
// About 80 dB of stopband with a transition from 0.49 to 0.51 times the rate over this
// length: what is left of an image or of the passband's ripple is under 0.001 dB.
constexpr double kaiser_beta = 8.0;

double bessel_i0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

}  // namespace

precise_peak::precise_peak() : rows_(static_cast<size_t>(taps * precise_phases)) {
    const double half_span = precise_half_taps + 1.0;
    for (int p = 0; p < precise_phases; ++p) {
        const double t = static_cast<double>(p) / precise_phases;
        for (int k = 0; k < taps; ++k) {
            const double d = t - (k - precise_half_taps + 1);  // in samples from the tap
            const double u = d / half_span;
            const double window = bessel_i0(kaiser_beta * std::sqrt(std::max(0.0, 1.0 - u * u))) /
                                  bessel_i0(kaiser_beta);
            // Phase 0 is the sample itself, exactly.
            const double sinc = p == 0 ? (d == 0.0 ? 1.0 : 0.0) : std::sin(pi * d) / (pi * d);
            rows_[static_cast<size_t>(k * precise_phases + p)] = static_cast<float>(sinc * window);
        }
    }
}

float precise_peak::point(const float* x, int phase) const {
    float y = 0.0f;
    for (int k = 0; k < taps; ++k)
        y += rows_[static_cast<size_t>(k * precise_phases + phase)] * x[k - precise_half_taps + 1];
    return y;
}

float precise_peak::interval_peak(const float* x) const {
    // y[0]: the point before x[0]; y[1 + p]: point p; y[1 + phases]: x[1]; then the point
    // after it, so that crests at both ends of the interval are read.
    float y[precise_phases + 3] = {};
    float* points = y + 1;
    const float* first = x - precise_half_taps + 1;
    for (int k = 0; k < taps; ++k) {
        const float* row = &rows_[static_cast<size_t>(k * precise_phases)];
        const float sample = first[k];
        for (int p = 0; p < precise_phases; ++p) points[p] += row[p] * sample;
    }
    y[0] = point(x - 1, precise_phases - 1);
    y[precise_phases + 1] = x[1];
    y[precise_phases + 2] = point(x + 1, 1);
    for (float& v : y) v = std::fabs(v);
    float peak = 0.0f;
    for (int i = 1; i <= precise_phases + 1; ++i) {
        const float m = true_peak_crest(y[i - 1], y[i], y[i + 1]);
        if (m > peak) peak = m;
    }
    return peak;
}
