// Where a render puts the frames that come out of the effect: a file, a meter, or a file that
// passes what it wrote on to a meter. Stages are chained, each knowing only the next.
#pragma once

#include <cstdint>

class frame_sink {
public:
    virtual ~frame_sink() = default;
    // Room for the next `frames` interleaved frames, which the stage before may fill in place
    // and then hand to write() as they are, saving a copy; null where the sink has no such
    // room (the caller then writes from its own memory).
    virtual float* room(int64_t /*frames*/) { return nullptr; }
    // Takes `frames` interleaved frames; throws render_error when they cannot be kept.
    virtual void write(const float* interleaved, int64_t frames) = 0;
};
