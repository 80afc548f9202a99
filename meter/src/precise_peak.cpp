#include "precise_peak.h"

#include <algorithm>
#include <cmath>

#include "true_peak_scan.h"

namespace {

constexpr double pi = 3.14159265358979323846;

double bessel_i0(double x) {
    double sum = 1.0;
    double term = 1.0;
    // The terms fall fast once k passes x / 2; the long stage's table has a million entries.
    for (int k = 1; k < 60 && term > sum * 1e-17; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

}  // namespace

template <int HalfTaps, int Phases>
windowed_sinc_peak<HalfTaps, Phases>::windowed_sinc_peak(double kaiser_beta)
    : rows_(static_cast<size_t>(2 * HalfTaps * Phases)), columns_(rows_.size()) {
    constexpr int taps = 2 * HalfTaps;
    const double half_span = HalfTaps + 1.0;
    for (int p = 0; p < Phases; ++p) {
        const double t = static_cast<double>(p) / Phases;
        for (int k = 0; k < taps; ++k) {
            const double d = t - (k - HalfTaps + 1);  // in samples from the tap
            const double u = d / half_span;
            const double window = bessel_i0(kaiser_beta * std::sqrt(std::max(0.0, 1.0 - u * u))) /
                                  bessel_i0(kaiser_beta);
            // Phase 0 is the sample itself, exactly.
            const double sinc = p == 0 ? (d == 0.0 ? 1.0 : 0.0) : std::sin(pi * d) / (pi * d);
            rows_[static_cast<size_t>(k * Phases + p)] = static_cast<float>(sinc * window);
        }
    }
    for (int p = 0; p < Phases; ++p)
        for (int k = 0; k < taps; ++k)
            columns_[static_cast<size_t>(p * taps + k)] =
                rows_[static_cast<size_t>(k * Phases + p)];
}

template <int HalfTaps, int Phases>
float windowed_sinc_peak<HalfTaps, Phases>::point(const float* x, int phase) const {
    // Sixteen partial sums, independent of each other, so that a long filter does not wait
    // on one chain of additions; the compiler may run them in vector lanes, and the order of
    // every addition stays the same, whatever the instruction set.
    static_assert((2 * HalfTaps) % 16 == 0, "whole groups of sixteen taps");
    float partial[16] = {};
    const float* first = x - HalfTaps + 1;
    const float* column = &columns_[static_cast<size_t>(phase * 2 * HalfTaps)];
    for (int k = 0; k < 2 * HalfTaps; k += 16)
        for (int i = 0; i < 16; ++i) partial[i] += column[k + i] * first[k + i];
    float y = 0.0f;
    for (float p : partial) y += p;
    return y;
}

template <int HalfTaps, int Phases>
float windowed_sinc_peak<HalfTaps, Phases>::indexed(const float* x, int i) const {
    if (i == 0) return point(x - 1, Phases - 1);
    if (i == Phases + 1) return x[1];
    if (i == Phases + 2) return point(x + 1, 1);
    return point(x, i - 1);
}

template <int HalfTaps, int Phases>
float windowed_sinc_peak<HalfTaps, Phases>::around(const float* x, int crest) const {
    const float centre = std::fabs(indexed(x, crest));
    const float m =
        true_peak_crest(std::fabs(indexed(x, crest - 1)), centre, std::fabs(indexed(x, crest + 1)));
    return m > centre ? m : centre;
}

template <int HalfTaps, int Phases>
float windowed_sinc_peak<HalfTaps, Phases>::most_around(const float* x, int crest,
                                                        float error) const {
    // The other filter's centre is at most `error` higher, and its parabola's rise above the
    // centre, (a - b)^2 / (8 (a + b)) for drops a and b to the neighbours, is at most an
    // eighth of the larger drop; it also changes by at most 3/8 of any change in a or b,
    // each of which moves by at most twice `error`. Either bounds the crest; the first is the
    // closer on gentle crests, the second on steep ones.
    const float left = std::fabs(indexed(x, crest - 1));
    const float centre = std::fabs(indexed(x, crest));
    const float right = std::fabs(indexed(x, crest + 1));
    const float by_drop = centre + std::max(0.0f, centre - std::min(left, right)) / 8.0f;
    return std::min(by_drop + error * 1.25f, true_peak_crest(left, centre, right) + error * 2.5f);
}

template <int HalfTaps, int Phases>
float windowed_sinc_peak<HalfTaps, Phases>::interval_peak(const float* x, int* crest) const {
    // y[0]: the point before x[0]; y[1 + p]: point p; y[1 + phases]: x[1]; then the point
    // after it, so that crests at both ends of the interval are read.
    float y[Phases + 3] = {};
    float* points = y + 1;
    const float* first = x - HalfTaps + 1;
    for (int k = 0; k < 2 * HalfTaps; ++k) {
        const float* row = &rows_[static_cast<size_t>(k * Phases)];
        const float sample = first[k];
        for (int p = 0; p < Phases; ++p) points[p] += row[p] * sample;
    }
    y[0] = point(x - 1, Phases - 1);
    y[Phases + 1] = x[1];
    y[Phases + 2] = point(x + 1, 1);
    for (float& v : y) v = std::fabs(v);
    // A crest at x[1] belongs to the next interval, where it is point 0, so that each crest
    // is handed to around() once.
    float peak = 0.0f;
    float owned = 0.0f;
    int at = 0;
    for (int i = 1; i <= Phases + 1; ++i) {
        const float m = true_peak_crest(y[i - 1], y[i], y[i + 1]);
        peak = std::max(peak, m);
        const bool is_crest = y[i] >= y[i - 1] && y[i] >= y[i + 1];
        if (is_crest && i <= Phases && m > owned) owned = m, at = i;
    }
    if (crest != nullptr) *crest = at;
    return peak;
}

template class windowed_sinc_peak<128, 16>;
template class windowed_sinc_peak<24, 8>;
template class windowed_sinc_peak<4096, 16>;
