#include "true_peak_reference.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <utility>

namespace {

constexpr double pi = 3.14159265358979323846;
// Candidates come from the signal reconstructed at this many points per sample.
constexpr size_t oversampling = 16;
// The largest crests of that grid are refined by the exact sum. The grid is the periodic
// reconstruction of the padded signal, which differs from the ideal one by far less than the
// spread of this many crests of any real signal; a steady tone has many crests of one height,
// any of which gives its peak.
constexpr size_t refined_crests = 64;

using complex = std::complex<double>;

// In-place radix-2 transform; size is a power of two. inverse leaves out the 1/size.
void fft(std::vector<complex>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = (inverse ? 2.0 : -2.0) * pi / static_cast<double>(len);
        for (size_t start = 0; start < n; start += len) {
            for (size_t k = 0; k < len / 2; ++k) {
                const complex w = std::polar(1.0, angle * static_cast<double>(k));
                const complex u = a[start + k];
                const complex v = a[start + k + len / 2] * w;
                a[start + k] = u + v;
                a[start + k + len / 2] = u - v;
            }
        }
    }
}

size_t power_of_two_at_least(size_t n) {
    size_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

// The signal, with a long stretch of silence after it, reconstructed on the fine grid by
// spreading its spectrum over a transform `oversampling` times longer. The silence keeps the
// wrap-around of the periodic reconstruction far from the samples.
std::vector<double> oversampled(const std::vector<double>& samples) {
    const size_t size = power_of_two_at_least(2 * samples.size() + 1024);
    std::vector<complex> spectrum(size);
    std::copy(samples.begin(), samples.end(), spectrum.begin());
    fft(spectrum, false);

    const size_t fine = size * oversampling;
    std::vector<complex> spread(fine);
    const size_t half = size / 2;
    for (size_t k = 0; k < half; ++k) spread[k] = spectrum[k];
    for (size_t k = 1; k < half; ++k) spread[fine - k] = spectrum[size - k];
    // The Nyquist bin is shared between the two band edges.
    spread[half] = spectrum[half] * 0.5;
    spread[fine - half] = spectrum[half] * 0.5;
    fft(spread, true);

    std::vector<double> points(fine);
    for (size_t i = 0; i < fine; ++i) points[i] = spread[i].real() / static_cast<double>(size);
    return points;
}

// Largest |y| near t0, searched by golden section over one grid step either side.
double refine(const std::vector<double>& samples, double t0) {
    const double step = 1.0 / oversampling;
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double lo = t0 - step, hi = t0 + step;
    auto magnitude = [&](double t) { return std::fabs(ideal_reconstruction(samples, t)); };
    double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
    double fa = magnitude(a), fb = magnitude(b);
    for (int i = 0; i < 40; ++i) {
        if (fa > fb) {
            hi = b, b = a, fb = fa;
            a = hi - ratio * (hi - lo), fa = magnitude(a);
        } else {
            lo = a, a = b, fa = fb;
            b = lo + ratio * (hi - lo), fb = magnitude(b);
        }
    }
    return std::max({fa, fb, magnitude(t0)});
}

}  // namespace

double ideal_reconstruction(const std::vector<double>& samples, double t) {
    // sinc(t - n) = (-1)^n sin(pi t) / (pi (t - n)): one sine for the whole sum. The sine is
    // taken of t's distance r from the nearest whole m, sin(pi t) = (-1)^m sin(pi r), which
    // keeps its precision where t is close to a sample.
    const double m = std::round(t);
    const double r = t - m;
    if (r == 0.0) {
        const bool inside = m >= 0 && m < static_cast<double>(samples.size());
        return inside ? samples[static_cast<size_t>(m)] : 0.0;
    }
    double sum = 0.0;
    for (size_t n = 0; n < samples.size(); ++n) {
        const double term = samples[n] / (t - static_cast<double>(n));
        sum += (n % 2 == 0) ? term : -term;
    }
    const double sine = std::fmod(std::fabs(m), 2.0) == 0.0 ? std::sin(pi * r) : -std::sin(pi * r);
    return sine / pi * sum;
}

double reference_true_peak(const std::vector<double>& samples) {
    if (samples.empty()) return 0.0;
    const std::vector<double> points = oversampled(samples);
    // The grid reaches a few samples past each end, where the reconstruction still rings;
    // the points before the first sample sit at the end of the periodic grid.
    const long margin = 16 * static_cast<long>(oversampling);
    const long first = -margin;
    const long last = static_cast<long>(samples.size() * oversampling) + margin;
    auto at = [&](long i) {
        const long fine = static_cast<long>(points.size());
        return points[static_cast<size_t>((i % fine + fine) % fine)];
    };
    std::vector<std::pair<double, long>> crests;
    for (long i = first; i <= last; ++i) {
        const double m = std::fabs(at(i));
        if (m > 0.0 && m >= std::fabs(at(i - 1)) && m > std::fabs(at(i + 1))) {
            crests.emplace_back(m, i);
        }
    }
    const size_t kept = std::min(crests.size(), refined_crests);
    std::partial_sort(crests.begin(), crests.begin() + static_cast<long>(kept), crests.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    double peak = 0.0;
    for (size_t c = 0; c < kept; ++c) {
        peak =
            std::max(peak, refine(samples, static_cast<double>(crests[c].second) / oversampling));
    }
    return peak;
}
