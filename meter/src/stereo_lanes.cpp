#include "meter/stereo_lanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void split_stereo(const float* interleaved, int64_t frames, float* left, float* right) {
    int64_t f = 0;
#if defined(__SSE2__)
    for (; f + 4 <= frames; f += 4) {
        const __m128 a = _mm_loadu_ps(interleaved + 2 * f);      // l0 r0 l1 r1
        const __m128 b = _mm_loadu_ps(interleaved + 2 * f + 4);  // l2 r2 l3 r3
        _mm_storeu_ps(left + f, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right + f, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
#endif
    for (; f < frames; ++f) {
        left[f] = interleaved[2 * f];
        right[f] = interleaved[2 * f + 1];
    }
}

void join_stereo(const float* left, const float* right, int64_t frames, float* interleaved) {
    int64_t f = 0;
#if defined(__SSE2__)
    for (; f + 4 <= frames; f += 4) {
        const __m128 l = _mm_loadu_ps(left + f);
        const __m128 r = _mm_loadu_ps(right + f);
        _mm_storeu_ps(interleaved + 2 * f, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(interleaved + 2 * f + 4, _mm_unpackhi_ps(l, r));
    }
#endif
    for (; f < frames; ++f) {
        interleaved[2 * f] = left[f];
        interleaved[2 * f + 1] = right[f];
    }
}
