// Decoding a fuzzer's bytes into the calls a host or a project file makes. Every input decodes
// to something: a read past the end gives zeros, so the fuzzer can shorten any input freely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/require.h"

using bytes = std::vector<unsigned char>;

class fuzz_input {
public:
    fuzz_input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - at_; }

    // The next sizeof(T) bytes as a T (little-endian), zero-filled past the end.
    template <typename T>
    T take() {
        unsigned char raw[sizeof(T)] = {};
        const size_t n = remaining() < sizeof(T) ? remaining() : sizeof(T);
        if (n > 0) std::memcpy(raw, data_ + at_, n);
        at_ += n;
        T value;
        std::memcpy(&value, raw, sizeof(T));
        return value;
    }

    // A number in 0 .. limit - 1.
    uint32_t take_below(uint32_t limit) { return limit == 0 ? 0 : take<uint16_t>() % limit; }

    // Up to n bytes, fewer when the input ends first.
    bytes take_bytes(size_t n) {
        if (n > remaining()) n = remaining();
        bytes out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }

    // A run of bytes whose length comes first, as a 16-bit count.
    bytes take_sized() { return take_bytes(take<uint16_t>()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Audio in -1 .. 1, read as 16-bit samples; silence past the end of the input.
inline void take_audio(fuzz_input& in, std::vector<float>& samples) {
    for (float& s : samples) s = static_cast<float>(in.take<int16_t>()) / 32768.0f;
}

// True when the chunk is a run of length-framed records that ends exactly at its end.
inline bool chunk_is_well_formed(const unsigned char* chunk, size_t size) {
    size_t at = 0;
    while (at < size) {
        if (size - at < 4) return false;
        int32_t length;
        std::memcpy(&length, chunk + at, 4);
        if (length < 20 || static_cast<size_t>(length) > size - at - 4) return false;
        at += 4 + static_cast<size_t>(length);
    }
    return true;
}
