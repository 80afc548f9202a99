#include "measure/measured_stages.h"

#include <algorithm>

const float* measured_source::next(float* buffer, int64_t frames, int64_t& got) {
    float* room = meter_.reserve(frames, stream_);
    if (room == nullptr) {
        const float* read = in_.next(buffer, frames, got);
        if (got > 0) meter_.add(read, got, stream_);
        return read;
    }
    const float* read = in_.next(room, frames, got);
    // A source that answers from memory of its own is copied into the room.
    if (read != room && got > 0) std::copy(read, read + got * meter_.channels(), room);
    meter_.commit(got, stream_);
    return room;
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
