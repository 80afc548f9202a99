#include "limitZ_dsp.h"

#include <cfloat>
#include <cmath>
#include <cstddef>

#include "framework/axo_codes.h"

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

// Sample rates the limiter accepts, in Hz.
constexpr float lowest_rate = 4000.0f;
constexpr float highest_rate = 192000.0f;
// An audio pairing is preferred whichever side a host asks from.
constexpr int32_t audio_pairing =
    AXO_CFG_AUDIO | AXO_CFG_PREFER_BY_INPUT | AXO_CFG_PREFER_BY_OUTPUT;

constexpr int ring_mask = limitZ_dsp::window_frames - 1;

// Added to every driven sample so that silence never decays into subnormal numbers.
constexpr float denormal_offset = 1e-30f;
// A driven peak must exceed full scale to be held.
constexpr float full_scale = 1.0f;
constexpr float release_base = 0.1f;
constexpr float initial_envelope = 10000.0f;
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

// Per-frame factor of the release: after release_seconds the distance between the envelope
// and a constant target has shrunk to one tenth. The exponent is rounded to single precision
// before the power, which is taken in double precision.
float release_coefficient(float rate, float release_seconds) {
    const float release_frames = rate * release_seconds;
    const float exponent = 1.0f / release_frames;
    return static_cast<float>(
        std::pow(static_cast<double>(release_base), static_cast<double>(exponent)));
}

// A driven sample that is NaN or infinite (garbage from the host, or a drive that overflowed)
// counts as the loudest finite peak and carries silence into the delay line: the gain ducks
// as for any huge peak and recovers the same way, and nothing non-finite reaches the state.
// Finite samples pass unchanged.
inline void make_finite(float& driven, float& magnitude) {
    if (!(magnitude <= FLT_MAX)) {
        driven = 0.0f;
        magnitude = FLT_MAX;
    }
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
    set_sample_rate(44100.0f);
}

int limitZ_dsp::get_latency() {
    return window_frames;
}

void limitZ_dsp::reset() {
    for (float& h : peak_hold) h = full_scale;
    for (float& g : gain_ring) g = 1.0f;
    gain_env = initial_envelope;
    ring_pos = 0;
    delay_pos = 0;
    for (auto& frame : delay_line) frame[0] = frame[1] = 0.0f;
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
    const float drive = 1.0f / threshold_gain;
    const float g = release_coefficient(get_sample_rate(), release_seconds);

    float* const block_start_0 = outputs[0];
    float* const block_start_1 = outputs[1];
    if (mono) {
        inputs[1] = inputs[0];
        outputs[1] = outputs[0];
    }

    const std::ptrdiff_t in_step = input_stride;
    const std::ptrdiff_t out_step = output_stride;
    float* in_0 = inputs[0];
    float* in_1 = inputs[1];
    float* out_0 = outputs[0];
    float* out_1 = outputs[1];
    // Two inputs but one output channel: channel 1 still steers the gain, but its result has
    // nowhere to go.
    const bool has_out_1 = out_1 != nullptr;
    float discarded = 0.0f;
    const std::ptrdiff_t out_1_step = has_out_1 ? out_step : 0;
    if (!has_out_1) out_1 = &discarded;

    for (int frame = 0; frame < frames; ++frame) {
        // Every input sample of the frame is read before its outputs are written, so the
        // buffers may be shared.
        const float x0 = *in_0;
        const float x1 = *in_1;
        float a = x0 * drive + denormal_offset;
        float b = x1 * drive + denormal_offset;
        float abs_a = std::fabs(a);
        float abs_b = std::fabs(b);
        make_finite(a, abs_a);
        make_finite(b, abs_b);
        const float p = abs_a > abs_b ? abs_a : abs_b;

        if (p > full_scale) {
            for (float& h : peak_hold) {
                if (h < p) h = p;
            }
        }
        const float v = peak_hold[ring_pos];
        peak_hold[ring_pos] = full_scale;
        ring_pos = (ring_pos + 1) & ring_mask;

        const float target = 1.0f / v;
        if (target < gain_env) {
            gain_env = target;
        } else {
            gain_env = target + (gain_env - target) * g;
        }
        gain_ring[ring_pos] = gain_env;

        // gain_ring[(k - age) mod 64] holds the envelope of that age; age 0 was just written.
        const int k = ring_pos;
        float sum = 0.0f;
        for (int age = 0; age < sloped_pairs; ++age) {
            const float pair =
                gain_ring[(k - age) & ring_mask] + gain_ring[(k - (ring_mask - age)) & ring_mask];
            sum = sum + weights.w[age] * pair;
        }
        for (int age = flat_first_age; age <= flat_last_age; ++age) {
            sum = sum + gain_ring[(k - age) & ring_mask];
        }
        const float m = sum * normaliser;

        delay_pos = delay_pos & ring_mask;
        const float d0 = delay_line[delay_pos][0];
        const float d1 = delay_line[delay_pos][1];
        delay_line[delay_pos][0] = a;
        delay_line[delay_pos][1] = b;
        delay_pos = delay_pos + 1;

        *out_0 = m * d0;
        *out_1 = m * d1;

        in_0 += in_step;
        in_1 += in_step;
        out_0 += out_step;
        out_1 += out_1_step;
    }

    inputs[0] = in_0;
    inputs[1] = in_1;
    outputs[0] = out_0;
    if (has_out_1) outputs[1] = out_1;

    clip_and_scale(block_start_0, output_stride, frames, ceiling_gain);
    if (!mono && block_start_1 != nullptr) {
        clip_and_scale(block_start_1, output_stride, frames, ceiling_gain);
    }
    return 1;
}

void limitZ_dsp::clip_and_scale(float* samples, int stride, int frames, float ceiling_gain) {
    const std::ptrdiff_t step = stride;
    for (int frame = 0; frame < frames; ++frame, samples += step) {
        float y = *samples;
        if (y > clip_level) {
            y = clip_level;
        } else if (y < -clip_level) {
            y = -clip_level;
        } else if (y != y) {
            // The signal path keeps its state finite, so a NaN cannot arrive here; should one
            // ever do, it leaves as silence rather than breaking the output's bound.
            y = 0.0f;
        }
        *samples = y * ceiling_gain;
    }
}
