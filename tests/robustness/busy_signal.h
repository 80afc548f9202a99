// A signal that keeps the limiter's gain, release and delay line all busy.
#pragma once

#include <cmath>
#include <cstdint>

#include "support/vst_effect.h"

// Quiet noise with loud bursts (peaks up to 4.0) every few thousand frames.
inline stereo busy_signal(size_t frames, uint32_t seed) {
    stereo s(frames);
    uint32_t state = seed;
    for (size_t t = 0; t < frames; ++t) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
        const float burst = (t / 1500) % 3 == 1 ? 4.0f : 0.3f;
        s.l[t] = burst * noise;
        s.r[t] = 0.5f * burst * static_cast<float>(std::sin(0.01 * static_cast<double>(t)));
    }
    return s;
}
