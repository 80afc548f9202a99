// The AVX2 version of the true-peak scan. This file alone is built for AVX2, and its code
// runs only once the processor has reported AVX2; it uses nothing but intrinsics, so that no
// inline library function compiled here can be picked by the linker for the other files.
#include "true_peak_scan.h"

#if defined(ZANDOR_RENDER_AVX2) && defined(__AVX2__)

#include <immintrin.h>

// Four samples in flight, each with its eight phases in one vector: four independent sums.
float true_peak_scan_avx2(const float* x, int64_t frames, const float* coefficients, float peak) {
    static_assert(true_peak_phases == 8, "one vector of eight phases");
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    __m256 top = _mm256_set1_ps(peak);
    int64_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m256 a = _mm256_setzero_ps(), b = _mm256_setzero_ps();
        __m256 c = _mm256_setzero_ps(), d = _mm256_setzero_ps();
        for (int k = 0; k < true_peak_taps; ++k) {
            const __m256 h = _mm256_loadu_ps(coefficients + k * 8);
            a = _mm256_add_ps(a, _mm256_mul_ps(h, _mm256_broadcast_ss(x + i - k)));
            b = _mm256_add_ps(b, _mm256_mul_ps(h, _mm256_broadcast_ss(x + i + 1 - k)));
            c = _mm256_add_ps(c, _mm256_mul_ps(h, _mm256_broadcast_ss(x + i + 2 - k)));
            d = _mm256_add_ps(d, _mm256_mul_ps(h, _mm256_broadcast_ss(x + i + 3 - k)));
        }
        // max(candidate, top) keeps top where the candidate is NaN.
        top = _mm256_max_ps(_mm256_and_ps(a, magnitude), top);
        top = _mm256_max_ps(_mm256_and_ps(b, magnitude), top);
        top = _mm256_max_ps(_mm256_and_ps(c, magnitude), top);
        top = _mm256_max_ps(_mm256_and_ps(d, magnitude), top);
    }
    const __m128 half = _mm_max_ps(_mm256_castps256_ps128(top), _mm256_extractf128_ps(top, 1));
    const __m128 quarter = _mm_max_ps(half, _mm_movehl_ps(half, half));
    const __m128 one = _mm_max_ss(quarter, _mm_shuffle_ps(quarter, quarter, 1));
    const float lanes_peak = _mm_cvtss_f32(one);
    if (lanes_peak > peak) peak = lanes_peak;
    return true_peak_scan_sse2(x + i, frames - i, coefficients, peak);
}

#endif
