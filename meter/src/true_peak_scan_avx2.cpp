// The AVX2 version of the true-peak scan. This file alone is built for AVX2, and its code
// runs only once the processor has reported AVX2; it uses nothing but intrinsics, so that no
// inline library function compiled here can be picked by the linker for the other files.
#include "true_peak_scan.h"

#if defined(ZANDOR_METER_AVX2) && defined(__AVX2__)

#include <immintrin.h>

namespace {

__m256 crest8(__m256 left, __m256 centre, __m256 right) {
    const __m256 spread = _mm256_add_ps(_mm256_sub_ps(centre, left), _mm256_sub_ps(centre, right));
    const __m256 slope = _mm256_sub_ps(right, left);
    const __m256 raised = _mm256_add_ps(
        centre,
        _mm256_div_ps(_mm256_mul_ps(slope, slope), _mm256_mul_ps(spread, _mm256_set1_ps(8.0f))));
    const __m256 rising = _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(centre, left, _CMP_GE_OQ),
                                                      _mm256_cmp_ps(centre, right, _CMP_GE_OQ)),
                                        _mm256_cmp_ps(spread, _mm256_setzero_ps(), _CMP_GT_OQ));
    return _mm256_blendv_ps(centre, raised, rising);
}

}  // namespace

// Several samples in flight, each with its eight phases in one vector: independent sums.
float true_peak_scan_avx2(const float* x, int64_t frames, const float* coefficients, float peak) {
    static_assert(true_peak_phases == 8, "one vector of eight phases");
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256i up = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    const __m256i down = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 0);
    __m256 top = _mm256_set1_ps(peak);

    // The sample before, moved up one lane: lane 0 holds its last point, the left neighbour
    // of the next sample's first.
    __m256 before_up = _mm256_setzero_ps();
    {
        __m256 a = _mm256_setzero_ps();
        for (int k = 0; k < true_peak_taps; ++k)
            a = _mm256_add_ps(a, _mm256_mul_ps(_mm256_loadu_ps(coefficients + k * 8),
                                               _mm256_broadcast_ss(x - 1 - k)));
        before_up = _mm256_permutevar8x32_ps(_mm256_and_ps(a, magnitude), up);
    }
    auto visit = [&](__m256 sums, const float* at) {
        const __m256 now = _mm256_and_ps(sums, magnitude);
        const __m256 now_up = _mm256_permutevar8x32_ps(now, up);
        // A crest stands at most an eighth above the point it is read around: where no lane
        // could then pass its top, the crests need not be read (the answer is the same).
        if (_mm256_movemask_ps(
                _mm256_cmp_ps(_mm256_mul_ps(now, _mm256_set1_ps(1.13f)), top, _CMP_GT_OQ)) != 0) {
            const __m256 left = _mm256_blend_ps(now_up, before_up, 0x01);
            const __m256 next =
                _mm256_and_ps(_mm256_broadcast_ss(at + 1 - true_peak_delay), magnitude);
            const __m256 right = _mm256_blend_ps(_mm256_permutevar8x32_ps(now, down), next, 0x80);
            // max(candidate, top) keeps top where the candidate is NaN.
            top = _mm256_max_ps(crest8(left, now, right), top);
        }
        before_up = now_up;
    };

    int64_t i = 0;
    // Each sum is a chain of sixteen dependent additions: eight of them side by side keep
    // both adders busy where four would leave them waiting on the chains.
    for (; i + 8 <= frames; i += 8) {
        __m256 a = _mm256_setzero_ps(), b = a, c = a, d = a, e = a, f = a, g = a, h8 = a;
        for (int k = 0; k < true_peak_taps; ++k) {
            const __m256 h = _mm256_loadu_ps(coefficients + k * 8);
            const float* at = x + i - k;
            a = _mm256_add_ps(a, _mm256_mul_ps(h, _mm256_broadcast_ss(at)));
            b = _mm256_add_ps(b, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 1)));
            c = _mm256_add_ps(c, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 2)));
            d = _mm256_add_ps(d, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 3)));
            e = _mm256_add_ps(e, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 4)));
            f = _mm256_add_ps(f, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 5)));
            g = _mm256_add_ps(g, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 6)));
            h8 = _mm256_add_ps(h8, _mm256_mul_ps(h, _mm256_broadcast_ss(at + 7)));
        }
        visit(a, x + i);
        visit(b, x + i + 1);
        visit(c, x + i + 2);
        visit(d, x + i + 3);
        visit(e, x + i + 4);
        visit(f, x + i + 5);
        visit(g, x + i + 6);
        visit(h8, x + i + 7);
    }
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
        visit(a, x + i);
        visit(b, x + i + 1);
        visit(c, x + i + 2);
        visit(d, x + i + 3);
    }
    const __m128 half = _mm_max_ps(_mm256_castps256_ps128(top), _mm256_extractf128_ps(top, 1));
    const __m128 quarter = _mm_max_ps(half, _mm_movehl_ps(half, half));
    const __m128 one = _mm_max_ss(quarter, _mm_shuffle_ps(quarter, quarter, 1));
    const float lanes_peak = _mm_cvtss_f32(one);
    if (lanes_peak > peak) peak = lanes_peak;
    // The rest, one sample at a time; that version works out the sample before again, alike.
    return true_peak_scan_sse2(x + i, frames - i, coefficients, peak);
}

#endif
