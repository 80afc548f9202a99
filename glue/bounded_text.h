// Copies of texts into buffers a host owns, never longer than the buffer's agreed size.
#pragma once

#include <cstddef>
#include <cstring>

// Writes exactly limit bytes: at most limit - 1 characters of text, then zeros, so the
// result is always terminated. A null text writes only zeros.
inline void copy_bounded_text(char* dest, const char* text, size_t limit) {
    size_t length = 0;
    if (text != nullptr) {
        while (length + 1 < limit && text[length] != '\0') ++length;
        std::memcpy(dest, text, length);
    }
    std::memset(dest + length, 0, limit - length);
}
