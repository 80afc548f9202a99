// The signal path, written once for any vector width. Each code path's file includes this
// header once and instantiates it with its own vector type, so that the code is compiled for
// that path's instruction set only. Everything here has internal linkage: no path's machine
// code can stand in for another's.
//
// A call is worked through in stretches. For each stretch:
//  1. the input is driven into the delay history, and the louder channel's magnitude of each
//     frame is kept as its peak;
//  2. the peaks become held peaks, the largest of the last 64 frames (a sliding maximum,
//     exact in any order), and then gain targets;
//  3. the envelope follows the targets frame by frame, the one strictly sequential part, into
//     a linear history behind the last 64 values;
//  4. the trapezoid sums of neighbouring frames are formed side by side, one frame per vector
//     lane, each lane adding exactly the terms, weights and roundings of a single frame;
//  5. the delayed input is multiplied by the smoothed gain, clipped and scaled.
// Each frame's result is therefore the same whichever path, vector width or split of the
// audio into calls produced it.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>

#include "limitZ_signal.h"

namespace {
namespace engine {

constexpr int window = limitZ_signal_state::window;
constexpr int stretch_max = limitZ_signal_state::stretch_max;
constexpr int history = limitZ_signal_state::history;

// Added to every driven sample so that silence never decays into subnormal numbers.
constexpr float denormal_offset = 1e-30f;
// A driven peak must exceed full scale to be held; the hold never falls below it.
constexpr float full_scale = 1.0f;
// Output clip: 1 - 3 * 2^-24 (0.99999982, bits 0x3F7FFFFD), just below full scale.
constexpr float clip_level = 0x1.fffffap-1f;

// Gain smoothing: a trapezoid over the 64 envelope values. Ages a and 63 - a share the weight
// (a + 1) / 27 for a = 0..25, ages 26..37 weigh 1; the weights add up to 38.
constexpr int sloped_pairs = 26;
constexpr int flat_first_age = 26;
constexpr int flat_last_age = 37;
constexpr float weight_step = 1.0f / 27.0f;  // bits 0x3D17B426
constexpr float normaliser = 1.0f / 38.0f;

// The sloped weights as a running single-precision sum of weight_step, the way every build
// must round them; worked out once rather than for every frame.
struct trapezoid_weights {
    float w[sloped_pairs];
};
constexpr trapezoid_weights make_weights() {
    trapezoid_weights t{};
    float w = weight_step;
    for (int j = 0; j < sloped_pairs; ++j) {
        t.w[j] = w;
        w = w + weight_step;
    }
    return t;
}
constexpr trapezoid_weights weights = make_weights();

// One sample driven by the threshold. A result that is NaN or infinite (garbage from the
// host, or a drive that overflowed) counts as the loudest finite peak and carries silence
// into the delay: the gain ducks as for any huge peak and recovers the same way, and nothing
// non-finite reaches the state. The vector paths do the same lane by lane.
inline float drive_sample(float x, float drive, float& magnitude) {
    float a = x * drive + denormal_offset;
    float m = __builtin_fabsf(a);
    if (!(m <= FLT_MAX)) {
        a = 0.0f;
        m = FLT_MAX;
    }
    magnitude = m;
    return a;
}

// Clip just below full scale, then the ceiling. The state stays finite, so a NaN cannot
// arrive here; should one ever do, it leaves as silence rather than breaking the bound.
inline float clip_sample(float y, float ceiling_gain) {
    if (y > clip_level) {
        y = clip_level;
    } else if (y < -clip_level) {
        y = -clip_level;
    } else if (y != y) {
        y = 0.0f;
    }
    return y * ceiling_gain;
}

// The envelope over a stretch: falls to a lower target at once, otherwise moves towards the
// target by the release coefficient g. With g in (0, 1) the release value never lies below
// the target when the target is lower, and never above it otherwise, so the smaller of the
// two is exactly the value of that choice.
inline float follow_envelope(const float* targets, float* envelope, int frames, float env,
                             float g) {
    for (int i = 0; i < frames; ++i) {
        const float t = targets[i];
        const float released = t + (env - t) * g;
        env = t < released ? t : released;
        envelope[i] = env;
    }
    return env;
}

// Driven samples into the delay history, the louder magnitude of each frame into peaks.
template <class V>
void drive_stretch(const limitZ_job& job, const float* in0, const float* in1, float* driven0,
                   float* driven1, float* peaks, int frames) {
    using reg = typename V::reg;
    constexpr int lanes = V::lanes;
    const std::ptrdiff_t step = job.in_step;
    const reg drive = V::set1(job.drive);
    int i = 0;
    if (job.stereo) {
        for (; i + lanes <= frames; i += lanes) {
            reg m0, m1;
            const reg a = V::drive(V::load_strided(in0 + i * step, step), drive, m0);
            const reg b = V::drive(V::load_strided(in1 + i * step, step), drive, m1);
            V::store(driven0 + i, a);
            V::store(driven1 + i, b);
            V::store(peaks + i, V::max(m0, m1));
        }
        for (; i < frames; ++i) {
            float m0, m1;
            driven0[i] = drive_sample(in0[i * step], job.drive, m0);
            driven1[i] = drive_sample(in1[i * step], job.drive, m1);
            peaks[i] = m0 > m1 ? m0 : m1;
        }
    } else {
        for (; i + lanes <= frames; i += lanes) {
            reg m0;
            V::store(driven0 + i, V::drive(V::load_strided(in0 + i * step, step), drive, m0));
            V::store(peaks + i, m0);
        }
        for (; i < frames; ++i) driven0[i] = drive_sample(in0[i * step], job.drive, peaks[i]);
    }
}

// Turns the peaks of a stretch (in work) into gain targets in place, and moves the peak hold
// on by the stretch.
//
// The held peak of frame i is the largest of 1.0 and the peaks of frames i - 63 .. i. In
// blocks of 64 frames from the stretch start, that is the larger of the running maximum of
// the block up to i and the maximum of the previous block from i - 63 on. Before the first
// block the peak hold stands in for the previous block: its entry j is exactly the maximum
// over the frames it will cover when read j frames from now.
template <class V>
void hold_peaks(limitZ_signal_state& s, float* work, int frames) {
    using reg = typename V::reg;
    constexpr int lanes = V::lanes;
    float* prev = s.held[0] + 1;
    float* next = s.held[1] + 1;
    for (int j = 0; j < window; j += lanes) V::store(prev + j, V::load(s.peak_hold + j));

    // The hold after the stretch. An entry read during the stretch covers the frames after
    // its reading; the others have waited through the whole stretch.
    const int read = frames < window ? frames : window;
    float latest = full_scale;
    for (int i = frames - 1; i >= frames - read; --i) {
        s.peak_hold[i + window - frames] = latest;
        latest = work[i] > latest ? work[i] : latest;
    }
    for (int j = 0; j + frames < window; ++j) {
        const float h = prev[j + frames];
        s.peak_hold[j] = h > latest ? h : latest;
    }

    const reg one = V::set1(1.0f);
    for (int start = 0; start < frames; start += window) {
        float* const block = work + start;
        if (start + window < frames) {
            // What the next block needs of this one: next[j] = max(1, peaks j + 1 .. 63).
            reg later = V::set1(full_scale);
            for (int j = window - lanes; j >= 0; j -= lanes) {
                const reg x = V::max(V::suffix_max(V::load(block + j)), later);
                V::store(next + j - 1, x);
                later = V::broadcast_first(x);
            }
            next[window - 1] = full_scale;
        }
        const int n = frames - start < window ? frames - start : window;
        reg earlier = V::zero();
        for (int j = 0; j < n; j += lanes) {
            const reg x = V::max(V::prefix_max(V::load(block + j)), earlier);
            earlier = V::broadcast_last(x);
            V::store(block + j, V::div(one, V::max(V::load(prev + j), x)));
        }
        float* const t = prev;
        prev = next;
        next = t;
    }
}

// Smoothed gains of G vectors of consecutive frames. h points at the envelope value of the
// first frame; lane l of vector k is frame k * lanes + l, whose value of age a lies at
// h[k * lanes + l - a]. Every lane adds its terms in the order of a single frame, so each
// frame's rounding is that of the frame computed alone; the G sums are independent chains
// that the processor overlaps.
template <class V, int G>
inline void smooth(const float* h, typename V::reg* gain) {
    using reg = typename V::reg;
    constexpr int lanes = V::lanes;
    reg sum[G];
    // The sum starts at 0; adding the first term to 0 changes nothing, the term being
    // positive (or a zero of the sign the rounding mode would give the sum).
    {
        const reg w = V::set1(weights.w[0]);
        for (int k = 0; k < G; ++k) {
            const float* a = h + k * lanes;
            sum[k] = V::mul(w, V::add(V::load(a), V::load(a - (window - 1))));
        }
    }
    for (int age = 1; age < sloped_pairs; ++age) {
        const reg w = V::set1(weights.w[age]);
        for (int k = 0; k < G; ++k) {
            const float* a = h + k * lanes;
            sum[k] = V::add(sum[k],
                            V::mul(w, V::add(V::load(a - age), V::load(a - (window - 1 - age)))));
        }
    }
    for (int age = flat_first_age; age <= flat_last_age; ++age) {
        for (int k = 0; k < G; ++k) sum[k] = V::add(sum[k], V::load(h + k * lanes - age));
    }
    const reg norm = V::set1(normaliser);
    for (int k = 0; k < G; ++k) gain[k] = V::mul(sum[k], norm);
}

// Output pointers of one frame onwards, or null for a dropped channel.
struct outputs {
    float* out0;
    float* out1;
    std::ptrdiff_t step;
};

// The delayed frames times their gains, clipped and scaled unless the caller clips, for the
// first count lanes (all when count is lanes). Channel 0 is written before channel 1 frame
// by frame, as a caller that clips afterwards expects.
template <class V>
inline void emit(const limitZ_job& job, typename V::reg gain, const float* driven0,
                 const float* driven1, const outputs& out, int count) {
    using reg = typename V::reg;
    constexpr int lanes = V::lanes;
    const reg ceiling = V::set1(job.ceiling_gain);
    reg y0 = V::mul(gain, V::load(driven0));
    if (job.clip) y0 = V::clip_scale(y0, ceiling);
    const bool second = job.stereo && out.out1 != nullptr;
    if (count == lanes && (lanes == 1 || job.clip)) {
        V::store_strided(out.out0, out.step, y0);
        if (second) {
            reg y1 = V::mul(gain, V::load(driven1));
            if (job.clip) y1 = V::clip_scale(y1, ceiling);
            V::store_strided(out.out1, out.step, y1);
        }
        return;
    }
    float v0[lanes];
    float v1[lanes];
    V::store(v0, y0);
    if (second) {
        reg y1 = V::mul(gain, V::load(driven1));
        if (job.clip) y1 = V::clip_scale(y1, ceiling);
        V::store(v1, y1);
    }
    for (int l = 0; l < count; ++l) {
        out.out0[l * out.step] = v0[l];
        if (second) out.out1[l * out.step] = v1[l];
    }
}

inline outputs advance(const outputs& out, int frames) {
    return {out.out0 + frames * out.step,
            out.out1 != nullptr ? out.out1 + frames * out.step : nullptr, out.step};
}

// Moves the window of the histories back to their front when a stretch would not fit
// behind it.
inline void make_room(limitZ_signal_state& s, int frames) {
    if (s.base + window + frames <= history) return;
    for (int j = 0; j < window; ++j) {
        s.env_history[j] = s.env_history[s.base + j];
        s.delay[0][j] = s.delay[0][s.base + j];
        s.delay[1][j] = s.delay[1][s.base + j];
    }
    s.base = 0;
}

template <class V, int G>
void run_stretch(limitZ_signal_state& s, const limitZ_job& job, const float* in0, const float* in1,
                 const outputs& out, int frames) {
    constexpr int lanes = V::lanes;
    make_room(s, frames);
    float* const env = s.env_history + s.base;
    const float* const driven0 = s.delay[0] + s.base;
    const float* const driven1 = s.delay[1] + s.base;

    drive_stretch<V>(job, in0, in1, s.delay[0] + s.base + window, s.delay[1] + s.base + window,
                     s.work, frames);
    hold_peaks<V>(s, s.work, frames);
    s.gain_env = follow_envelope(s.work, env + window, frames, s.gain_env, job.release_coeff);

    int i = 0;
    typename V::reg gain[G];
    for (; i + G * lanes <= frames; i += G * lanes) {
        smooth<V, G>(env + window + i, gain);
        for (int k = 0; k < G; ++k) {
            const int f = i + k * lanes;
            emit<V>(job, gain[k], driven0 + f, driven1 + f, advance(out, f), lanes);
        }
    }
    for (; i < frames; i += lanes) {
        smooth<V, 1>(env + window + i, gain);
        const int count = frames - i < lanes ? frames - i : lanes;
        emit<V>(job, gain[0], driven0 + i, driven1 + i, advance(out, i), count);
    }
    s.base += frames;
}

// Runs a whole call in stretches.
template <class V, int G>
void run(limitZ_signal_state& s, const limitZ_job& job) {
    const float* in0 = job.in0;
    const float* in1 = job.stereo ? job.in1 : job.in0;
    outputs out{job.out0, job.stereo ? job.out1 : nullptr, job.out_step};
    int left = job.frames;
    while (left > 0) {
        const int frames = left < stretch_max ? left : stretch_max;
        run_stretch<V, G>(s, job, in0, in1, out, frames);
        in0 += frames * job.in_step;
        in1 += frames * job.in_step;
        out = advance(out, frames);
        left -= frames;
    }
}

}  // namespace engine
}  // namespace
