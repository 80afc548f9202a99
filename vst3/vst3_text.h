// Texts between the plug-in's 8-bit strings and the host's UTF-16 buffers of a fixed size.
#pragma once

#include <cstddef>
#include <string>

#include "vst3/vst3_abi.h"

// Writes exactly units code units: at most units - 1 characters of text, widened byte by
// byte (the plug-in's texts are ASCII), then zeros. A null text writes only zeros.
inline void copy_utf16(vst3::char16* dest, const char* text, size_t units) {
    size_t n = 0;
    if (text != nullptr) {
        for (; n + 1 < units && text[n] != '\0'; ++n) {
            dest[n] = static_cast<vst3::char16>(static_cast<unsigned char>(text[n]));
        }
    }
    for (; n < units; ++n) dest[n] = 0;
}

// At most limit code units of a host's text up to its zero; characters beyond ASCII become
// '?', so that no number or option text can match them by accident.
inline std::string narrow_utf16(const vst3::char16* text, size_t limit) {
    std::string out;
    for (size_t i = 0; text != nullptr && i < limit && text[i] != 0; ++i) {
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    return out;
}
