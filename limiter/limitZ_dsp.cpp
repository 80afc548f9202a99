#include "limitZ_dsp.h"

#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "framework/axo_codes.h"
#include "limitZ_signal_path.h"

namespace {

// -30 dB: sqrt(0.001f) rounded to nearest, written as its exact value so that the stored
// range does not depend on the rounding mode of the thread that creates the instance.
constexpr float volume_minimum = 0x1.030dc6p-5f;  // 0.031622779, bits 0x3D0186E3

// The three controls, in index order: one row per control. All share the step, the factor
// and the mapping bounds (their own minimum and maximum).
struct control_row {
    const char* name;
    const char* key;
    float value;
    float minimum;
    float maximum;
    int curve;
};
// clang-format off
constexpr control_row control_rows[] = {
    // name       key        value  minimum         maximum  curve
    {"Threshold", "thresh",  1.0f,  volume_minimum, 1.0f,    AXO_CURVE_SQUARE},
    {"Ceiling",   "ceiling", 1.0f,  volume_minimum, 1.0f,    AXO_CURVE_SQUARE},
    {"Release",   "rel1",    0.2f,  0.001f,         5.0f,    AXO_CURVE_EXP},
};
// clang-format on
constexpr const control_row& threshold_row = control_rows[0];
constexpr const control_row& ceiling_row = control_rows[1];
constexpr const control_row& release_row = control_rows[2];
constexpr float control_step = 1.0f / 256.0f;
constexpr float control_factor = 1.0f;

// Sample rates the limiter accepts, in Hz, and the one it starts with.
constexpr float lowest_rate = 4000.0f;
constexpr float highest_rate = 192000.0f;
constexpr float initial_rate = 44100.0f;
// An audio pairing is preferred whichever side a host asks from.
constexpr int32_t audio_pairing =
    AXO_CFG_AUDIO | AXO_CFG_PREFER_BY_INPUT | AXO_CFG_PREFER_BY_OUTPUT;

// The share of its distance to a constant target that the envelope has left after the
// release time.
constexpr float release_base = 0.1f;

// Per-frame factor of the release: after release_seconds the distance between the envelope
// and a constant target has shrunk to one tenth. The exponent is rounded to single precision
// before the power, which is taken in double precision.
float work_out_release_coefficient(float rate, float release_seconds) {
    const float release_frames = rate * release_seconds;
    const float exponent = 1.0f / release_frames;
    return static_cast<float>(
        std::pow(static_cast<double>(release_base), static_cast<double>(exponent)));
}

uint32_t bits_of(float x) {
    uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

// The calling thread's rounding mode and, on x86, its flush-to-zero and denormals-are-zero
// settings: everything besides the operands that decides the bits of a float result.
uint32_t current_fp_mode() {
#if defined(__SSE__)
    // The control half of MXCSR (the lower six bits are sticky exception flags).
    constexpr uint32_t mxcsr_controls = 0xffc0u;
    const uint32_t mode = _mm_getcsr() & mxcsr_controls;
#else
    const uint32_t mode = 0;
#endif
#if defined(__x86_64__)
    // All float and double arithmetic runs in SSE registers, the power function's included.
    return mode;
#else
    // The C library's rounding mode as well, above the MXCSR bits: on 32-bit x86 that is the
    // x87 unit's, where the power function may run.
    constexpr int fenv_mode_shift = 16;
    return mode ^ (static_cast<uint32_t>(std::fegetround()) << fenv_mode_shift);
#endif
}

}  // namespace

limitZ_dsp::limitZ_dsp()
    : threshold(this, threshold_row.name, threshold_row.value, threshold_row.minimum,
                threshold_row.maximum, control_step, AXO_PARAM_DEFAULT, AXO_PARAM_DEFAULT,
                threshold_row.curve, control_factor),
      ceiling(this, ceiling_row.name, ceiling_row.value, ceiling_row.minimum, ceiling_row.maximum,
              control_step, AXO_PARAM_DEFAULT, AXO_PARAM_DEFAULT, ceiling_row.curve,
              control_factor),
      release(this, release_row.name, release_row.value, release_row.minimum, release_row.maximum,
              control_step, AXO_PARAM_DEFAULT, AXO_PARAM_DEFAULT, release_row.curve,
              control_factor) {
    register_param_key(&threshold, threshold_row.key);
    register_param_key(&ceiling, ceiling_row.key);
    register_param_key(&release, release_row.key);
    // The list must exist before the channel counts are set against it.
    build_config_list();
    set_channel_count(AXO_DIR_AUDIO_IN, 2);
    set_channel_count(AXO_DIR_AUDIO_OUT, 2);
    // Accepted, so it runs the one reset of construction.
    set_sample_rate(initial_rate);
}

int limitZ_dsp::get_latency() {
    return window_frames;
}

void limitZ_dsp::reset() {
    limitZ_reset_signal(signal);
}

void limitZ_dsp::on_sample_rate_changed() {
    reset();
}

void limitZ_dsp::on_channel_count_changed(int, int) {
    reset();
}

void limitZ_dsp::build_config_list() {
    add_config(AXO_CFG_RATE_RANGE, 0, 0, lowest_rate, highest_rate);
    add_config(audio_pairing, 1, 1, 0.0f, 0.0f);
    add_config(audio_pairing, 2, 2, 0.0f, 0.0f);
}

int limitZ_dsp::process_block(int64_t position, float** inputs, int input_stride, float** outputs,
                              int output_stride, int frames) {
    if (frames <= 0) return 0;
    if (get_bypass() != 0) {
        return axo_std_plugin::process_block(position, inputs, input_stride, outputs, output_stride,
                                             frames);
    }

    const int channels = get_channel_count(AXO_DIR_AUDIO_IN);
    const bool mono = channels == 1;
    // A call without the buffers this layout reads is skipped whole, state untouched.
    if (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr || outputs[0] == nullptr ||
        (!mono && inputs[1] == nullptr)) {
        return 0;
    }

    const float threshold_gain = threshold.get_value();
    const float ceiling_gain = ceiling.get_value();
    const float release_seconds = release.get_value();
    const uint32_t fp_mode = current_fp_mode();

    limitZ_job job;
    job.in0 = inputs[0];
    job.in1 = mono ? inputs[0] : inputs[1];
    job.in_step = input_stride;
    job.out0 = outputs[0];
    // Two inputs but one output channel: channel 1 still steers the gain, but its result has
    // nowhere to go.
    job.out1 = mono ? nullptr : outputs[1];
    job.out_step = output_stride;
    job.frames = frames;
    job.stereo = !mono;
    job.clip = true;
    job.drive = 1.0f / threshold_gain;
    job.release_coeff = release_coefficient(get_sample_rate(), release_seconds, fp_mode);
    job.ceiling_gain = ceiling_gain;
    job.fp_mode = fp_mode;

    const limitZ_signal_run run = limitZ_current_run();
    if (limitZ_stretches_allowed(job)) {
        run(signal, job);
    } else {
        // Frame by frame, each output written unclipped before the next frame is read; the
        // clip and ceiling then pass over the whole block, channel 0 first.
        limitZ_job frame = job;
        frame.frames = 1;
        frame.clip = false;
        for (int t = 0; t < frames; ++t) {
            run(signal, frame);
            frame.in0 += frame.in_step;
            frame.in1 += frame.in_step;
            frame.out0 += frame.out_step;
            if (frame.out1 != nullptr) frame.out1 += frame.out_step;
        }
        limitZ_clip_and_scale(job.out0, job.out_step, frames, ceiling_gain);
        if (job.out1 != nullptr)
            limitZ_clip_and_scale(job.out1, job.out_step, frames, ceiling_gain);
    }

    // The tables continue where this call ended; in mono entry 1 follows entry 0.
    const std::ptrdiff_t in_advance = static_cast<std::ptrdiff_t>(frames) * input_stride;
    const std::ptrdiff_t out_advance = static_cast<std::ptrdiff_t>(frames) * output_stride;
    inputs[0] += in_advance;
    outputs[0] += out_advance;
    if (mono) {
        inputs[1] = inputs[0];
        outputs[1] = outputs[0];
    } else {
        inputs[1] += in_advance;
        if (outputs[1] != nullptr) outputs[1] += out_advance;
    }
    return 1;
}

int limitZ_dsp::extension(const char* key, void* data, int size) {
    if (key != nullptr && std::strcmp(key, AXO_METER_KEY) == 0) {
        if (data == nullptr || size != static_cast<int>(sizeof(axo_meter_i*))) return 0;
        axo_meter_i* const meter = this;
        std::memcpy(data, &meter, sizeof meter);
        return 1;
    }
    return axo_std_plugin::extension(key, data, size);
}

float limitZ_dsp::take_lowest_gain() {
    const float lowest = signal.lowest_env;
    // From here the envelope only rises until its next fall.
    signal.lowest_env = signal.gain_env;
    // Right after a reset the envelope starts far above unity: nothing was reduced.
    return lowest < 1.0f ? lowest : 1.0f;
}

float limitZ_dsp::release_coefficient(float rate, float release_seconds, uint32_t fp_mode) {
    const uint32_t rate_bits = bits_of(rate);
    const uint32_t release_bits = bits_of(release_seconds);
    if (!coeff_known || rate_bits != coeff_rate_bits || release_bits != coeff_release_bits ||
        fp_mode != coeff_mode) {
        coeff = work_out_release_coefficient(rate, release_seconds);
        coeff_rate_bits = rate_bits;
        coeff_release_bits = release_bits;
        coeff_mode = fp_mode;
        coeff_known = true;
    }
    return coeff;
}
