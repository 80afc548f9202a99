// The Zandor limiter: a look-ahead peak limiter for one stereo pair or one mono channel, with
// Threshold and Ceiling (linear gains) and Release (seconds) as its three controls. The
// output is delayed by 64 frames so that the gain has fallen before a peak passes. Its meter
// tells an adapter how far the gain went down.
#pragma once

#include <cstdint>

#include "framework/axo_meter_i.h"
#include "framework/axo_param.h"
#include "framework/axo_std_plugin.h"
#include "limitZ_signal.h"

class limitZ_dsp : public axo_std_plugin, public axo_meter_i {
public:
    // Frames of look-ahead: the length of the peak hold, the gain smoothing window and the
    // delay line, and so the reported latency.
    static constexpr int window_frames = 64;

    limitZ_dsp();

    int get_latency() override;
    // Empties the delay line and releases the gain; the controls keep their values.
    void reset() override;
    // Limits frames frames, or hands them to the pass-through while bypassed. In mono,
    // entry 1 of both tables is pointed at entry 0. Input and output may share memory.
    int process_block(int64_t position, float** inputs, int input_stride, float** outputs,
                      int output_stride, int frames) override;
    // Offers the meter under AXO_METER_KEY; every other key is the base's.
    int extension(const char* key, void* data, int size) override;
    // The lowest value of the gain envelope, which the smoothed gain reaches within the
    // look-ahead: so the output it applies to leaves up to 64 frames later.
    float take_lowest_gain() override;

protected:
    void on_sample_rate_changed() override;
    void on_channel_count_changed(int direction, int count) override;
    void build_config_list() override;

private:
    // The release coefficient for this rate and release time under the calling thread's
    // rounding state; worked out again only when one of them has changed.
    float release_coefficient(float rate, float release_seconds, uint32_t fp_mode);

    // Controls, in index order; each registers itself with this plug-in as it is built.
    axo_param_volume threshold;
    axo_param_volume ceiling;
    axo_param_delay release;

    // Peak hold, envelope, gain history and delay, carried from call to call.
    limitZ_signal_state signal = {};

    // The last release coefficient and what it was worked out from (bit patterns).
    uint32_t coeff_rate_bits = 0;
    uint32_t coeff_release_bits = 0;
    uint32_t coeff_mode = 0;
    bool coeff_known = false;
    float coeff = 0.0f;
};
