// How hosts present a parameter of each kind: whether they see it at all, the unit label a
// host shows beside it, the unit a host with a unit vocabulary shows it in (with the
// conversion from the parameter's own units) and its display text. Every adapter reads the
// same rows, so a parameter looks alike in every format.
#pragma once

#include <cstddef>

// Units a host can show besides the parameter's own.
enum class param_unit {
    none,         // shown in the parameter's own units
    decibel,      // dB
    millisecond,  // ms
    hertz,        // Hz
    percent,      // %
};

struct param_kind {
    int kind;           // AXO_KIND_...
    const char* label;  // unit label shown beside the value
    param_unit unit;
    // From the parameter's own units to unit, and back; both computed in double precision.
    double (*to_unit)(double value);
    double (*from_unit)(double shown);
    // Display text of a value, into size bytes; value is the real value, index the integer.
    void (*format)(float value, int index, char* text, size_t size);
};

// Bytes of the buffer a host gives for a parameter name, option text or display text.
constexpr size_t param_text_bytes = 32;

// The row of a kind a host can present; null for any other kind (internal ones included).
const param_kind* find_param_kind(int kind);

bool has_real_value(int kind);
bool has_int_value(int kind);
