#include "true_peak_scan.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

void magnitudes(const float* x, const float* coefficients, float* out) {
    for (int p = 0; p < true_peak_phases; ++p) {
        float y = 0.0f;
        for (int k = 0; k < true_peak_taps; ++k)
            y = y + coefficients[k * true_peak_phases + p] * x[-k];
        out[p] = std::fabs(y);
    }
}

}  // namespace

float true_peak_scan_portable(const float* x, int64_t frames, const float* coefficients,
                              float peak) {
    float before[true_peak_phases];
    float now[true_peak_phases];
    magnitudes(x - 1, coefficients, before);
    for (int64_t i = 0; i < frames; ++i) {
        magnitudes(x + i, coefficients, now);
        for (int p = 0; p < true_peak_phases; ++p) {
            const float left = p == 0 ? before[true_peak_phases - 1] : now[p - 1];
            const float right =
                p == true_peak_phases - 1 ? std::fabs(x[i + 1 - true_peak_delay]) : now[p + 1];
            const float m = true_peak_crest(left, now[p], right);
            if (m > peak) peak = m;
        }
        std::copy(now, now + true_peak_phases, before);
    }
    return peak;
}

#if defined(__SSE2__)

namespace {

// [carry lane 3, v0, v1, v2]
__m128 shift_up(__m128 v, __m128 carry) {
    return _mm_move_ss(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 1, 0, 3)),
                       _mm_shuffle_ps(carry, carry, _MM_SHUFFLE(3, 3, 3, 3)));
}

// [v1, v2, v3, carry lane 0]
__m128 shift_down(__m128 v, __m128 carry) {
    const __m128 ends = _mm_shuffle_ps(v, carry, _MM_SHUFFLE(0, 0, 3, 3));  // v3 v3 c0 c0
    return _mm_shuffle_ps(v, ends, _MM_SHUFFLE(2, 0, 2, 1));
}

__m128 crest4(__m128 left, __m128 centre, __m128 right) {
    const __m128 spread = _mm_add_ps(_mm_sub_ps(centre, left), _mm_sub_ps(centre, right));
    const __m128 slope = _mm_sub_ps(right, left);
    const __m128 raised = _mm_add_ps(
        centre, _mm_div_ps(_mm_mul_ps(slope, slope), _mm_mul_ps(spread, _mm_set1_ps(8.0f))));
    const __m128 rising =
        _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(centre, left), _mm_cmpge_ps(centre, right)),
                   _mm_cmpgt_ps(spread, _mm_setzero_ps()));
    return _mm_or_ps(_mm_and_ps(rising, raised), _mm_andnot_ps(rising, centre));
}

}  // namespace

// One sample at a time, its eight phases in two vectors of four.
float true_peak_scan_sse2(const float* x, int64_t frames, const float* coefficients, float peak) {
    static_assert(true_peak_phases == 8, "two vectors of four phases");
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    auto interpolate = [&](const float* at, __m128& low, __m128& high) {
        __m128 a = _mm_setzero_ps(), b = _mm_setzero_ps();
        for (int k = 0; k < true_peak_taps; ++k) {
            const __m128 xk = _mm_set1_ps(at[-k]);
            a = _mm_add_ps(a, _mm_mul_ps(_mm_loadu_ps(coefficients + k * 8), xk));
            b = _mm_add_ps(b, _mm_mul_ps(_mm_loadu_ps(coefficients + k * 8 + 4), xk));
        }
        low = _mm_and_ps(a, magnitude);
        high = _mm_and_ps(b, magnitude);
    };
    __m128 top = _mm_set1_ps(peak);
    __m128 before_low, before_high;
    interpolate(x - 1, before_low, before_high);
    for (int64_t i = 0; i < frames; ++i) {
        __m128 low, high;
        interpolate(x + i, low, high);
        const __m128 next = _mm_set1_ps(std::fabs(x[i + 1 - true_peak_delay]));
        // max(candidate, top) keeps top where the candidate is NaN.
        top = _mm_max_ps(crest4(shift_up(low, before_high), low, shift_down(low, high)), top);
        top = _mm_max_ps(crest4(shift_up(high, low), high, shift_down(high, next)), top);
        before_high = high;
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, top);
    for (float lane : lanes)
        if (lane > peak) peak = lane;
    return peak;
}

#else

float true_peak_scan_sse2(const float* x, int64_t frames, const float* coefficients, float peak) {
    return true_peak_scan_portable(x, frames, coefficients, peak);
}

#endif

#if !defined(ZANDOR_METER_AVX2)
float true_peak_scan_avx2(const float* x, int64_t frames, const float* coefficients, float peak) {
    return true_peak_scan_sse2(x, frames, coefficients, peak);
}
#endif

true_peak_scan_fn best_true_peak_scan() {
#if defined(ZANDOR_METER_AVX2)
    if (__builtin_cpu_supports("avx2")) return true_peak_scan_avx2;
#endif
    return true_peak_scan_sse2;
}
