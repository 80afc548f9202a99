// The limiter's signal path as plain data and code paths, apart from the plug-in class: the
// state that carries over between calls, the description of one call, and one entry per code
// path. Every path gives the same bits; they differ only in speed.
#pragma once

#include <cstddef>
#include <cstdint>

// State of the signal path between calls, and the scratch the paths work in. Long calls are
// worked through in stretches of at most stretch_max frames, so nothing is allocated while
// audio runs.
struct limitZ_signal_state {
    // Frames of look-ahead: the peak hold, the gain smoothing window and the delay.
    static constexpr int window = 64;
    static constexpr int stretch_max = 512;
    // The histories hold the window in front of the frames of a stretch. A stretch is appended
    // behind the window and the window then moves up; only when the end is reached is it
    // copied back to the front (and the envelope's when it has left a 64-byte boundary), so
    // most calls copy little or nothing.
    static constexpr int history = window + 2 * stretch_max;
    // Room behind each buffer for the widest vector reading past the last frame.
    static constexpr int slack = 64;

    // Linear gain that follows the held peaks: falls at once, recovers at the release rate.
    float gain_env;
    // Start of the window in the peak and delay histories: [base, base + 64) holds the
    // driven peaks and driven frames of the last 64 frames, oldest first.
    int32_t base;
    // The same for the envelope history; always a multiple of 16 when a stretch starts.
    int32_t env_base;
    // Louder driven magnitude of each frame; the peak hold is their sliding maximum.
    float peak_history[history + slack];
    // Driven input, channel 0 and channel 1.
    float delay[2][history + slack];
    // Envelope values, twice. Each copy starts at the first 64-byte boundary of its storage,
    // the second 8 floats further on, so that any 8 consecutive values can be read from one
    // of them without crossing a 64-byte boundary.
    static constexpr int env_storage = history + slack + 32;
    float env_history[2][env_storage];

    // Scratch of one stretch: the gain targets.
    float work[stretch_max + slack];
    // What a 64-frame block of a stretch holds of the frames before it.
    float held[window];

    // How many of the last envelope values are known to be equal (counted up to 128).
    int32_t steady_length;
    // Smoothed gain of a window whose 64 envelope values are all constant_env, kept while the
    // envelope rests and recomputed when the value or the rounding state changes.
    float constant_env;
    float constant_gain;
    uint32_t constant_mode;
    bool constant_known;

    // The lowest value gain_env has fallen to since the meter was last read. Last, so that
    // the buffers above keep their places in memory.
    float lowest_env;
};

// One call of the signal path. Outputs may share memory with inputs only where the plug-in
// has checked that working through the call in stretches cannot change a result.
struct limitZ_job {
    const float* in0;
    const float* in1;  // unused in mono
    std::ptrdiff_t in_step;
    float* out0;
    float* out1;  // null: channel 1 steers the gain but its result is dropped; unused in mono
    std::ptrdiff_t out_step;
    int frames;
    bool stereo;
    // False: the unclipped products are written, channel 0 then channel 1 frame by frame, and
    // the caller clips afterwards.
    bool clip;
    float drive;
    float release_coeff;
    float ceiling_gain;
    // Rounding mode and flush settings of the calling thread: results cached across calls
    // are valid only under the same settings.
    uint32_t fp_mode;
};

// Whether a call may be worked through in stretches: every input of a stretch read before its
// outputs are written, and each output clipped as it is written. Otherwise a frame's output
// could land on a later frame's input, or one output sample be written twice, and only the
// frame-by-frame order with a separate clip gives the defined result.
bool limitZ_stretches_allowed(const limitZ_job& job);

// Empties the delay, releases the gain and clears every peak.
void limitZ_reset_signal(limitZ_signal_state& state);
// Clips frames samples (step floats apart) just below full scale and applies the ceiling:
// the last stage of a call run with job.clip false.
void limitZ_clip_and_scale(float* samples, std::ptrdiff_t step, int frames, float ceiling_gain);

// The code paths. Each runs job.frames frames (at least 1) and advances the state.
using limitZ_signal_run = void (*)(limitZ_signal_state& state, const limitZ_job& job);
void limitZ_run_scalar(limitZ_signal_state& state, const limitZ_job& job);
#if defined(__SSE2__)
void limitZ_run_sse2(limitZ_signal_state& state, const limitZ_job& job);
#endif
#if defined(ZANDOR_LIMITER_AVX2)
void limitZ_run_avx2(limitZ_signal_state& state, const limitZ_job& job);
#endif
