// The signal path, written once for any vector width. Each code path's file includes this
// header once and instantiates it with its own vector type, so that the code is compiled for
// that path's instruction set only. Everything here has internal linkage: no path's machine
// code can stand in for another's.
//
// Bit-exactness. Every code path, vector width, split of the audio into calls and platform
// (Linux, 32-bit and 64-bit Windows) gives the bits of the step-by-step algorithm. Its oracle
// is the plainly written model in the tests (tests/limiter/limiter_model.h), which every path
// is compared with sample by sample; the scalar path is one more path held to it, no
// reference of its own. The bits stay the same only while these rules hold:
//  - No contracted arithmetic: the zandor_limiter target itself is built with
//    -ffp-contract=off, so that no multiply and add are fused into one rounding where the
//    algorithm rounds twice. The flag sits on the target and not only in the global flags,
//    so a consumer that builds with other flags cannot change the bits.
//  - Single precision in SSE registers: on 32-bit x86 the target is built with -msse2
//    -mfpmath=sse (so is everything else, by the i686 toolchain file). The x87 unit would
//    carry intermediates at extended precision and round differently from the other builds.
//  - The AVX2 file is built for AVX2 without FMA (fused multiply-add rounds once), and uses
//    intrinsics and this engine only: an inline library function compiled there could be
//    the copy the linker keeps for the other paths, on a processor without AVX2.
//  - Terms are added in frame order per lane: a vector lane computes one frame, with the
//    terms, weights, order and roundings of that frame computed alone; nothing is summed
//    across lanes, and the running weights are fixed once (weights below).
//  - max(a, b) is a > b ? a : b, which answers b when either is NaN, as the SSE and AVX max
//    instructions do; every path's max keeps that operand order. Non-finite driven samples
//    never reach the peaks anyway (drive_sample).
//  - Results kept across calls are keyed by the calling thread's rounding mode and flush
//    settings (limitZ_job::fp_mode) besides their inputs: the release coefficient
//    (limitZ_dsp::release_coefficient) and the gain of a constant window (constant_gain).
//    A host may call under any rounding mode, and a value rounded under one mode must not
//    be reused under another.
//
// A call is worked through in stretches. For each stretch:
//  1. the input is driven into the delay history, and the louder channel's magnitude of each
//     frame into the peak history;
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
#include <utility>

#include "limitZ_signal.h"

namespace {
namespace engine {

constexpr int window = limitZ_signal_state::window;
constexpr int stretch_max = limitZ_signal_state::stretch_max;
constexpr int history = limitZ_signal_state::history;
// A run of equal envelope values longer than the window needs no exact length.
constexpr int steady_limit = 2 * window;

// Added to every driven sample so that silence never decays into subnormal numbers.
constexpr float denormal_offset = 1e-30f;
// A driven peak must exceed full scale to be held; the hold never falls below it.
constexpr float full_scale = 1.0f;
// The gain target of a frame whose held peak is full scale or less: no limiting.
constexpr float unity_gain = 1.0f;
// The envelope after a reset: above any target, so that it falls to the first frame's
// target at once instead of recovering towards it from some other gain.
constexpr float envelope_at_reset = 10000.0f;
// Output clip: 1 - 3 * 2^-24 (0.99999982, bits 0x3F7FFFFD), just below full scale.
constexpr float clip_level = 0x1.fffffap-1f;

// The envelope history is read in vectors that must not straddle a cache line of 64 bytes,
// 16 floats; its second copy lies half a line (8 floats) after the first.
constexpr int line_bytes = 64;
constexpr int line_floats = line_bytes / static_cast<int>(sizeof(float));
constexpr int copy_offset_floats = line_floats / 2;

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

// The envelope, frame by frame: it falls to a lower target at once and otherwise moves
// towards the target by the release coefficient. A fall is rare, so the branch is taken
// seldom and the dependent chain of a frame is one subtraction, multiplication and addition.
struct envelope_run {
    const float* targets;
    float* values;
    float* copy;  // the second copy of values
    float release_coeff;
};

// The envelope itself is a separate local of the caller, never reached through a pointer,
// so that it stays in a register while values are stored.
[[gnu::always_inline]] inline void envelope_step(const envelope_run& r, int i, float& env) {
    const float t = r.targets[i];
    if (t < env) {
        env = t;
    } else {
        env = t + (env - t) * r.release_coeff;
    }
    r.values[i] = env;
    r.copy[i] = env;
}

inline float follow_envelope(const envelope_run& r, int first, int end, float env) {
    for (int i = first; i < end; ++i) envelope_step(r, i, env);
    return env;
}

inline uint32_t bits_of(float x) {
    return __builtin_bit_cast(uint32_t, x);
}

// Whether the envelope stays exactly where it is through frames [first, end): no peak is
// held there (every target is 1.0) and one step towards 1.0 leaves the envelope unchanged.
// A limiter that is not working spends most of its time so; the values can then be written
// without the chain of dependent steps. The targets are looked at first: that answer does not
// wait for the envelope, so a limiter that is working learns it early and cheaply.
template <class V>
inline bool envelope_rests(const envelope_run& r, int first, int end, float env) {
    const typename V::reg unity = V::set1(unity_gain);
    int i = first;
    for (; i + V::lanes <= end; i += V::lanes) {
        if (!V::all_equal(V::load(r.targets + i), unity)) return false;
    }
    for (; i < end; ++i) {
        if (r.targets[i] != unity_gain) return false;
    }
    const float t = unity_gain;
    float next = env;
    envelope_step(envelope_run{&t, &next, &next, r.release_coeff}, 0, next);
    return bits_of(next) == bits_of(env);
}

template <class V>
inline void hold_envelope(const envelope_run& r, int first, int end, float env) {
    const typename V::reg value = V::set1(env);
    int i = first;
    for (; i + V::lanes <= end; i += V::lanes) {
        V::store(r.values + i, value);
        V::store(r.copy + i, value);
    }
    for (; i < end; ++i) r.values[i] = r.copy[i] = env;
}

// Follows the envelope through frames [first, end) and keeps track of where the run of
// equal envelope values that ends with the last of them begins (steady, a frame index).
template <class V>
inline float advance_envelope(const envelope_run& r, int first, int end, float env, int& steady) {
    if (first >= end) return env;
    if (envelope_rests<V>(r, first, end, env)) {
        hold_envelope<V>(r, first, end, env);
        return env;
    }
    steady = end - 1;
    return follow_envelope(r, first, end, env);
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

// Turns the peaks of a stretch into gain targets in work, and lowers state.lowest_env to the
// lowest of them: the envelope falls to each target below it and otherwise only rises, so
// the lowest target is the lowest it reaches (when below where it stood).
//
// The held peak of frame i is the largest of 1.0 and the peaks of frames i - 63 .. i. In
// blocks of 64 frames from the stretch start, that is the larger of the running maximum of
// the block up to i and the maximum of the frames before the block from i - 63 on. The
// latter may take in the block's first frame as well, which the former always covers; so
// each side is read and written at the same vector positions.
template <class V>
void hold_peaks(limitZ_signal_state& s, int frames) {
    using reg = typename V::reg;
    constexpr int lanes = V::lanes;
    // peaks[j] is the peak of frame j - 64 of the stretch.
    const float* const peaks = s.peak_history + s.base;
    float* const before = s.held;
    const reg one = V::set1(full_scale);
    reg loudest = one;
    float loudest_tail = full_scale;
    for (int start = 0; start < frames; start += window) {
        // before[j] = max(1, peaks of frames start - 63 + j .. start). The maximum carried
        // from vector to vector depends on the previous carry through one max only; the
        // shuffles work on each vector's own scan.
        reg later = one;
        for (int j = window - lanes; j >= 0; j -= lanes) {
            const reg own = V::suffix_max(V::load(peaks + start + 1 + j));
            V::store(before + j, V::max(own, later));
            later = V::max(later, V::broadcast_first(own));
        }

        const int n = frames - start < window ? frames - start : window;
        const float* const block = peaks + window + start;
        reg earlier = V::zero();
        for (int j = 0; j < n; j += lanes) {
            const reg own = V::prefix_max(V::load(block + j));
            const reg x = V::max(own, earlier);
            earlier = V::max(earlier, V::broadcast_last(own));
            const reg held = V::max(V::load(before + j), x);
            V::store(s.work + start + j, V::div(one, held));
            if (j + lanes <= n) {
                loudest = V::max(loudest, held);
            } else {
                // Lanes past the stretch hold older peaks, which no frame of it sees.
                float h[lanes];
                V::store(h, held);
                for (int l = 0; l < n - j; ++l)
                    loudest_tail = h[l] > loudest_tail ? h[l] : loudest_tail;
            }
        }
    }
    float h[lanes];
    V::store(h, V::broadcast_last(V::prefix_max(loudest)));
    if (h[0] > loudest_tail) loudest_tail = h[0];
    // The same division as each frame's target, so the same bits.
    const float lowest = 1.0f / loudest_tail;
    if (lowest < s.lowest_env) s.lowest_env = lowest;
}

// Smoothed gains of G vectors of consecutive frames. Lane l of vector k is frame
// k * lanes + l, whose envelope value of age a lies at h[k * lanes + l - a]. Every lane adds
// its terms in the order of a single frame, so each frame's rounding is that of the frame
// computed alone; the G sums are independent chains that the processor overlaps.
//
// With Aligned, h lies on a 64-byte boundary, and a vector that would straddle two 64-byte
// lines is read from the second copy of the envelope (h1) instead, at no extra cost.
//
// Meanwhile the envelope of Steps later frames is followed: its chain of dependent steps is
// the slowest part of the signal path, and spread among the terms it runs alongside them.
constexpr int smoothing_terms = flat_last_age + 1;

struct envelope_window {
    const float* h;
    const float* h1;
};

template <class V, bool Aligned, int Offset>
[[gnu::always_inline]] inline typename V::reg load_envelope(const envelope_window& w) {
    constexpr int phase = ((Offset % line_floats) + line_floats) % line_floats;
    if constexpr (Aligned && phase > line_floats - V::lanes) {
        return V::load(w.h1 + Offset);
    } else {
        return V::load(w.h + Offset);
    }
}

template <class V, bool Aligned, int Age, int K>
[[gnu::always_inline]] inline void add_term(const envelope_window& w, typename V::reg& sum) {
    constexpr int at = K * V::lanes;
    if constexpr (Age == 0) {
        // The sum starts at 0; adding the first term to 0 changes nothing, the term being
        // positive (or a zero of the sign the rounding mode would give the sum).
        sum = V::mul(V::set1(weights.w[0]), V::add(load_envelope<V, Aligned, at>(w),
                                                   load_envelope<V, Aligned, at - 63>(w)));
    } else if constexpr (Age < sloped_pairs) {
        const typename V::reg pair = V::add(load_envelope<V, Aligned, at - Age>(w),
                                            load_envelope<V, Aligned, at - (63 - Age)>(w));
        sum = V::add(sum, V::mul(V::set1(weights.w[Age]), pair));
    } else {
        sum = V::add(sum, load_envelope<V, Aligned, at - Age>(w));
    }
}

template <class V, bool Aligned, int Age, int... K>
[[gnu::always_inline]] inline void add_terms(const envelope_window& w, typename V::reg* sum,
                                             std::integer_sequence<int, K...>) {
    (add_term<V, Aligned, Age, K>(w, sum[K]), ...);
}

template <int Age, int Steps>
[[gnu::always_inline]] inline void envelope_share(const envelope_run& r, float& env) {
    constexpr int first = Age * Steps / smoothing_terms;
    constexpr int end = (Age + 1) * Steps / smoothing_terms;
#pragma GCC unroll 4
    for (int i = first; i < end; ++i) envelope_step(r, i, env);
}

template <class V, int G, bool Aligned, int Steps, int... Ages>
[[gnu::always_inline]] inline void smooth_terms(const envelope_window& w, typename V::reg* sum,
                                                const envelope_run& r, float& env,
                                                std::integer_sequence<int, Ages...>) {
    ((add_terms<V, Aligned, Ages>(w, sum, std::make_integer_sequence<int, G>()),
      envelope_share<Ages, Steps>(r, env)),
     ...);
}

// One group, in a function of its own: the register allocator then deals with the sums,
// the terms and the envelope alone. Answers the envelope after its Steps frames.
template <class V, int G, bool Aligned, int Steps>
[[gnu::noinline]] float smooth(const envelope_window w, typename V::reg* gain, const envelope_run r,
                               float env) {
    typename V::reg sum[G];
    smooth_terms<V, G, Aligned, Steps>(w, sum, r, env,
                                       std::make_integer_sequence<int, smoothing_terms>());
    const typename V::reg norm = V::set1(normaliser);
    for (int k = 0; k < G; ++k) gain[k] = V::mul(sum[k], norm);
    return env;
}

// The smoothed gain of a window whose 64 envelope values all equal x, by the same steps
// as any lane.
inline float smooth_constant(float x) {
    float sum = weights.w[0] * (x + x);
    for (int age = 1; age < sloped_pairs; ++age) sum = sum + weights.w[age] * (x + x);
    for (int age = flat_first_age; age <= flat_last_age; ++age) sum = sum + x;
    return sum * normaliser;
}

// The smoothed gain of a constant window of x, worked out once for as long as the value and
// the rounding state stay the same.
inline float constant_gain(limitZ_signal_state& s, float x, uint32_t fp_mode) {
    if (!s.constant_known || bits_of(x) != bits_of(s.constant_env) || fp_mode != s.constant_mode) {
        s.constant_gain = smooth_constant(x);
        s.constant_env = x;
        s.constant_mode = fp_mode;
        s.constant_known = true;
    }
    return s.constant_gain;
}

// Output pointers of one frame onwards, or null for a dropped channel.
struct outputs {
    float* out0;
    float* out1;
    std::ptrdiff_t step;
};

// What the output stage needs of a call, read once: the outputs may lie anywhere, so values
// read through the job after a store would have to be read again.
template <class V>
struct output_stage {
    typename V::reg ceiling;
    bool clip;
    bool second;  // channel 1 is written

    output_stage(const limitZ_job& job, const outputs& out)
        : ceiling(V::set1(job.ceiling_gain)), clip(job.clip), second(out.out1 != nullptr) {}
};

// Stores the lanes of x at p, p + step, p + 2 step, ...: one vector store when the
// frames lie side by side, otherwise lane by lane.
template <class V>
inline void store_strided(float* p, std::ptrdiff_t step, typename V::reg x) {
    if (step == 1) {
        V::store(p, x);
        return;
    }
    float v[V::lanes];
    V::store(v, x);
    for (int l = 0; l < V::lanes; ++l) p[l * step] = v[l];
}

// The delayed frames times their gains, clipped and scaled unless the caller clips, for the
// first count lanes (all when count is lanes). Channel 0 is written before channel 1 frame
// by frame, as a caller that clips afterwards expects.
template <class V>
inline void emit(const output_stage<V> stage, typename V::reg gain, const float* driven0,
                 const float* driven1, const outputs& out, int count) {
    using reg = typename V::reg;
    constexpr int lanes = V::lanes;
    reg y0 = V::mul(gain, V::load(driven0));
    if (stage.clip) y0 = V::clip_scale(y0, stage.ceiling);
    if (count == lanes && (lanes == 1 || stage.clip)) {
        store_strided<V>(out.out0, out.step, y0);
        if (stage.second) {
            reg y1 = V::mul(gain, V::load(driven1));
            if (stage.clip) y1 = V::clip_scale(y1, stage.ceiling);
            store_strided<V>(out.out1, out.step, y1);
        }
        return;
    }
    float v0[lanes];
    float v1[lanes];
    V::store(v0, y0);
    if (stage.second) {
        reg y1 = V::mul(gain, V::load(driven1));
        if (stage.clip) y1 = V::clip_scale(y1, stage.ceiling);
        V::store(v1, y1);
    }
    for (int l = 0; l < count; ++l) {
        out.out0[l * out.step] = v0[l];
        if (stage.second) out.out1[l * out.step] = v1[l];
    }
}

inline outputs advance(const outputs& out, int frames) {
    return {out.out0 + frames * out.step,
            out.out1 != nullptr ? out.out1 + frames * out.step : nullptr, out.step};
}

// Start of an envelope copy: the first 64-byte boundary in its storage; the second copy
// lies half a line further on.
inline float* envelope_origin(limitZ_signal_state& s, int copy) {
    float* const storage = s.env_history[copy];
    constexpr uintptr_t line = line_bytes;
    const uintptr_t misalignment = reinterpret_cast<uintptr_t>(storage) & (line - 1);
    return storage + ((line - misalignment) & (line - 1)) / sizeof(float) +
           copy_offset_floats * copy;
}

// Moves the windows of the histories back to their front when a stretch would not fit
// behind them, and the envelope's window up to the next 64-byte boundary.
inline void make_room(limitZ_signal_state& s, int frames) {
    if (s.base + window + frames > history) {
        for (int j = 0; j < window; ++j) {
            s.delay[0][j] = s.delay[0][s.base + j];
            s.delay[1][j] = s.delay[1][s.base + j];
            s.peak_history[j] = s.peak_history[s.base + j];
        }
        s.base = 0;
    }
    int to = (s.env_base + line_floats - 1) & ~(line_floats - 1);
    if (to + window + frames > history) to = 0;
    if (to == s.env_base) return;
    for (int c = 0; c < 2; ++c) {
        float* const e = envelope_origin(s, c);
        // The two places may overlap: copy in the direction that reads each value first.
        if (to < s.env_base) {
            for (int j = 0; j < window; ++j) e[to + j] = e[s.env_base + j];
        } else {
            for (int j = window - 1; j >= 0; --j) e[to + j] = e[s.env_base + j];
        }
    }
    s.env_base = to;
}

template <class V, int G>
void run_stretch(limitZ_signal_state& s, const limitZ_job& job, const float* in0, const float* in1,
                 const outputs& out, int frames) {
    constexpr int lanes = V::lanes;
    constexpr int group = G * lanes;
    // Groups start on 64-byte boundaries of the envelope when they span whole lines.
    constexpr bool aligned = lanes > 1 && group % line_floats == 0;
    make_room(s, frames);
    float* const env = envelope_origin(s, 0) + s.env_base + window;
    float* const env_copy = envelope_origin(s, 1) + s.env_base + window;
    const float* const driven0 = s.delay[0] + s.base;
    const float* const driven1 = s.delay[1] + s.base;

    drive_stretch<V>(job, in0, in1, s.delay[0] + s.base + window, s.delay[1] + s.base + window,
                     s.peak_history + s.base + window, frames);
    hold_peaks<V>(s, frames);

    // The envelope runs one group of frames ahead of the smoothing that reads it. Invariant:
    // when the group of frames [i, i + group) is smoothed, followed is min(i + group, frames)
    // and the envelope is written for every frame before followed and for none after it.
    // That covers all a group reads, frames i - 63 .. i + group - 1 (the frames before the
    // stretch are its window, kept from the last one). While a group is smoothed, the
    // envelope of the next group, [followed, followed + group), is followed alongside: all
    // of it later than anything the group reads. The last group may reach past the stretch:
    // its extra lanes read older, finite values and are not written out. The run of equal
    // values that ends at followed - 1 begins at frame steady or earlier; where it reaches
    // back to frame i - 63, the 64 values a group reads are all the same and its gains are
    // that of a constant window.
    const envelope_run r{s.work, env, env_copy, job.release_coeff};
    const uint32_t fp_mode = job.fp_mode;
    const output_stage<V> stage(job, out);
    float e = s.gain_env;
    int steady = -s.steady_length;
    int followed = frames < group ? frames : group;
    e = advance_envelope<V>(r, 0, followed, e, steady);
    typename V::reg gain[G];
    for (int i = 0; i < frames; i += group) {
        const envelope_window w{env + i, env_copy + i};
        const bool constant = steady <= i - (window - 1);
        const int ahead_end = followed + group <= frames ? followed + group : frames;
        if (constant) {
            const float x = env[i];
            e = advance_envelope<V>(r, followed, ahead_end, e, steady);
            const typename V::reg g = V::set1(constant_gain(s, x, fp_mode));
            for (int k = 0; k < G; ++k) gain[k] = g;
        } else if (ahead_end - followed == group && !envelope_rests<V>(r, followed, ahead_end, e)) {
            const envelope_run ahead{r.targets + followed, r.values + followed, r.copy + followed,
                                     r.release_coeff};
            e = smooth<V, G, aligned, group>(w, gain, ahead, e);
            steady = ahead_end - 1;
        } else {
            e = advance_envelope<V>(r, followed, ahead_end, e, steady);
            smooth<V, G, aligned, 0>(w, gain, r, e);
        }
        followed = ahead_end;
        for (int k = 0; k < G; ++k) {
            const int f = i + k * lanes;
            if (f >= frames) break;
            const int count = frames - f < lanes ? frames - f : lanes;
            emit<V>(stage, gain[k], driven0 + f, driven1 + f, advance(out, f), count);
        }
    }
    // How many of the last values are equal, as far as the next stretch needs to know.
    s.steady_length = frames - steady < steady_limit ? frames - steady : steady_limit;
    s.gain_env = e;
    s.base += frames;
    s.env_base += frames;
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
