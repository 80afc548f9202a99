#include "audio/sample_quantiser.h"

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// Adding and taking away 1.5 × 2^52 leaves a double rounded to the nearest integer, ties to
// even, as nearbyint does in the default rounding mode, but without a library call, so that
// the loop stays a few instructions a sample. Exact for magnitudes below 2^51, which the
// clamp to the format's integers guarantees.
constexpr double round_to_integer = 0x1.8p52;

#if defined(__SSE2__)
// Without dither and at 24 bits or fewer, four samples per register in single precision:
// scaling by a power of two, the clamp to whole steps and rounding (to nearest, ties to even)
// are all exact there, as in the scalar loop, so the words and the decoded floats are the
// same. Answers how many samples it took.
int64_t quantise_singles(const float* in, int32_t* words, float* decoded, int64_t samples,
                         double scale_d, int64_t lowest, int64_t highest, double step_d,
                         int shift_bits) {
    const __m128 scale = _mm_set1_ps(static_cast<float>(scale_d));
    const __m128 low = _mm_set1_ps(static_cast<float>(lowest));
    const __m128 high = _mm_set1_ps(static_cast<float>(highest));
    const __m128 step = _mm_set1_ps(static_cast<float>(step_d));
    const __m128i shift = _mm_cvtsi32_si128(shift_bits);
    int64_t i = 0;
    for (; i + 4 <= samples; i += 4) {
        __m128 x = _mm_mul_ps(_mm_loadu_ps(in + i), scale);
        x = _mm_and_ps(x, _mm_cmpord_ps(x, x));  // NaN: 0
        x = _mm_min_ps(_mm_max_ps(x, low), high);
        const __m128i q = _mm_cvtps_epi32(x);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), _mm_sll_epi32(q, shift));
        _mm_storeu_ps(decoded + i, _mm_mul_ps(_mm_cvtepi32_ps(q), step));
    }
    return i;
}

// Without dither, two samples per register: the same operations as the scalar loop, in the
// same order, so the words and the decoded floats are the same bits. Starts at sample `i`;
// answers where it stopped.
int64_t quantise_doubles(const float* in, int32_t* words, float* decoded, int64_t samples,
                         int64_t i, double scale_d, double lowest, double highest, double step_d,
                         int shift_bits) {
    const __m128d scale = _mm_set1_pd(scale_d);
    const __m128d low = _mm_set1_pd(lowest);
    const __m128d high = _mm_set1_pd(highest);
    const __m128d to_integer = _mm_set1_pd(round_to_integer);
    const __m128d step = _mm_set1_pd(step_d);
    const __m128i shift = _mm_cvtsi32_si128(shift_bits);
    auto pair = [&](__m128 two) {
        __m128d x = _mm_mul_pd(_mm_cvtps_pd(two), scale);
        x = _mm_and_pd(x, _mm_cmpord_pd(x, x));  // NaN: 0
        // The bounds are whole steps within 32 bits, so the conversion is exact.
        x = _mm_min_pd(_mm_max_pd(x, low), high);
        const __m128d rounded = _mm_sub_pd(_mm_add_pd(x, to_integer), to_integer);
        return std::make_pair(_mm_cvttpd_epi32(rounded), _mm_cvtpd_ps(_mm_mul_pd(rounded, step)));
    };
    for (; i + 4 <= samples; i += 4) {
        const __m128 four = _mm_loadu_ps(in + i);
        const auto [q_low, d_low] = pair(four);
        const auto [q_high, d_high] = pair(_mm_movehl_ps(four, four));
        const __m128i q = _mm_unpacklo_epi64(q_low, q_high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), _mm_sll_epi32(q, shift));
        _mm_storeu_ps(decoded + i, _mm_movelh_ps(d_low, d_high));
    }
    return i;
}
#endif

}  // namespace

void sample_quantiser::quantise(const float* in, int32_t* words, float* decoded, int64_t samples) {
    const double lowest = static_cast<double>(lowest_);
    const double highest = static_cast<double>(highest_);
    const double step = 1.0 / scale_;  // exact: the scale is a power of two
    const bool dither = dither_ == dither_kind::tpdf;
    int64_t i = 0;
#if defined(__SSE2__)
    if (!dither && shift_ >= 8)
        i = quantise_singles(in, words, decoded, samples, scale_, lowest_, highest_, step, shift_);
    if (!dither)
        i = quantise_doubles(in, words, decoded, samples, i, scale_, lowest, highest, step, shift_);
#endif
    for (; i < samples; ++i) {
        double x = static_cast<double>(in[i]) * scale_;
        if (dither) x += next_dither();
        // NaN becomes silence rather than whatever the conversion makes of it. Clamping to
        // whole steps first means rounding cannot carry a sample past the bound.
        x = x != x ? 0.0 : std::clamp(x, lowest, highest);
        const double rounded = (x + round_to_integer) - round_to_integer;
        const auto q = static_cast<int64_t>(rounded);
        words[i] = static_cast<int32_t>(static_cast<uint32_t>(q) << shift_);
        decoded[i] = static_cast<float>(rounded * step);
    }
}
