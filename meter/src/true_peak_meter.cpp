#include "true_peak_meter.h"

#include <algorithm>
#include <cmath>

#include "meter/stereo_lanes.h"
#include "sample_peak.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int length = true_peak_taps * true_peak_phases;
// The Kaiser window's shape, a balance: a larger beta ripples less in the passband (at 6, no
// sine reads more than 0.02 dB high) but cuts off more gently, so sines near 0.45 times the
// rate read lower (at 6, up to 0.08 dB at some frequencies and phases).
constexpr double kaiser_beta = 6.0;

double bessel_i0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// Row k, lane p: the weight of the sample k places back for the point p / phases of a sample
// after the one true_peak_delay places back. Phase 0 is that sample itself.
std::vector<float> design_coefficients() {
    std::vector<double> h(length);
    const double centre = length / 2.0;
    for (int m = 0; m < length; ++m) {
        const double t = (m - centre) / true_peak_phases;  // in samples
        const double u = (m - centre) / centre;            // -1 to 1 across the window
        const double window =
            bessel_i0(kaiser_beta * std::sqrt(std::max(0.0, 1.0 - u * u))) / bessel_i0(kaiser_beta);
        const double sinc = t == 0.0 ? 1.0 : std::sin(pi * t) / (pi * t);
        h[static_cast<size_t>(m)] = sinc * window;
    }
    // Every phase passes a constant unchanged.
    std::vector<float> rows(length);
    for (int p = 0; p < true_peak_phases; ++p) {
        double sum = 0.0;
        for (int k = 0; k < true_peak_taps; ++k)
            sum += h[static_cast<size_t>(k * true_peak_phases + p)];
        for (int k = 0; k < true_peak_taps; ++k) {
            const size_t m = static_cast<size_t>(k * true_peak_phases + p);
            rows[m] = static_cast<float>(h[m] / sum);
        }
    }
    return rows;
}

}  // namespace

true_peak_meter::true_peak_meter(int channels)
    : channels_(channels),
      coefficients_(design_coefficients()),
      lanes_(static_cast<size_t>(channels * (history + chunk_frames)), 0.0f),
      scan_(best_true_peak_scan()) {
    for (int p = 0; p < true_peak_phases; ++p) {
        float gain = 0.0f;
        for (int k = 0; k < true_peak_taps; ++k)
            gain += std::fabs(coefficients_[static_cast<size_t>(k * true_peak_phases + p)]);
        largest_gain_ = std::max(largest_gain_, gain);
    }
    // A crest read from a parabola stands at most an eighth above the point it is read around;
    // rounding in the scan's sums may reach a hair further.
    largest_gain_ *= 1.125f * 1.0001f;
}

void true_peak_meter::add(const float* interleaved, int64_t frames) {
    while (frames > 0) {
        const int64_t n = std::min(frames, chunk_frames);
        if (channels_ == 2) {
            split_stereo(interleaved, n, &lanes_[history],
                         &lanes_[static_cast<size_t>(2 * history + chunk_frames)]);
        } else {
            for (int c = 0; c < channels_; ++c) {
                float* lane = &lanes_[static_cast<size_t>(c * (history + chunk_frames) + history)];
                for (int64_t f = 0; f < n; ++f) lane[f] = interleaved[f * channels_ + c];
            }
        }
        for (int c = 0; c < channels_; ++c) {
            float* lane = &lanes_[static_cast<size_t>(c * (history + chunk_frames))];
            // No point between samples exceeds the largest nearby sample by more than the
            // filter's gain for the worst signs, so stretches well below the peak so far
            // cannot raise it and are passed over.
            for (int64_t s = 0; s < n; s += stretch_frames) {
                const int64_t m = std::min(stretch_frames, n - s);
                const float nearby = sample_peak(lane + s, m + history, 0.0f);
                if (nearby * largest_gain_ > peak_)
                    peak_ = scan_(lane + history + s, m, coefficients_.data(), peak_);
            }
            std::copy(lane + n, lane + n + history, lane);
        }
        interleaved += n * channels_;
        frames -= n;
    }
}

double true_peak_meter::peak() const {
    // The filter answers half its length late: the last frames' crests come out only once
    // enough frames follow them.
    float tail_peak = peak_;
    std::vector<float> tail(static_cast<size_t>(history + true_peak_delay), 0.0f);
    for (int c = 0; c < channels_; ++c) {
        const float* lane = &lanes_[static_cast<size_t>(c * (history + chunk_frames))];
        std::copy(lane, lane + history, tail.begin());
        std::fill(tail.begin() + history, tail.end(), 0.0f);
        tail_peak = scan_(tail.data() + history, true_peak_delay, coefficients_.data(), tail_peak);
    }
    return tail_peak;
}
