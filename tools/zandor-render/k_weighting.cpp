#include "k_weighting.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double pi = 3.14159265358979323846;

}  // namespace

k_weighting::k_weighting(int channels, int rate_hz)
    : channels_(channels), state_(static_cast<size_t>(channels)) {
    // Both sections are the analogue prototypes taken to this rate by the bilinear
    // transform, so that every rate weights alike.
    {
        const double f0 = 1681.974450955533;
        const double gain_db = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double k = std::tan(pi * f0 / rate_hz);
        const double vh = std::pow(10.0, gain_db / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf_ = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                  (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                  (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double k = std::tan(pi * f0 / rate_hz);
        const double a0 = 1.0 + k / q + k * k;
        high_pass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
}

// Transposed direct form II: each section keeps two sums of past inputs and outputs.
inline double k_weighting::run_one(channel_state& c, double x) const {
    const section& s = shelf_;
    const double y = s.b0 * x + c.s1;
    c.s1 = s.b1 * x - s.a1 * y + c.s2;
    c.s2 = s.b2 * x - s.a2 * y;
    const section& h = high_pass_;
    const double z = h.b0 * y + c.t1;
    c.t1 = h.b1 * y - h.a1 * z + c.t2;
    c.t2 = h.b2 * y - h.a2 * z;
    return z;
}

#if defined(__SSE2__)

// Both channels side by side in the two lanes of one register: the same arithmetic, in the
// same order, as run_one, with half the instructions.
double k_weighting::add_energy_stereo(const float* interleaved, int64_t frames) {
    const section& s = shelf_;
    const section& h = high_pass_;
    const __m128d sb0 = _mm_set1_pd(s.b0), sb1 = _mm_set1_pd(s.b1), sb2 = _mm_set1_pd(s.b2);
    const __m128d sa1 = _mm_set1_pd(s.a1), sa2 = _mm_set1_pd(s.a2);
    const __m128d hb0 = _mm_set1_pd(h.b0), hb1 = _mm_set1_pd(h.b1), hb2 = _mm_set1_pd(h.b2);
    const __m128d ha1 = _mm_set1_pd(h.a1), ha2 = _mm_set1_pd(h.a2);
    channel_state& l = state_[0];
    channel_state& r = state_[1];
    __m128d s1 = _mm_setr_pd(l.s1, r.s1), s2 = _mm_setr_pd(l.s2, r.s2);
    __m128d t1 = _mm_setr_pd(l.t1, r.t1), t2 = _mm_setr_pd(l.t2, r.t2);
    __m128d energy = _mm_setzero_pd();
    for (int64_t f = 0; f < frames; ++f) {
        const __m128d x = _mm_cvtps_pd(_mm_castsi128_ps(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(interleaved + 2 * f))));
        const __m128d y = _mm_add_pd(_mm_mul_pd(sb0, x), s1);
        s1 = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(sb1, x), _mm_mul_pd(sa1, y)), s2);
        s2 = _mm_sub_pd(_mm_mul_pd(sb2, x), _mm_mul_pd(sa2, y));
        const __m128d z = _mm_add_pd(_mm_mul_pd(hb0, y), t1);
        t1 = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(hb1, y), _mm_mul_pd(ha1, z)), t2);
        t2 = _mm_sub_pd(_mm_mul_pd(hb2, y), _mm_mul_pd(ha2, z));
        energy = _mm_add_pd(energy, _mm_mul_pd(z, z));
    }
    alignas(16) double lanes[2];
    _mm_store_pd(lanes, s1);
    l.s1 = lanes[0];
    r.s1 = lanes[1];
    _mm_store_pd(lanes, s2);
    l.s2 = lanes[0];
    r.s2 = lanes[1];
    _mm_store_pd(lanes, t1);
    l.t1 = lanes[0];
    r.t1 = lanes[1];
    _mm_store_pd(lanes, t2);
    l.t2 = lanes[0];
    r.t2 = lanes[1];
    _mm_store_pd(lanes, energy);
    return lanes[0] + lanes[1];
}

#else

double k_weighting::add_energy_stereo(const float* interleaved, int64_t frames) {
    channel_state left = state_[0];
    channel_state right = state_[1];
    double left_energy = 0.0;
    double right_energy = 0.0;
    for (int64_t f = 0; f < frames; ++f) {
        const double l = run_one(left, interleaved[2 * f]);
        const double r = run_one(right, interleaved[2 * f + 1]);
        left_energy += l * l;
        right_energy += r * r;
    }
    state_[0] = left;
    state_[1] = right;
    return left_energy + right_energy;
}

#endif

double k_weighting::add_energy(const float* interleaved, int64_t frames) {
    double energy = 0.0;
    if (channels_ == 2) {
        energy = add_energy_stereo(interleaved, frames);
    } else {
        for (int c = 0; c < channels_; ++c) {
            channel_state s = state_[static_cast<size_t>(c)];
            for (int64_t f = 0; f < frames; ++f) {
                const double y = run_one(s, interleaved[f * channels_ + c]);
                energy += y * y;
            }
            state_[static_cast<size_t>(c)] = s;
        }
    }
    // A filter left ringing at a level far below audibility would otherwise decay into
    // subnormal numbers, which the processor handles hundreds of times slower; and one that a
    // NaN or infinite sample has reached would stay NaN for the rest of the stream, so it
    // starts again from silence (the blocks around that sample cannot be measured).
    for (channel_state& s : state_) {
        for (double* v : {&s.s1, &s.s2, &s.t1, &s.t2})
            if (!(std::fabs(*v) >= 1e-30) || std::isinf(*v)) *v = 0.0;
    }
    return energy;
}
