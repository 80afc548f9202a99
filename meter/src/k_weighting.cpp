#include "k_weighting.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double pi = 3.14159265358979323846;

}  // namespace

k_weighting::k_weighting(int channels, int rate_hz)
    : channels_(channels), rate_hz_(rate_hz), state_(static_cast<size_t>(channels)) {
    for (int c = 0; c < channels; ++c)
        state_[static_cast<size_t>(c)].weight = channel_weight(c, channels);
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

namespace {

// One filter's coefficients, each in both lanes of a register.
struct stereo_coefficients {
    __m128d sb0, sb1, sb2, sa1, sa2, hb0, hb1, hb2, ha1, ha2;
};

// One stereo filter's state, both channels side by side in the two lanes of each register,
// with each channel's energy summed so far.
struct stereo_state {
    __m128d s1, s2, t1, t2, energy;
};

// The same arithmetic, in the same order, as run_one, on both channels at once.
inline void run_stereo(stereo_state& v, const stereo_coefficients& k, const float* frame) {
    const __m128d x =
        _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame))));
    const __m128d y = _mm_add_pd(_mm_mul_pd(k.sb0, x), v.s1);
    v.s1 = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(k.sb1, x), _mm_mul_pd(k.sa1, y)), v.s2);
    v.s2 = _mm_sub_pd(_mm_mul_pd(k.sb2, x), _mm_mul_pd(k.sa2, y));
    const __m128d z = _mm_add_pd(_mm_mul_pd(k.hb0, y), v.t1);
    v.t1 = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(k.hb1, y), _mm_mul_pd(k.ha1, z)), v.t2);
    v.t2 = _mm_sub_pd(_mm_mul_pd(k.hb2, y), _mm_mul_pd(k.ha2, z));
    v.energy = _mm_add_pd(v.energy, _mm_mul_pd(z, z));
}

template <class section>
stereo_coefficients both_lanes(const section& s, const section& h) {
    return {_mm_set1_pd(s.b0), _mm_set1_pd(s.b1), _mm_set1_pd(s.b2), _mm_set1_pd(s.a1),
            _mm_set1_pd(s.a2), _mm_set1_pd(h.b0), _mm_set1_pd(h.b1), _mm_set1_pd(h.b2),
            _mm_set1_pd(h.a1), _mm_set1_pd(h.a2)};
}

template <class channel_state>
stereo_state load(const channel_state& l, const channel_state& r) {
    return {_mm_setr_pd(l.s1, r.s1), _mm_setr_pd(l.s2, r.s2), _mm_setr_pd(l.t1, r.t1),
            _mm_setr_pd(l.t2, r.t2), _mm_setr_pd(l.energy, r.energy)};
}

// One register's two lanes back into the left and right channels' fields.
inline void split(__m128d v, double& left, double& right) {
    alignas(16) double lanes[2];
    _mm_store_pd(lanes, v);
    left = lanes[0];
    right = lanes[1];
}

// Puts the state and the energy sums back.
template <class channel_state>
void store(const stereo_state& v, channel_state& l, channel_state& r) {
    split(v.s1, l.s1, r.s1);
    split(v.s2, l.s2, r.s2);
    split(v.t1, l.t1, r.t1);
    split(v.t2, l.t2, r.t2);
    split(v.energy, l.energy, r.energy);
}

}  // namespace

// Both channels side by side in the two lanes of one register: the same arithmetic, in the
// same order, as run_one, with half the instructions.
void k_weighting::add_energy_stereo(const float* interleaved, int64_t frames) {
    const stereo_coefficients k = both_lanes(shelf_, high_pass_);
    stereo_state v = load(state_[0], state_[1]);
    for (int64_t f = 0; f < frames; ++f) run_stereo(v, k, interleaved + 2 * f);
    store(v, state_[0], state_[1]);
}

#else

void k_weighting::add_energy_stereo(const float* interleaved, int64_t frames) {
    channel_state left = state_[0];
    channel_state right = state_[1];
    for (int64_t f = 0; f < frames; ++f) {
        const double l = run_one(left, interleaved[2 * f]);
        const double r = run_one(right, interleaved[2 * f + 1]);
        left.energy += l * l;
        right.energy += r * r;
    }
    state_[0] = left;
    state_[1] = right;
}

#endif

void k_weighting::add_energy(const float* interleaved, int64_t frames) {
    if (channels_ == 2) {
        add_energy_stereo(interleaved, frames);
        return;
    }
    for (int c = 0; c < channels_; ++c) {
        channel_state s = state_[static_cast<size_t>(c)];
        for (int64_t f = 0; f < frames; ++f) {
            const double y = run_one(s, interleaved[f * channels_ + c]);
            s.energy += y * y;
        }
        state_[static_cast<size_t>(c)] = s;
    }
}

double k_weighting::channel_weight(int channel, int channels) {
    constexpr double surround_5_1[6] = {1.0, 1.0, 1.0, 0.0, 1.41, 1.41};
    return channels == 6 && channel >= 0 && channel < 6 ? surround_5_1[channel] : 1.0;
}

double k_weighting::take_energy() {
    double energy = 0.0;
    for (channel_state& s : state_) {
        energy += s.weight * s.energy;
        s.energy = 0.0;
    }
    settle();
    return energy;
}

// A filter left ringing at a level far below audibility would otherwise decay into subnormal
// numbers, which the processor handles hundreds of times slower; and one that a NaN or
// infinite sample has reached would stay NaN for the rest of the stream, so it starts again
// from silence (the blocks around that sample cannot be measured).
void k_weighting::settle() {
    for (channel_state& s : state_) {
        for (double* v : {&s.s1, &s.s2, &s.t1, &s.t2})
            if (!(std::fabs(*v) >= 1e-30) || std::isinf(*v)) *v = 0.0;
    }
}

void k_weighting::add_energy_pair(k_weighting& a, const float* x, k_weighting& b, const float* y,
                                  int64_t frames) {
#if defined(__SSE2__)
    // One rate: the same coefficients.
    if (a.channels_ == 2 && b.channels_ == 2 && a.rate_hz_ == b.rate_hz_) {
        const stereo_coefficients k = both_lanes(a.shelf_, a.high_pass_);
        stereo_state v = load(a.state_[0], a.state_[1]);
        stereo_state w = load(b.state_[0], b.state_[1]);
        for (int64_t f = 0; f < frames; ++f) {
            run_stereo(v, k, x + 2 * f);
            run_stereo(w, k, y + 2 * f);
        }
        store(v, a.state_[0], a.state_[1]);
        store(w, b.state_[0], b.state_[1]);
        return;
    }
#endif
    a.add_energy(x, frames);
    b.add_energy(y, frames);
}
