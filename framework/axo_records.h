// Byte layouts of configuration records and stream records. Writers and readers of streams
// use these offsets and sizes; every multi-byte field is little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// One entry of a plug-in's configuration list (20 bytes).
struct axo_config_t {
    int32_t code;  // kind in the low 12 bits, preference flags above
    int32_t a;     // kinds 1 and 2: input count
    int32_t b;     // kinds 1 and 2: output count
    float lo;      // kind 3: the rate; kind 4: lowest rate (Hz)
    float hi;      // kind 4: highest rate (Hz)
};
static_assert(sizeof(axo_config_t) == 20, "configuration record is 20 bytes");

// Stream record header.
constexpr int32_t AXO_HEADER_SIZE = 20;
constexpr size_t AXO_HEADER_TIME = 0;
constexpr size_t AXO_HEADER_TYPE = 8;
constexpr size_t AXO_HEADER_SIZE_FIELD = 12;
constexpr size_t AXO_HEADER_RESERVED = 16;
constexpr size_t AXO_PAYLOAD = 20;

// Fixed record sizes and payload offsets.
constexpr int32_t AXO_SIZE_BEGIN = 21;
constexpr int32_t AXO_SIZE_END = 21;
constexpr int32_t AXO_SIZE_PARAM_INT = 28;
constexpr int32_t AXO_SIZE_PARAM_REAL = 36;
constexpr int32_t AXO_SIZE_BYPASS = 24;
constexpr int32_t AXO_SIZE_TEMPO = 24;
constexpr int32_t AXO_SIZE_MIDI = 49;
constexpr size_t AXO_PARAM_INDEX = 20;
constexpr size_t AXO_PARAM_VALUE = 24;
constexpr size_t AXO_PARAM_EXTRA_1 = 28;
constexpr size_t AXO_PARAM_EXTRA_2 = 32;
constexpr size_t AXO_BYPASS_FLAG = 20;
constexpr size_t AXO_TEMPO_BPM = 20;
constexpr size_t AXO_IDENTIFIER_TEXT = 20;
constexpr size_t AXO_EXTENSION_KEY = 20;
constexpr size_t AXO_EXTENSION_KEY_BYTES = 64;
constexpr size_t AXO_EXTENSION_DATA_SIZE = 84;
constexpr size_t AXO_EXTENSION_DATA = 88;

// MIDI record payload (built by the VST adapter from host events).
constexpr size_t AXO_MIDI_STATUS = 24;
constexpr size_t AXO_MIDI_KIND = 28;
constexpr size_t AXO_MIDI_DATA_1 = 32;
constexpr size_t AXO_MIDI_DATA_2 = 36;

// Little-endian field access on raw record bytes. Callers check that the field lies within
// the record before they call these.
inline void axo_put_i32(unsigned char* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}
inline void axo_put_i64(unsigned char* p, int64_t v) {
    const uint64_t u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}
inline void axo_put_f32(unsigned char* p, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    axo_put_i32(p, static_cast<int32_t>(u));
}
inline int32_t axo_get_i32(const unsigned char* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}
inline int64_t axo_get_i64(const unsigned char* p) {
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(p[i]) << (8 * i);
    return static_cast<int64_t>(u);
}
inline float axo_get_f32(const unsigned char* p) {
    const uint32_t u = static_cast<uint32_t>(axo_get_i32(p));
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

// Writes a record header: time, type, total size (header included), reserved 0.
inline void axo_put_header(unsigned char* p, int64_t time, int32_t type, int32_t size) {
    axo_put_i64(p + AXO_HEADER_TIME, time);
    axo_put_i32(p + AXO_HEADER_TYPE, type);
    axo_put_i32(p + AXO_HEADER_SIZE_FIELD, size);
    axo_put_i32(p + AXO_HEADER_RESERVED, 0);
}
