// The Zandor limiter: a look-ahead peak limiter for one stereo pair or one mono channel, with
// Threshold and Ceiling (linear gains) and Release (seconds) as its three controls. The
// output is delayed by 64 frames so that the gain has fallen before a peak passes.
#pragma once

#include <cstdint>

#include "framework/axo_param.h"
#include "framework/axo_std_plugin.h"

class limitZ_dsp : public axo_std_plugin {
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

protected:
    void on_sample_rate_changed() override;
    void on_channel_count_changed(int direction, int count) override;
    void build_config_list() override;

private:
    // Scales one channel's block into the output range: clip just below full scale, then
    // apply the ceiling.
    static void clip_and_scale(float* samples, int stride, int frames, float ceiling_gain);

    // Controls, in index order; each registers itself with this plug-in as it is built.
    axo_param_volume threshold;
    axo_param_volume ceiling;
    axo_param_delay release;

    // Largest driven peak seen since each entry was last read, never below 1.0.
    float peak_hold[window_frames] = {};
    // Read position of peak_hold; after its advance in a frame, the write position of
    // gain_ring.
    int32_t ring_pos = 0;
    // The last 64 values of the gain envelope.
    float gain_ring[window_frames] = {};
    // Driven input of the last 64 frames, channel 0 then channel 1.
    float delay_line[window_frames][2] = {};
    // Next slot of delay_line; 1..64 between calls (0 after reset), reduced modulo 64 before
    // each use.
    int32_t delay_pos = 0;
    // Linear gain that follows the held peaks: falls at once, recovers at the release rate.
    float gain_env = 0.0f;
};
