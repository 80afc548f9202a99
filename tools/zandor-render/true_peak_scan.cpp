#include "true_peak_scan.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

float true_peak_scan_portable(const float* x, int64_t frames, const float* coefficients,
                              float peak) {
    for (int64_t i = 0; i < frames; ++i) {
        for (int p = 0; p < true_peak_phases; ++p) {
            float y = 0.0f;
            for (int k = 0; k < true_peak_taps; ++k)
                y += coefficients[k * true_peak_phases + p] * x[i - k];
            const float m = std::fabs(y);
            if (m > peak) peak = m;
        }
    }
    return peak;
}

#if defined(__SSE2__)

// Two samples in flight, each with its eight phases in two vectors: four independent sums,
// so that the additions of one wait for none of the others.
float true_peak_scan_sse2(const float* x, int64_t frames, const float* coefficients, float peak) {
    static_assert(true_peak_phases == 8, "two vectors of four phases");
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 top = _mm_set1_ps(peak);
    int64_t i = 0;
    for (; i + 2 <= frames; i += 2) {
        __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps();
        __m128 b0 = _mm_setzero_ps(), b1 = _mm_setzero_ps();
        for (int k = 0; k < true_peak_taps; ++k) {
            const __m128 h0 = _mm_loadu_ps(coefficients + k * 8);
            const __m128 h1 = _mm_loadu_ps(coefficients + k * 8 + 4);
            const __m128 xa = _mm_set1_ps(x[i - k]);
            const __m128 xb = _mm_set1_ps(x[i + 1 - k]);
            a0 = _mm_add_ps(a0, _mm_mul_ps(h0, xa));
            a1 = _mm_add_ps(a1, _mm_mul_ps(h1, xa));
            b0 = _mm_add_ps(b0, _mm_mul_ps(h0, xb));
            b1 = _mm_add_ps(b1, _mm_mul_ps(h1, xb));
        }
        // max(candidate, top) keeps top where the candidate is NaN.
        top = _mm_max_ps(_mm_and_ps(a0, magnitude), top);
        top = _mm_max_ps(_mm_and_ps(a1, magnitude), top);
        top = _mm_max_ps(_mm_and_ps(b0, magnitude), top);
        top = _mm_max_ps(_mm_and_ps(b1, magnitude), top);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, top);
    for (float lane : lanes)
        if (lane > peak) peak = lane;
    return true_peak_scan_portable(x + i, frames - i, coefficients, peak);
}

#else

float true_peak_scan_sse2(const float* x, int64_t frames, const float* coefficients, float peak) {
    return true_peak_scan_portable(x, frames, coefficients, peak);
}

#endif

#if !defined(ZANDOR_RENDER_AVX2)
float true_peak_scan_avx2(const float* x, int64_t frames, const float* coefficients, float peak) {
    return true_peak_scan_sse2(x, frames, coefficients, peak);
}
#endif

true_peak_scan_fn best_true_peak_scan() {
#if defined(ZANDOR_RENDER_AVX2)
    if (__builtin_cpu_supports("avx2")) return true_peak_scan_avx2;
#endif
    return true_peak_scan_sse2;
}
