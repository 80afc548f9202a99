#include "sample_peak.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

float sample_peak(const float* samples, int64_t count, float peak) {
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    // Four independent maxima, so that no comparison waits for the one before.
    __m128 a = _mm_set1_ps(peak), b = a, c = a, d = a;
    for (; i + 16 <= count; i += 16) {
        // max(candidate, top) keeps top where the candidate is NaN.
        a = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i), magnitude), a);
        b = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i + 4), magnitude), b);
        c = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i + 8), magnitude), c);
        d = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i + 12), magnitude), d);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, _mm_max_ps(_mm_max_ps(a, b), _mm_max_ps(c, d)));
    for (float lane : lanes)
        if (lane > peak) peak = lane;
#endif
    for (; i < count; ++i) {
        const float m = std::fabs(samples[i]);
        if (m > peak) peak = m;
    }
    return peak;
}
