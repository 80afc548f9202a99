#include "measure/measured_stages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// NaN and infinity are the floats whose exponent bits are all set; the test on the bits has
// no branch, so the compiler checks several samples at once.
bool all_finite(const float* samples, int64_t count) {
    uint32_t any = 0;
    for (int64_t i = 0; i < count; ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, &samples[i], sizeof bits);
        any |= static_cast<uint32_t>((bits & 0x7f800000u) == 0x7f800000u);
    }
    return any == 0;
}

// Non-finite samples are measured as silence, so that every figure stays a number.
void silence_nonfinite(float* samples, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) samples[i] = 0.0f;
    }
}

}  // namespace

const float* measured_source::next(float* buffer, int64_t frames, int64_t& got) {
    float* room = meter_.reserve(frames, stream_);
    if (room == nullptr) {
        const float* read = in_.next(buffer, frames, got);
        if (got > 0) add_finite(read, got);
        return read;
    }
    const float* read = in_.next(room, frames, got);
    const int64_t samples = got * meter_.channels();
    // A source that answers from memory of its own is copied into the room.
    if (read != room && got > 0) std::copy(read, read + samples, room);
    if (got > 0 && !all_finite(room, samples)) {
        // The next stage gets the samples as they are; the meter, silence in their place.
        std::copy(room, room + samples, buffer);
        silence_nonfinite(room, samples);
        meter_.commit(got, stream_);
        return buffer;
    }
    meter_.commit(got, stream_);
    return room;
}

void measured_source::add_finite(const float* read, int64_t frames) {
    const int64_t samples = frames * meter_.channels();
    if (all_finite(read, samples)) {
        meter_.add(read, frames, stream_);
        return;
    }
    finite_.assign(read, read + samples);
    silence_nonfinite(finite_.data(), samples);
    meter_.add(finite_.data(), frames, stream_);
}

float* measured_sink::room(int64_t frames) {
    float* room = meter_.reserve(frames, stream_);
    reserved_ = room;
    return room;
}

void measured_sink::write(const float* interleaved, int64_t frames) {
    if (interleaved != nullptr && interleaved == reserved_)
        meter_.commit(frames, stream_);
    else
        meter_.add(interleaved, frames, stream_);
    reserved_ = nullptr;
}
