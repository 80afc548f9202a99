// A plainly written model of the limiter's signal path, kept apart from the plug-in's code
// and used as the oracle for its output. It follows the steps literally: every named
// quantity is a float, the trapezoid weight is a running float sum, ring positions are taken
// modulo 64 with %. It knows finite input only.
#pragma once

#include <cmath>
#include <vector>

struct limiter_model {
    float peak_hold[64];
    int ring_pos;
    float gain_ring[64];
    float delay_line[64][2];
    int delay_pos;
    float gain_env;
    // Channel 0 of the last block before the clip and ceiling.
    std::vector<float> unclipped;

    limiter_model() { reset(); }

    void reset() {
        for (int i = 0; i < 64; ++i) {
            peak_hold[i] = 1.0f;
            gain_ring[i] = 1.0f;
            delay_line[i][0] = 0.0f;
            delay_line[i][1] = 0.0f;
        }
        gain_env = 10000.0f;
        ring_pos = 0;
        delay_pos = 0;
    }

    float age(int a) const { return gain_ring[((ring_pos - a) % 64 + 64) % 64]; }

    // One call of the signal path on separate channel buffers. With channels == 1 only in0
    // is read and only out0 written.
    void process(const float* in0, const float* in1, float* out0, float* out1, int frames,
                 int channels, float threshold, float ceiling, float release, float rate) {
        if (channels == 1) {
            in1 = in0;
            out1 = out0;
        }
        const float drive = 1.0f / threshold;
        const float rate_release = rate * release;
        const float exponent = 1.0f / rate_release;
        const float g = (float)std::pow((double)0.1f, (double)exponent);
        const float step = 1.0f / 27.0f;
        unclipped.assign(static_cast<size_t>(frames > 0 ? frames : 0), 0.0f);

        for (int t = 0; t < frames; ++t) {
            const float x0 = in0[t];
            const float x1 = in1[t];
            const float a = x0 * drive + 1e-30f;
            const float b = x1 * drive + 1e-30f;
            const float p = std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b);
            if (p > 1.0f) {
                for (int i = 0; i < 64; ++i) {
                    if (peak_hold[i] < p) peak_hold[i] = p;
                }
            }
            const float v = peak_hold[ring_pos];
            peak_hold[ring_pos] = 1.0f;
            ring_pos = (ring_pos + 1) % 64;
            const float target = 1.0f / v;
            if (target < gain_env) {
                gain_env = target;
            } else {
                gain_env = target + (gain_env - target) * g;
            }
            gain_ring[ring_pos] = gain_env;

            float s = 0.0f;
            float w = step;
            for (int i = 0; i <= 12; ++i) {
                s = s + w * (age(63 - 2 * i) + age(2 * i));
                w = w + step;
                s = s + w * (age(2 * i + 1) + age(62 - 2 * i));
                w = w + step;
            }
            for (int a26 = 26; a26 <= 37; ++a26) s = s + age(a26);
            const float m = s * (1.0f / 38.0f);

            delay_pos = delay_pos % 64;
            const float d0 = delay_line[delay_pos][0];
            const float d1 = delay_line[delay_pos][1];
            delay_line[delay_pos][0] = a;
            delay_line[delay_pos][1] = b;
            delay_pos = delay_pos + 1;
            out0[t] = m * d0;
            out1[t] = m * d1;
            unclipped[static_cast<size_t>(t)] = out0[t];
        }

        const float level = 0.99999982f;
        for (int c = 0; c < channels; ++c) {
            float* out = c == 0 ? out0 : out1;
            for (int t = 0; t < frames; ++t) {
                float y = out[t];
                if (y > level) {
                    y = level;
                } else if (y < -level) {
                    y = -level;
                }
                out[t] = y * ceiling;
            }
        }
    }
};
