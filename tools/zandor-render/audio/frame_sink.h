// Where a render puts the frames that come out of the effect: a file, or only a meter.
#pragma once

#include <cstdint>

class frame_sink {
public:
    virtual ~frame_sink() = default;
    // Takes `frames` interleaved frames; throws render_error when they cannot be kept.
    virtual void write(const float* interleaved, int64_t frames) = 0;
};
