// The AVX2 code path, eight frames per vector. This file alone is built for AVX2 (without
// fused multiply-add, which would change the bits), and its code runs only once the
// processor has reported AVX2. It therefore uses nothing but intrinsics and the engine:
// an inline library function compiled here could be picked by the linker for the others.
#include "limitZ_signal.h"

#if defined(ZANDOR_LIMITER_AVX2) && defined(__AVX2__)

#include <immintrin.h>

#include "limitZ_signal_engine.h"

namespace {

struct avx2_lanes {
    using reg = __m256;
    static constexpr int lanes = 8;

    static reg load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, reg x) { _mm256_storeu_ps(p, x); }
    static reg load_strided(const float* p, std::ptrdiff_t step) {
        if (step == 1) return load(p);
        return _mm256_setr_ps(p[0], p[step], p[2 * step], p[3 * step], p[4 * step], p[5 * step],
                              p[6 * step], p[7 * step]);
    }
    static reg set1(float x) { return _mm256_set1_ps(x); }
    static reg zero() { return _mm256_setzero_ps(); }
    static reg add(reg a, reg b) { return _mm256_add_ps(a, b); }
    static reg mul(reg a, reg b) { return _mm256_mul_ps(a, b); }
    static reg div(reg a, reg b) { return _mm256_div_ps(a, b); }
    // a > b ? a : b, lane by lane, as the scalar path chooses.
    static reg max(reg a, reg b) { return _mm256_max_ps(a, b); }
    static bool all_equal(reg a, reg b) {
        return _mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_EQ_OQ)) == 0xff;
    }

    // The byte shifts work within each half; the top (or bottom) lane of one half is then
    // carried into the other. The zeros shifted in are no larger than any magnitude.
    static reg prefix_max(reg x) {
        x = max(x, _mm256_castsi256_ps(_mm256_slli_si256(_mm256_castps_si256(x), 4)));
        x = max(x, _mm256_castsi256_ps(_mm256_slli_si256(_mm256_castps_si256(x), 8)));
        const reg tops = _mm256_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
        return max(x, _mm256_permute2f128_ps(tops, tops, 0x08));
    }
    static reg suffix_max(reg x) {
        x = max(x, _mm256_castsi256_ps(_mm256_srli_si256(_mm256_castps_si256(x), 4)));
        x = max(x, _mm256_castsi256_ps(_mm256_srli_si256(_mm256_castps_si256(x), 8)));
        const reg bottoms = _mm256_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0));
        return max(x, _mm256_permute2f128_ps(bottoms, bottoms, 0x81));
    }
    static reg broadcast_first(reg x) {
        const reg bottoms = _mm256_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0));
        return _mm256_permute2f128_ps(bottoms, bottoms, 0x00);
    }
    static reg broadcast_last(reg x) {
        const reg tops = _mm256_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
        return _mm256_permute2f128_ps(tops, tops, 0x11);
    }

    static reg drive(reg x, reg drive, reg& magnitude) {
        const reg a =
            _mm256_add_ps(_mm256_mul_ps(x, drive), _mm256_set1_ps(engine::denormal_offset));
        const reg m = _mm256_and_ps(a, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
        const reg largest = _mm256_set1_ps(FLT_MAX);
        const reg bad = _mm256_cmp_ps(m, largest, _CMP_NLE_UQ);
        magnitude = _mm256_blendv_ps(m, largest, bad);
        return _mm256_andnot_ps(bad, a);
    }
    // max(-level, y) and min(level, .) hand a NaN on; the ordered mask then makes it 0.
    static reg clip_scale(reg y, reg ceiling) {
        const reg clipped = _mm256_min_ps(_mm256_set1_ps(engine::clip_level),
                                          _mm256_max_ps(_mm256_set1_ps(-engine::clip_level), y));
        return _mm256_mul_ps(_mm256_and_ps(clipped, _mm256_cmp_ps(y, y, _CMP_ORD_Q)), ceiling);
    }
};

}  // namespace

void limitZ_run_avx2(limitZ_signal_state& state, const limitZ_job& job) {
    // Two vectors (sixteen frames) per group: their smoothing takes about as long as the
    // envelope of the next sixteen frames that runs beside it.
    engine::run<avx2_lanes, 2>(state, job);
}

#endif
