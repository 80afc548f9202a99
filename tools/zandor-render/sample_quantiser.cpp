#include "sample_quantiser.h"

#include <algorithm>
#include <cmath>

sample_quantiser::sample_quantiser(int bits, dither_kind dither, double bound)
    : shift_(32 - bits), scale_(std::ldexp(1.0, bits - 1)), dither_(dither) {
    const int64_t full = static_cast<int64_t>(scale_);
    // The largest step at or below the bound: rounding may not carry a sample over it.
    const int64_t steps =
        bound >= 1.0 ? full : static_cast<int64_t>(std::floor(std::max(0.0, bound) * scale_));
    highest_ = std::min(full - 1, steps);
    lowest_ = -std::min(full, steps);
}

double sample_quantiser::next_dither() {
    // xorshift64*: two uniform values in [0, 1) make a triangular one in (-1, 1) steps.
    auto uniform = [this] {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<double>((state_ * 0x2545F4914F6CDD1Dull) >> 11) * 0x1.0p-53;
    };
    const double a = uniform();
    return a - uniform();
}

void sample_quantiser::quantise(const float* in, int32_t* words, float* decoded, int64_t samples) {
    for (int64_t i = 0; i < samples; ++i) {
        double x = static_cast<double>(in[i]) * scale_;
        if (dither_ == dither_kind::tpdf) x += next_dither();
        // NaN becomes silence rather than whatever the conversion makes of it.
        const double rounded = std::isnan(x) ? 0.0 : std::nearbyint(x);
        const int64_t q = static_cast<int64_t>(
            std::clamp(rounded, static_cast<double>(lowest_), static_cast<double>(highest_)));
        words[i] = static_cast<int32_t>(static_cast<uint32_t>(q) << shift_);
        decoded[i] = static_cast<float>(static_cast<double>(q) / scale_);
    }
}
