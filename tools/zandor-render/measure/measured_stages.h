// Measuring as a stage of the render: frames read from the input, or frames on their way to
// (or back from) the output, pass through a stream of a level_meter. The meter measures on
// its own thread; the stages hand it each block, in its ring where it has the room in one
// piece, so that the frames are not copied there afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/frame_sink.h"
#include "audio/frame_source.h"
#include "meter/level_meter.h"

// Passes a source's frames on unchanged, measuring them on `stream` of `meter`; NaN and
// infinite samples are measured as silence.
class measured_source : public frame_source {
public:
    measured_source(frame_source& in, level_meter& meter, int stream)
        : in_(in), meter_(meter), stream_(stream) {}
    const float* next(float* buffer, int64_t frames, int64_t& got) override;

private:
    void add_finite(const float* read, int64_t frames);

    frame_source& in_;
    level_meter& meter_;
    int stream_;
    std::vector<float> finite_;  // a block with its non-finite samples silenced
};

// The end of a chain: measures every frame written on `stream` of `meter`.
class measured_sink : public frame_sink {
public:
    measured_sink(level_meter& meter, int stream) : meter_(meter), stream_(stream) {}
    float* room(int64_t frames) override;
    void write(const float* interleaved, int64_t frames) override;

private:
    level_meter& meter_;
    int stream_;
    const float* reserved_ = nullptr;  // the room handed out last, until it is written
};
