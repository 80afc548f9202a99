// Where a render takes its frames from: a file, or a stage that measures a file's frames on
// their way through.
#pragma once

#include <cstdint>

class frame_source {
public:
    virtual ~frame_source() = default;
    // Up to `frames` interleaved frames, read into `buffer` (room for `frames`) or into memory
    // of the source's own; answers where they are, valid until the next call, and sets `got`
    // to how many, 0 at the end. Throws render_error on a read error.
    virtual const float* next(float* buffer, int64_t frames, int64_t& got) = 0;
};
