// Input frames kept until the effect's delay makes them come out: the gain reduction meter
// compares each output frame with the input frame it came from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class input_history {
public:
    explicit input_history(int channels) : channels_(channels) {}

    void push(const float* interleaved, int64_t frames) {
        if (held_ + frames > capacity()) grow(held_ + frames);
        // At most two stretches: up to the end of the ring, then from its start.
        while (frames > 0) {
            const int64_t slot = (start_ + held_) & mask_;
            const int64_t n = std::min(frames, capacity() - slot);
            std::copy(interleaved, interleaved + n * channels_,
                      &samples_[static_cast<size_t>(slot * channels_)]);
            interleaved += n * channels_;
            frames -= n;
            held_ += n;
        }
    }
    // The input frame with this index since the start, or null when it is not (or no longer)
    // held: before the start, or a frame of the tail that follows the file.
    const float* frame(int64_t index) const {
        const int64_t offset = index - first_;
        if (index < 0 || offset < 0 || offset >= held_) return nullptr;
        return &samples_[static_cast<size_t>(((start_ + offset) & mask_) * channels_)];
    }
    // How many of the frames from `index` on (at most `limit`) lie side by side in the ring or
    // are all missing; `start` is the first of them, or null when they are missing.
    int64_t run(int64_t index, int64_t limit, const float*& start) const {
        start = frame(index);
        if (start != nullptr) {
            const int64_t offset = index - first_;
            const int64_t slot = (start_ + offset) & mask_;
            return std::min({limit, held_ - offset, capacity() - slot});
        }
        if (index < first_) return std::min(limit, first_ - index);
        return limit;
    }
    void forget_before(int64_t index) {
        const int64_t drop = std::min(index - first_, held_);
        if (drop <= 0) return;
        start_ = (start_ + drop) & mask_;
        first_ += drop;
        held_ -= drop;
    }

private:
    int64_t capacity() const { return mask_ + 1; }
    // A ring whose size is a power of two, so that a frame's place is a mask away; it grows
    // only until it holds the effect's delay and one block.
    void grow(int64_t frames) {
        int64_t size = std::max<int64_t>(capacity(), 1024);
        while (size < frames) size *= 2;
        std::vector<float> larger(static_cast<size_t>(size * channels_));
        for (int64_t f = 0; f < held_; ++f) {
            const float* from = frame(first_ + f);
            std::copy(from, from + channels_, &larger[static_cast<size_t>(f * channels_)]);
        }
        samples_.swap(larger);
        mask_ = size - 1;
        start_ = 0;
    }

    int channels_;
    int64_t first_ = 0;  // index of the oldest frame held
    int64_t start_ = 0;  // its slot
    int64_t held_ = 0;
    int64_t mask_ = -1;  // capacity - 1; nothing held yet
    std::vector<float> samples_;
};
