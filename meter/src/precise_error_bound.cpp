#include "precise_error_bound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t block_frames = 64;
// e: the eighth difference, centred, divided by 2^8 so that its gain at f cycles per sample
// is sin^8(pi f).
constexpr int band_half = 4;
constexpr double band_taps[2 * band_half + 1] = {1, -8, 28, -56, 70, -56, 28, -8, 1};

// Rounding in the stages' float sums: measured on full-scale noise at up to 1.3e-6 of full
// scale for each stage's point, given four times both together.
constexpr double rounding_room = 1e-5;

// g at one phase, by sample offset from the interval's first sample, with e's reach either
// side; and the two norms of it.
void add_norms(const float* precise, const float* long_stage, double& pass, double& band) {
    constexpr int64_t long_half = long_peak::half_taps;
    constexpr int64_t precise_half = precise_peak::half_taps;
    constexpr int64_t span = 2 * (long_half + band_half);
    std::vector<double> g(static_cast<size_t>(span), 0.0);
    // Offset n sits at g[n + long_half + band_half - 1]; each stage's weights start at
    // offset 1 - half_taps.
    for (int64_t k = 0; k < 2 * long_half; ++k)
        g[static_cast<size_t>(k + band_half)] += long_stage[k];
    for (int64_t k = 0; k < 2 * precise_half; ++k)
        g[static_cast<size_t>(k + long_half - precise_half + band_half)] -= precise[k];
    double g_norm = 0.0, pass_norm = 0.0;
    for (int64_t n = 0; n < span; ++n) {
        double passed = g[static_cast<size_t>(n)];
        for (int i = -band_half; i <= band_half; ++i)
            if (n + i >= 0 && n + i < span)
                passed -= band_taps[i + band_half] / 256.0 * g[static_cast<size_t>(n + i)];
        g_norm += std::fabs(g[static_cast<size_t>(n)]);
        pass_norm += std::fabs(passed);
    }
    pass = std::max(pass, pass_norm);
    band = std::max(band, g_norm);
}

}  // namespace

precise_error_bound::precise_error_bound(const precise_peak& precise, const long_peak& long_stage) {
    double pass = 0.0, band = 0.0;
    // Phase 0 is the sample itself in both stages; the points around() reads lie at every
    // other phase.
    for (int p = 1; p < precise_peak::phases; ++p)
        add_norms(precise.weights(p), long_stage.weights(p), pass, band);
    pass_norm_ = static_cast<float>(pass + rounding_room);
    band_norm_ = static_cast<float>(band * (1.0 + rounding_room));
}

precise_error_bound::lane_levels::lane_levels(const float* lane, int64_t length) {
    const size_t blocks = static_cast<size_t>((length + block_frames - 1) / block_frames);
    level_.assign(blocks, 0.0f);
    band_.assign(blocks, 0.0f);
    for (int64_t n = 0; n < length; ++n) {
        float& level = level_[static_cast<size_t>(n / block_frames)];
        level = std::max(level, std::fabs(lane[n]));
    }
    float taps[2 * band_half + 1];
    for (int i = 0; i <= 2 * band_half; ++i) taps[i] = static_cast<float>(band_taps[i] / 256.0);
    for (int64_t n = band_half; n + band_half < length; ++n) {
        float sum = 0.0f;
        for (int i = 0; i <= 2 * band_half; ++i) sum += taps[i] * lane[n - band_half + i];
        float& band = band_[static_cast<size_t>(n / block_frames)];
        band = std::max(band, std::fabs(sum));
    }
}

float precise_error_bound::at(const lane_levels& levels, int64_t j) const {
    // Both stages read from lane[j - long half_taps] to lane[j + 1 + long half_taps], and the
    // points beside the interval one sample further; e reads band_half beyond that.
    const size_t first = static_cast<size_t>((j - long_peak::half_taps) / block_frames);
    const size_t last = static_cast<size_t>((j + long_peak::half_taps + 1) / block_frames);
    float level = 0.0f, band = 0.0f;
    for (size_t b = first; b <= last; ++b) {
        level = std::max(level, levels.level_[b]);
        band = std::max(band, levels.band_[b]);
    }
    return pass_norm_ * level + band_norm_ * band;
}
