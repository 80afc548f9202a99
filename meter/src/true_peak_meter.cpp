#include "true_peak_meter.h"

#include <algorithm>
#include <cmath>

#include "meter/stereo_lanes.h"
#include "sample_peak.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int length = true_peak_taps * true_peak_phases;
// The fast scan's Kaiser window: a gentle one, which ripples more in the passband but cuts off
// sharply, so that its shortfall near a peak stays small on tones near 0.46 times the rate and
// on noise alike (0.7 dB at most, against 2.6 dB at a beta of 6). Its reading high only makes
// the later stages run a little more often.
constexpr double kaiser_beta = 1.5;

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

const long_peak& shared_long_stage() {
    static const long_peak stage(precise_kaiser_beta);
    return stage;
}

const precise_error_bound& shared_bound(precise_error_bound::split e) {
    static const precise_error_bound smooth(precise_peak(precise_kaiser_beta), shared_long_stage(),
                                            precise_error_bound::split::eighth_difference);
    if (e == precise_error_bound::split::eighth_difference) return smooth;
    // Built on first need: its norms take a few tens of milliseconds, and programme rarely
    // asks for it.
    static const precise_error_bound steep(precise_peak(precise_kaiser_beta), shared_long_stage(),
                                           precise_error_bound::split::steep_high_pass);
    return steep;
}

}  // namespace

std::vector<float> true_peak_meter::fast_coefficients() {
    return design_coefficients();
}

true_peak_meter::true_peak_meter(int channels)
    : channels_(channels),
      coefficients_(design_coefficients()),
      medium_(medium_kaiser_beta),
      precise_(precise_kaiser_beta),
      lanes_(static_cast<size_t>(channels * (history + chunk_frames)), 0.0f),
      margin_(static_cast<float>(std::pow(10.0, fast_scan_margin_db / 20.0))),
      medium_margin_(static_cast<float>(std::pow(10.0, medium_margin_db / 20.0))),
      precise_margin_(static_cast<float>(std::pow(10.0, precise_margin_db / 20.0))),
      settled_gain_(static_cast<float>(std::pow(10.0, settled_db / 20.0))),
      long_(shared_long_stage()),
      smooth_bound_(shared_bound(precise_error_bound::split::eighth_difference)),
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

float true_peak_meter::settle(const float* lane, int64_t n, settling& lane_state, int64_t j,
                              int crest, float reading) const {
    const float* x = lane + j;
    if (!lane_state.smooth) lane_state.smooth.emplace(smooth_bound_, lane, history + n);
    float most = precise_.most_around(x, crest, smooth_bound_.at(*lane_state.smooth, j));
    if (most <= reading * settled_gain_) return most;
    // A lane that keeps the long stage running is most likely a tone too near half the rate
    // for the eighth difference: the steep bound costs less than a few more long readings.
    if (++lane_state.long_runs > steep_after) {
        const precise_error_bound& steep =
            shared_bound(precise_error_bound::split::steep_high_pass);
        if (!lane_state.steep) lane_state.steep.emplace(steep, lane, history + n);
        most = precise_.most_around(x, crest, steep.at(*lane_state.steep, j));
        if (most <= reading * settled_gain_) return most;
    }
    return long_.around(x, crest);
}

float true_peak_meter::scan(const float* lane, int64_t n, float peak) const {
    // Interval j runs from lane[j] to lane[j + 1]; the fast scan reads it as its sample
    // j + true_peak_delay.
    const int64_t first = history - lag;
    settling lane_state;
    for (int64_t s = 0; s < n; s += stretch_frames) {
        const int64_t m = std::min(stretch_frames, n - s);
        const float* x = lane + first + s;
        // No point of the fast scan exceeds the largest nearby sample by more than its gain
        // for the worst signs, so stretches that cannot come within the margin of the peak so
        // far are passed over.
        const float nearby = sample_peak(x - true_peak_taps, m + 2 * true_peak_taps, 0.0f);
        if (!(nearby * largest_gain_ > peak / margin_)) continue;
        // Then the stretch as a whole, its parts, and interval by interval: most stretches
        // hold nothing near the peak, and a scan costs less the longer it runs.
        if (!(scan_(x + true_peak_delay, m, coefficients_.data(), peak / margin_) > peak / margin_))
            continue;
        for (int64_t f = 0; f < m; f += flag_frames) {
            const float threshold = peak / margin_;
            const int64_t k = std::min(flag_frames, m - f);
            if (!(scan_(x + f + true_peak_delay, k, coefficients_.data(), threshold) > threshold))
                continue;
            // Each stage costs several times the one before.
            for (int64_t j = f; j < f + k; ++j) {
                const float below = peak / margin_;
                if (!(scan_(x + j + true_peak_delay, 1, coefficients_.data(), below) > below &&
                      medium_.interval_peak(x + j) * medium_margin_ > peak))
                    continue;
                int crest = 0;
                const float reading = precise_.interval_peak(x + j, &crest);
                if (reading * precise_margin_ > peak && crest > 0)
                    peak =
                        std::max(peak, settle(lane, n, lane_state, first + s + j, crest, reading));
            }
        }
    }
    return peak;
}

void true_peak_meter::add(const float* interleaved, int64_t frames) {
    while (frames > 0) {
        const int64_t n = std::min(frames, chunk_frames - pending_);
        if (channels_ == 2) {
            split_stereo(interleaved, n, lane(0) + history + pending_,
                         lane(1) + history + pending_);
        } else {
            for (int c = 0; c < channels_; ++c) {
                float* to = lane(c) + history + pending_;
                for (int64_t f = 0; f < n; ++f) to[f] = interleaved[f * channels_ + c];
            }
        }
        pending_ += n;
        interleaved += n * channels_;
        frames -= n;
        if (pending_ < chunk_frames) break;
        for (int c = 0; c < channels_; ++c) {
            peak_ = scan(lane(c), chunk_frames, peak_);
            std::copy(lane(c) + chunk_frames, lane(c) + chunk_frames + history, lane(c));
        }
        pending_ = 0;
    }
}

double true_peak_meter::peak() const {
    // The frames not yet measured, then silence long enough for the precise stage to reach
    // past the last of them and for the reconstruction's ringing after them to die down.
    constexpr int64_t ringing = 32;
    const int64_t n = pending_ + lag + ringing;
    std::vector<float> tail(static_cast<size_t>(history + n), 0.0f);
    float peak = peak_;
    for (int c = 0; c < channels_; ++c) {
        const float* from = &lanes_[static_cast<size_t>(c * (history + chunk_frames))];
        std::copy(from, from + history + pending_, tail.begin());
        peak = scan(tail.data(), n, peak);
    }
    return static_cast<double>(peak) * std::pow(10.0, reading_raised_db / 20.0);
}
