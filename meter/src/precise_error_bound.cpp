#include "precise_error_bound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int64_t block_frames = 64;

// Rounding in the stages' float sums: measured on full-scale noise at up to 1.3e-6 of full
// scale for each stage's point, given four times both together.
constexpr double rounding_room = 1e-5;

// The eighth difference, centred, divided by 2^8 so that its gain at f cycles per sample is
// sin^8(pi f).
std::vector<double> eighth_difference() {
    std::vector<double> e{1, -8, 28, -56, 70, -56, 28, -8, 1};
    for (double& w : e) w /= 256.0;
    return e;
}

double bessel_i0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 60 && term > sum * 1e-17; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// One minus a Kaiser-windowed low-pass cut at 0.475 times the rate: within 2e-5 of 0 up to
// 0.46 times the rate and of 1 from 0.485 on, where g lives.
std::vector<double> steep_high_pass() {
    constexpr int half = 150;
    constexpr double cut = 0.475, beta = 9.0;
    std::vector<double> e(2 * half + 1);
    for (int k = -half; k <= half; ++k) {
        const double u = static_cast<double>(k) / (half + 1);
        const double window = bessel_i0(beta * std::sqrt(1.0 - u * u)) / bessel_i0(beta);
        const double low = k == 0 ? 2.0 * cut : std::sin(2.0 * pi * cut * k) / (pi * k);
        e[static_cast<size_t>(k + half)] = (k == 0 ? 1.0 : 0.0) - low * window;
    }
    return e;
}

// g at one phase, by sample offset, with e's reach either side; and its two norms.
void add_norms(const float* precise, const float* long_stage, const std::vector<double>& e,
               double& pass, double& band) {
    constexpr int64_t long_half = long_peak::half_taps;
    constexpr int64_t precise_half = precise_peak::half_taps;
    const int64_t e_half = static_cast<int64_t>(e.size() / 2);
    const int64_t span = 2 * (long_half + e_half);
    std::vector<double> g(static_cast<size_t>(span), 0.0);
    // Each stage's weights start at offset 1 - half_taps; the long stage's first sits at e_half.
    for (int64_t k = 0; k < 2 * long_half; ++k) g[static_cast<size_t>(k + e_half)] += long_stage[k];
    for (int64_t k = 0; k < 2 * precise_half; ++k)
        g[static_cast<size_t>(k + long_half - precise_half + e_half)] -= precise[k];
    double g_norm = 0.0, pass_norm = 0.0;
    for (int64_t n = 0; n < span; ++n) {
        double passed = g[static_cast<size_t>(n)];
        for (int64_t i = std::max(-e_half, -n); i <= e_half && n + i < span; ++i)
            passed -= e[static_cast<size_t>(i + e_half)] * g[static_cast<size_t>(n + i)];
        g_norm += std::fabs(g[static_cast<size_t>(n)]);
        pass_norm += std::fabs(passed);
    }
    pass = std::max(pass, pass_norm);
    band = std::max(band, g_norm);
}

}  // namespace

precise_error_bound::precise_error_bound(const precise_peak& precise, const long_peak& long_stage,
                                         split e)
    : e_(e == split::eighth_difference ? eighth_difference() : steep_high_pass()) {
    double pass = 0.0, band = 0.0;
    // Phase 0 is the sample itself in both stages; the points around() reads lie at every
    // other phase.
    for (int p = 1; p < precise_peak::phases; ++p)
        add_norms(precise.weights(p), long_stage.weights(p), e_, pass, band);
    // The float sums of e x, each of e's taps one after another, are off by at most
    // taps * 2^-24 * |e|_1 of the largest sample; the taps' own rounding to float adds 2^-24
    // of |e|_1.
    double e_norm = 0.0;
    for (double w : e_) e_norm += std::fabs(w);
    const double e_rounding = (static_cast<double>(e_.size()) + 1.0) * std::ldexp(e_norm, -24);
    pass_norm_ = static_cast<float>(pass + rounding_room + band * e_rounding);
    band_norm_ = static_cast<float>(band * (1.0 + rounding_room));
}

precise_error_bound::lane_levels::lane_levels(const precise_error_bound& bound, const float* lane,
                                              int64_t length) {
    const size_t blocks = static_cast<size_t>((length + block_frames - 1) / block_frames);
    level_.assign(blocks, 0.0f);
    band_.assign(blocks, 0.0f);
    for (int64_t n = 0; n < length; ++n) {
        float& level = level_[static_cast<size_t>(n / block_frames)];
        level = std::max(level, std::fabs(lane[n]));
    }
    // e x tap by tap over the whole lane, so that the sums run in vector lanes; their
    // rounding is in the bound's pass norm.
    const int64_t half = static_cast<int64_t>(bound.e_.size() / 2);
    if (length <= 2 * half) return;
    std::vector<float> sum(static_cast<size_t>(length - 2 * half), 0.0f);
    // Eight sums at a time, which the compiler runs in vector lanes.
    const size_t whole = sum.size() / 8 * 8;
    for (int64_t i = 0; i <= 2 * half; ++i) {
        const float w = static_cast<float>(bound.e_[static_cast<size_t>(i)]);
        const float* from = lane + i;
        for (size_t n = 0; n < whole; n += 8)
            for (size_t k = 0; k < 8; ++k) sum[n + k] += w * from[n + k];
        for (size_t n = whole; n < sum.size(); ++n) sum[n] += w * from[n];
    }
    for (size_t n = 0; n < sum.size(); ++n) {
        float& band = band_[(n + static_cast<size_t>(half)) / block_frames];
        band = std::max(band, std::fabs(sum[n]));
    }
}

float precise_error_bound::at(const lane_levels& levels, int64_t j) const {
    // Both stages read from lane[j - long half_taps] to lane[j + 1 + long half_taps]; e reads
    // its half beyond that, which `reach` leaves room for.
    const size_t first = static_cast<size_t>((j - long_peak::half_taps) / block_frames);
    const size_t last = static_cast<size_t>((j + long_peak::half_taps + 1) / block_frames);
    float level = 0.0f, band = 0.0f;
    for (size_t b = first; b <= last; ++b) {
        level = std::max(level, levels.level_[b]);
        band = std::max(band, levels.band_[b]);
    }
    return pass_norm_ * level + band_norm_ * band;
}
