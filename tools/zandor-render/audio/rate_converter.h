// Sample-rate conversion as a stage of the render: frames of a source at one rate come out
// at another, converted by libsoxr at its very high quality as they stream through, so that
// memory stays the same whatever the file's length.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/frame_source.h"

struct soxr;

class rate_converter : public frame_source {
public:
    // Throws render_error(failure) when libsoxr cannot be set up for these rates.
    rate_converter(frame_source& in, int channels, int from_hz, int to_hz);
    ~rate_converter() override;
    rate_converter(const rate_converter&) = delete;
    rate_converter& operator=(const rate_converter&) = delete;

    const float* next(float* buffer, int64_t frames, int64_t& got) override;

    // The frames a source of `frames` at `from_hz` gives at `to_hz`.
    static int64_t converted_frames(int64_t frames, int from_hz, int to_hz);

private:
    frame_source& in_;
    int channels_;
    soxr* converter_ = nullptr;
    std::vector<float> block_;
    const float* pending_ = nullptr;  // input frames read but not yet taken by the converter
    int64_t pending_frames_ = 0;
    bool input_ended_ = false;
};
