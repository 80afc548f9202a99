#include "audio/rate_converter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "render_error.h"

namespace {

constexpr int64_t input_block_frames = 4096;

}  // namespace

rate_converter::rate_converter(frame_source& in, int channels, int from_hz, int to_hz)
    : in_(in), channels_(channels), block_(static_cast<size_t>(input_block_frames * channels)) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    converter_ = soxr_create(from_hz, to_hz, static_cast<unsigned>(channels), &error, &io, &quality,
                             nullptr);
    if (converter_ == nullptr || error != nullptr) {
        throw render_error(exit_status::failure, "cannot convert " + std::to_string(from_hz) +
                                                     " Hz to " + std::to_string(to_hz) +
                                                     " Hz: " + (error ? error : "no converter"));
    }
}

rate_converter::~rate_converter() {
    soxr_delete(converter_);
}

int64_t rate_converter::converted_frames(int64_t frames, int from_hz, int to_hz) {
    return std::llround(static_cast<double>(frames) * to_hz / from_hz);
}

const float* rate_converter::next(float* buffer, int64_t frames, int64_t& got) {
    got = 0;
    while (got == 0) {
        if (pending_frames_ == 0 && !input_ended_) {
            int64_t read = 0;
            const float* from = in_.next(block_.data(), input_block_frames, read);
            if (read <= 0) {
                input_ended_ = true;
            } else {
                // One NaN would spread over the whole length of the converter's filter; a
                // non-finite sample goes in as silence instead.
                float* own = block_.data();
                if (from != own) std::copy(from, from + read * channels_, own);
                std::replace_if(
                    own, own + read * channels_, [](float v) { return !std::isfinite(v); }, 0.0f);
                pending_ = own;
                pending_frames_ = read;
            }
        }
        size_t taken = 0;
        size_t made = 0;
        // No input pointer tells the converter that the input has ended: it flushes its tail.
        const soxr_error_t error = soxr_process(converter_, input_ended_ ? nullptr : pending_,
                                                static_cast<size_t>(pending_frames_), &taken,
                                                buffer, static_cast<size_t>(frames), &made);
        if (error != nullptr)
            throw render_error(exit_status::failure, std::string("rate conversion: ") + error);
        pending_ += taken * static_cast<size_t>(channels_);
        pending_frames_ -= static_cast<int64_t>(taken);
        got = static_cast<int64_t>(made);
        if (made == 0 && input_ended_) break;
    }
    return buffer;
}
