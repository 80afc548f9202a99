#include "measure/gain_reduction_meter.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

double to_db(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

constexpr double silenced_db = 120.0;      // the reduction of a frame that came out as 0
constexpr double measurable_input = 1e-4;  // -80 dBFS
// An infinite input frame has no reduction to measure: it is left out, as silence is.
constexpr double largest_input = 3.4028234663852886e38;

// A frame that comes out all but silenced (as an effect may make the frames around a NaN it
// refused) counts as silenced, not as a reduction of hundreds of dB.
constexpr double silenced_ratio = 1e6;  // silenced_db as a ratio

double at_least_one(double ratio) {
#if defined(__SSE2__)
    return _mm_cvtsd_f64(
        _mm_min_sd(_mm_max_sd(_mm_set_sd(ratio), _mm_set_sd(1.0)), _mm_set_sd(silenced_ratio)));
#else
    return ratio > 1.0 ? std::min(ratio, silenced_ratio) : 1.0;
#endif
}

}  // namespace

gain_reduction_meter::gain_reduction_meter(double reference_gain_db)
    : reference_gain_(std::pow(10.0, reference_gain_db / 20.0)) {}

void gain_reduction_meter::add_frames(const float* input, const float* output, int64_t frames,
                                      int channels) {
    const int64_t done = channels == 2 ? add_stereo(input, output, frames) : 0;
    // The sums stay in registers for the whole run.
    double largest_ratio = largest_ratio_;
    double product = product_;
    int64_t measured = measured_;
    int64_t silenced = silenced_;
    for (int64_t f = done; f < frames; ++f) {
        const float* input_frame = input + f * channels;
        float in = std::fabs(input_frame[0]);
        int loudest = 0;
        for (int c = 1; c < channels; ++c) {
            if (std::fabs(input_frame[c]) > in) {
                in = std::fabs(input_frame[c]);
                loudest = c;
            }
        }
        if (!(in >= measurable_input && in <= largest_input)) continue;
        const double out = std::fabs(static_cast<double>(output[f * channels + loudest]));
        const double expected = in * reference_gain_;
        ++measured;
        if (!(out > 0.0)) {
            ++silenced;
            continue;
        }
        // Rounding makes an untouched frame come out a hair above or below; that is no
        // reduction. (Taken without a branch: which way the rounding goes is a coin toss
        // that the processor could not predict.)
        const double ratio = at_least_one(expected / out);
        largest_ratio = std::max(largest_ratio, ratio);
        product *= ratio;
        // One ratio of a finite frame stays below 2^400, so the product never overflows.
        if (product > 0x1p512) product = renormalise(product);
    }
    largest_ratio_ = largest_ratio;
    product_ = product;
    measured_ = measured;
    silenced_ = silenced;
}

#if defined(__SSE2__)

// The frames above, four at a time and without a branch on which channel is louder (another
// coin toss): the same arithmetic on each frame. A frame that is not measured multiplies the
// product by exactly 1, and the product takes the frames' ratios one by one in their order,
// so its bits are those of the loop above.
int64_t gain_reduction_meter::add_stereo(const float* input, const float* output, int64_t frames) {
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128d gain = _mm_set1_pd(reference_gain_);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d threshold = _mm_set1_pd(measurable_input);
    const __m128d finite = _mm_set1_pd(largest_input);
    const __m128d zero = _mm_setzero_pd();
    __m128d largest = _mm_set1_pd(largest_ratio_);
    double product = product_;
    int64_t measured = measured_;
    int64_t silenced = silenced_;
    // The louder channel's magnitude of four frames, and the output on that channel.
    auto louder = [&](const float* in, const float* out, __m128& in_louder, __m128& out_louder) {
        const __m128 a = _mm_and_ps(_mm_loadu_ps(in), magnitude);
        const __m128 b = _mm_and_ps(_mm_loadu_ps(in + 4), magnitude);
        const __m128 left = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 right = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
        const __m128 c = _mm_and_ps(_mm_loadu_ps(out), magnitude);
        const __m128 d = _mm_and_ps(_mm_loadu_ps(out + 4), magnitude);
        const __m128 out_left = _mm_shuffle_ps(c, d, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 out_right = _mm_shuffle_ps(c, d, _MM_SHUFFLE(3, 1, 3, 1));
        // Right only where it is strictly louder: a tie, or a NaN, keeps the left.
        const __m128 right_louder = _mm_cmpgt_ps(right, left);
        in_louder = _mm_or_ps(_mm_and_ps(right_louder, right), _mm_andnot_ps(right_louder, left));
        out_louder =
            _mm_or_ps(_mm_and_ps(right_louder, out_right), _mm_andnot_ps(right_louder, out_left));
    };
    auto pair = [&](__m128 in_louder, __m128 out_louder) {
        const __m128d in = _mm_cvtps_pd(in_louder);
        const __m128d out = _mm_cvtps_pd(out_louder);
        const __m128d counted = _mm_and_pd(_mm_cmpge_pd(in, threshold), _mm_cmple_pd(in, finite));
        const __m128d positive = _mm_cmpgt_pd(out, zero);
        const int counted_bits = _mm_movemask_pd(counted);
        const int silenced_bits = _mm_movemask_pd(_mm_andnot_pd(positive, counted));
        measured += (counted_bits & 1) + (counted_bits >> 1);
        silenced += (silenced_bits & 1) + (silenced_bits >> 1);
        // max(ratio, 1) answers 1 where the ratio is NaN, as at_least_one does.
        const __m128d ratio = _mm_min_pd(_mm_max_pd(_mm_div_pd(_mm_mul_pd(in, gain), out), one),
                                         _mm_set1_pd(silenced_ratio));
        const __m128d used = _mm_and_pd(counted, positive);
        const __m128d taken = _mm_or_pd(_mm_and_pd(used, ratio), _mm_andnot_pd(used, one));
        largest = _mm_max_pd(largest, taken);
        product *= _mm_cvtsd_f64(taken);
        if (product > 0x1p512) product = renormalise(product);
        product *= _mm_cvtsd_f64(_mm_unpackhi_pd(taken, taken));
        if (product > 0x1p512) product = renormalise(product);
    };
    int64_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        __m128 in_louder, out_louder;
        louder(input + 2 * f, output + 2 * f, in_louder, out_louder);
        pair(in_louder, out_louder);
        pair(_mm_movehl_ps(in_louder, in_louder), _mm_movehl_ps(out_louder, out_louder));
    }
    alignas(16) double lanes[2];
    _mm_store_pd(lanes, largest);
    largest_ratio_ = std::max({largest_ratio_, lanes[0], lanes[1]});
    product_ = product;
    measured_ = measured;
    silenced_ = silenced;
    return f;
}

#else

int64_t gain_reduction_meter::add_stereo(const float*, const float*, int64_t) {
    return 0;
}

#endif

double gain_reduction_meter::renormalise(double product) {
    int exponent = 0;
    const double mantissa = std::frexp(product, &exponent);
    product_exponent_ += exponent;
    return mantissa;
}

double gain_reduction_meter::largest_db() const {
    return std::max(to_db(largest_ratio_), silenced_ > 0 ? silenced_db : 0.0);
}

double gain_reduction_meter::average_db() const {
    if (measured_ == 0) return 0.0;
    const double sum_db = to_db(product_) + static_cast<double>(product_exponent_) * to_db(2.0) +
                          static_cast<double>(silenced_) * silenced_db;
    return sum_db / static_cast<double>(measured_);
}
