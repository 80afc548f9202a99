// Display texts a derived effect can use for its parameters.
#include "vst/base/AudioEffect.h"

#include <cmath>
#include <cstdint>

namespace {

// Copies at most maxLen characters and zero-fills up to and including text[maxLen].
void copyBounded(char* text, const char* source, VstInt32 maxLen) {
    if (!text || maxLen < 0) return;
    VstInt32 i = 0;
    for (; i < maxLen && source[i]; ++i) text[i] = source[i];
    for (; i <= maxLen; ++i) text[i] = 0;
}

constexpr const char* kHuge = "Huge!";

// Eight characters counting the sign and the point: every integer digit, the point, then
// fraction digits truncated (not rounded) until the width is filled.
void formatFixedWidth(float value, char (&out)[24]) {
    constexpr int kWidth = 8;
    const double wide = value;
    // The negated comparison also sends NaN here, which has no digits to show.
    if (!(wide <= 99999999.0 && wide >= -9999999.0)) {
        copyBounded(out, kHuge, sizeof out - 1);
        return;
    }
    const double magnitude = std::fabs(wide);
    const double integerPart = std::floor(magnitude);
    int pos = 0;
    if (wide < 0) out[pos++] = '-';

    char digits[12];
    int count = 0;
    auto integer = static_cast<int64_t>(integerPart);
    do {
        digits[count++] = static_cast<char>('0' + integer % 10);
        integer /= 10;
    } while (integer > 0);
    while (count > 0) out[pos++] = digits[--count];
    out[pos++] = '.';

    // A float has at most 24 significant bits, so these products stay exact in double.
    double fraction = magnitude - integerPart;
    while (pos < kWidth) {
        fraction *= 10.0;
        int digit = 0;
        if (fraction > 0) {
            digit = static_cast<int>(fraction);
            if (digit > 9) digit = 9;
            fraction -= digit;
        }
        out[pos++] = static_cast<char>('0' + digit);
    }
    out[pos] = 0;
}

}  // namespace

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    // Silence and below (and NaN) have no decibel value.
    if (!(value > 0)) {
        copyBounded(text, "-oo", maxLen);
        return;
    }
    const auto log = static_cast<float>(std::log10(static_cast<double>(value)));
    float2string(20.0f * log, text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    if (samples == 0) {
        float2string(0.0f, text, maxLen);
        return;
    }
    float2string(getSampleRate() / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    float2string(samples * 1000.0f / getSampleRate(), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    char formatted[24];
    formatFixedWidth(value, formatted);
    copyBounded(text, formatted, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    // Digits run from the hundred-millions place down, so a magnitude of a billion or more
    // cannot be written; the largest negative value has no positive counterpart in 32 bits.
    if (value >= 100000000 || value <= -1000000000) {
        copyBounded(text, kHuge, maxLen);
        return;
    }
    char formatted[16];
    int pos = 0;
    int64_t magnitude = value;
    if (magnitude < 0) {
        formatted[pos++] = '-';
        magnitude = -magnitude;
    }
    bool leading = true;
    for (int64_t place = 100000000; place > 0; place /= 10) {
        const auto digit = static_cast<int>(magnitude / place);
        magnitude %= place;
        if (leading && digit == 0 && place > 1) continue;
        leading = false;
        formatted[pos++] = static_cast<char>('0' + digit);
    }
    formatted[pos] = 0;
    copyBounded(text, formatted, maxLen);
}
