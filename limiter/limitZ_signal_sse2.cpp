// The SSE2 code path, four frames per vector: the baseline of every x86-64 processor and of
// the 32-bit x86 build.
#include "limitZ_signal.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "limitZ_signal_engine.h"

namespace {

struct sse2_lanes {
    using reg = __m128;
    static constexpr int lanes = 4;

    static reg load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, reg x) { _mm_storeu_ps(p, x); }
    static reg load_strided(const float* p, std::ptrdiff_t step) {
        if (step == 1) return load(p);
        return _mm_setr_ps(p[0], p[step], p[2 * step], p[3 * step]);
    }
    static reg set1(float x) { return _mm_set1_ps(x); }
    static reg zero() { return _mm_setzero_ps(); }
    static reg add(reg a, reg b) { return _mm_add_ps(a, b); }
    static reg mul(reg a, reg b) { return _mm_mul_ps(a, b); }
    static reg div(reg a, reg b) { return _mm_div_ps(a, b); }
    // a > b ? a : b, lane by lane, as the scalar path chooses.
    static reg max(reg a, reg b) { return _mm_max_ps(a, b); }
    static bool all_equal(reg a, reg b) { return _mm_movemask_ps(_mm_cmpeq_ps(a, b)) == 0xf; }

    // Bit shifts move whole lanes; the zeros shifted in are no larger than any magnitude.
    static reg prefix_max(reg x) {
        x = max(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)));
        return max(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 8)));
    }
    static reg suffix_max(reg x) {
        x = max(x, _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(x), 4)));
        return max(x, _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(x), 8)));
    }
    static reg broadcast_first(reg x) { return _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0)); }
    static reg broadcast_last(reg x) { return _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3)); }

    static reg drive(reg x, reg drive, reg& magnitude) {
        const reg a = _mm_add_ps(_mm_mul_ps(x, drive), _mm_set1_ps(engine::denormal_offset));
        const reg m = _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
        const reg largest = _mm_set1_ps(FLT_MAX);
        const reg bad = _mm_cmpnle_ps(m, largest);
        magnitude = _mm_or_ps(_mm_and_ps(bad, largest), _mm_andnot_ps(bad, m));
        return _mm_andnot_ps(bad, a);
    }
    // max(-level, y) and min(level, .) hand a NaN on; the ordered mask then makes it 0.
    static reg clip_scale(reg y, reg ceiling) {
        const reg clipped = _mm_min_ps(_mm_set1_ps(engine::clip_level),
                                       _mm_max_ps(_mm_set1_ps(-engine::clip_level), y));
        return _mm_mul_ps(_mm_and_ps(clipped, _mm_cmpord_ps(y, y)), ceiling);
    }
};

}  // namespace

// The 32-bit Windows ABI promises only 4-byte stack alignment to a function a host calls;
// realigning here keeps every vector spilled below it aligned.
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
void limitZ_run_sse2(limitZ_signal_state& state, const limitZ_job& job) {
    // Eight vector registers on 32-bit x86 hold two sums and their terms; sixteen hold four.
    engine::run<sse2_lanes, sizeof(void*) == 8 ? 4 : 2>(state, job);
}

#endif
