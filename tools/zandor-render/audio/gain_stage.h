// An input gain as a stage of the render: every sample of a source times a gain computed in
// double and stored as float, the one rounding a float gain can have.
#pragma once

#include <cmath>
#include <cstdint>

#include "audio/frame_source.h"

class gain_stage : public frame_source {
public:
    gain_stage(frame_source& in, int channels, double gain_db)
        : in_(in), channels_(channels), gain_(static_cast<float>(std::pow(10.0, gain_db / 20.0))) {}

    const float* next(float* buffer, int64_t frames, int64_t& got) override {
        const float* read = in_.next(buffer, frames, got);
        for (int64_t i = 0; i < got * channels_; ++i) buffer[i] = read[i] * gain_;
        return buffer;
    }

private:
    frame_source& in_;
    int channels_;
    float gain_;
};
