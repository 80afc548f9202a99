// The state stream of axo_plugin: save_state, load_state and handle_event. Records come
// from host projects and event lists, so every field is read only within the bytes that
// both the record's size field and the stream say the record has.
#include <cstring>
#include <string>
#include <vector>

#include "axo_aux_i.h"
#include "axo_codes.h"
#include "axo_factory_i.h"
#include "axo_param.h"
#include "axo_plugin.h"

namespace {

// Parameter, tempo and bypass records are applied on the audio path and must not allocate:
// they are read through this fixed local buffer, and their fields all lie in the first 36
// bytes. A record of these types that is longer than the buffer is not applied.
constexpr int32_t small_record_bytes = 256;
constexpr int32_t fixed_area_bytes = AXO_SIZE_PARAM_REAL;
// Identifier and extension records get a buffer of their own size; a record larger than
// this is taken as damaged rather than allocated for.
constexpr int32_t max_record_bytes = 1 << 20;

int32_t front_type(const unsigned char* header) {
    return axo_get_i32(header + AXO_HEADER_TYPE);
}

// How many bytes the front record holds according to the stream, provided its size field
// covers at least a header and the record fits into capacity; -1 otherwise.
int32_t front_length(axo_aux_i* stream, int32_t capacity, int32_t* declared_out) {
    unsigned char header[AXO_HEADER_SIZE];
    if (stream->peek_header(header) == 0) return -1;
    const int32_t declared = axo_get_i32(header + AXO_HEADER_SIZE_FIELD);
    int stored = -1;
    if (stream->read(nullptr, nullptr, &stored) == 0) return -1;
    if (declared < AXO_HEADER_SIZE || stored < AXO_HEADER_SIZE || stored > capacity) return -1;
    *declared_out = declared;
    return stored;
}

// The bytes of a record that count: its declared size, but never more than were stored.
int32_t usable_length(int32_t declared, int32_t stored) {
    return declared < stored ? declared : stored;
}

// Copies the front record's first 36 bytes into area, zero beyond the record's end.
bool read_fixed_area(axo_aux_i* stream, unsigned char* area) {
    int32_t declared = 0;
    const int32_t stored = front_length(stream, small_record_bytes, &declared);
    if (stored < 0) return false;
    unsigned char buffer[small_record_bytes];
    if (stream->read(nullptr, buffer, nullptr) == 0) return false;
    int32_t n = usable_length(declared, stored);
    if (n > fixed_area_bytes) n = fixed_area_bytes;
    std::memset(area, 0, fixed_area_bytes);
    std::memcpy(area, buffer, static_cast<size_t>(n));
    return true;
}

// Reads the front record into a buffer of its own; answers the usable length, or -1 when
// the record is damaged or memory is short (the record is then not applied).
int32_t read_owned(axo_aux_i* stream, std::vector<unsigned char>& buffer) {
    int32_t declared = 0;
    const int32_t stored = front_length(stream, max_record_bytes, &declared);
    if (stored < 0) return -1;
    try {
        buffer.assign(static_cast<size_t>(stored), 0);
    } catch (...) {
        return -1;
    }
    if (stream->read(nullptr, buffer.data(), nullptr) == 0) return -1;
    return usable_length(declared, stored);
}

// The text of an identifier record ends at its zero byte or at the record's end.
bool identifier_matches(const std::vector<unsigned char>& record, int32_t length,
                        const std::string& own) {
    size_t n = 0;
    const size_t end = static_cast<size_t>(length);
    while (AXO_IDENTIFIER_TEXT + n < end && record[AXO_IDENTIFIER_TEXT + n] != 0) ++n;
    return n == own.size() && std::memcmp(record.data() + AXO_IDENTIFIER_TEXT, own.data(), n) == 0;
}

// Drops records up to and including the end record of the current block.
void discard_rest_of_block(axo_aux_i* stream) {
    unsigned char header[AXO_HEADER_SIZE];
    while (stream->peek_header(header) != 0) {
        const int32_t type = front_type(header);
        if (stream->pop() == 0 || type == AXO_REC_END) return;
    }
}

void put_marker(unsigned char* record, int32_t type) {
    axo_put_header(record, AXO_TIME_NOW, type, AXO_SIZE_BEGIN);
    record[AXO_PAYLOAD] = 0;
}

}  // namespace

std::string axo_plugin::own_identifier() {
    // A plug-in made without a factory tags its state with an empty identifier.
    const char* id = factory_ != nullptr ? factory_->get_info(0) : nullptr;
    return id != nullptr ? std::string(id) : std::string();
}

int axo_plugin::save_state(axo_aux_i* stream) {
    if (stream == nullptr) return 0;
    // A record the stream could not take makes the whole block unusable: the caller learns
    // of it through a 0 answer rather than storing a truncated state.
    bool written = true;
    try {
        unsigned char record[AXO_SIZE_PARAM_REAL];
        put_marker(record, AXO_REC_BEGIN);
        written &= stream->write(record) != 0;

        const std::string id = own_identifier();
        std::vector<unsigned char> id_record(AXO_IDENTIFIER_TEXT + id.size() + 1, 0);
        axo_put_header(id_record.data(), AXO_TIME_NOW, AXO_REC_IDENTIFIER,
                       static_cast<int32_t>(id_record.size()));
        std::memcpy(id_record.data() + AXO_IDENTIFIER_TEXT, id.data(), id.size());
        written &= stream->write(id_record.data()) != 0;

        for (int i = 0; i < get_param_count(); ++i) {
            axo_param* p = param_at(i);
            if (p->kind() == AXO_KIND_INTERNAL) continue;
            if (p->value_type() == AXO_VALUE_REAL) {
                axo_put_header(record, AXO_TIME_NOW, AXO_REC_PARAM_REAL, AXO_SIZE_PARAM_REAL);
                axo_put_i32(record + AXO_PARAM_INDEX, i);
                axo_put_f32(record + AXO_PARAM_VALUE, get_param_value(i));
                axo_put_f32(record + AXO_PARAM_EXTRA_1, 0.0f);
                axo_put_f32(record + AXO_PARAM_EXTRA_2, 0.0f);
                written &= stream->write(record) != 0;
            } else if (p->value_type() == AXO_VALUE_INT) {
                axo_put_header(record, AXO_TIME_NOW, AXO_REC_PARAM_INT, AXO_SIZE_PARAM_INT);
                axo_put_i32(record + AXO_PARAM_INDEX, i);
                axo_put_i32(record + AXO_PARAM_VALUE, get_param_int(i));
                written &= stream->write(record) != 0;
            }
        }

        axo_put_header(record, AXO_TIME_NOW, AXO_REC_BYPASS, AXO_SIZE_BYPASS);
        axo_put_i32(record + AXO_BYPASS_FLAG, get_bypass());
        written &= stream->write(record) != 0;

        save_extra_state(stream);

        put_marker(record, AXO_REC_END);
        written &= stream->write(record) != 0;
    } catch (...) {
        return 0;
    }
    return written ? 1 : 0;
}

int axo_plugin::load_state(axo_aux_i* stream) {
    if (stream == nullptr) return 1;
    unsigned char header[AXO_HEADER_SIZE];
    if (stream->peek_header(header) == 0) return 1;
    for (;;) {
        const int32_t type = front_type(header);
        if (type == AXO_REC_IDENTIFIER) {
            std::vector<unsigned char> record;
            const int32_t length = read_owned(stream, record);
            if (length < 0 || !identifier_matches(record, length, own_identifier())) {
                discard_rest_of_block(stream);
                return 0;
            }
            if (stream->pop() == 0) return 1;
        } else {
            // A nested begin record is only skipped: the block it opens is this one.
            if (type != AXO_REC_BEGIN) handle_event(stream);
            if (stream->pop() == 0) return 1;
            if (type == AXO_REC_END) return 1;
        }
        if (stream->peek_header(header) == 0) return 1;
    }
}

int axo_plugin::handle_event(axo_aux_i* stream) {
    if (stream == nullptr) return 0;
    unsigned char header[AXO_HEADER_SIZE];
    if (stream->peek_header(header) == 0) return 0;
    unsigned char area[fixed_area_bytes];
    switch (front_type(header)) {
        case AXO_REC_BEGIN: load_state(stream); return 2;
        case AXO_REC_END: return 2;
        case AXO_REC_PARAM_INT:
            if (!read_fixed_area(stream, area)) return 0;
            set_param_int(axo_get_i32(area + AXO_PARAM_INDEX), axo_get_i32(area + AXO_PARAM_VALUE));
            return 2;
        case AXO_REC_PARAM_REAL: {
            if (!read_fixed_area(stream, area)) return 0;
            const int index = axo_get_i32(area + AXO_PARAM_INDEX);
            set_param_value(index, axo_get_f32(area + AXO_PARAM_VALUE));
            axo_param* p = param_at(index);
            if (p != nullptr && p->value_type() == AXO_VALUE_REAL) {
                if (auto* real = dynamic_cast<axo_param_float*>(p)) {
                    real->set_event_extras(axo_get_f32(area + AXO_PARAM_EXTRA_1),
                                           axo_get_f32(area + AXO_PARAM_EXTRA_2));
                }
            }
            return 2;
        }
        case AXO_REC_TEMPO:
            if (!read_fixed_area(stream, area)) return 0;
            set_tempo(axo_get_f32(area + AXO_TEMPO_BPM));
            return 1;
        case AXO_REC_BYPASS:
            if (!read_fixed_area(stream, area)) return 0;
            set_bypass(axo_get_i32(area + AXO_BYPASS_FLAG));
            return 1;
        case AXO_REC_RESET: reset(); return 2;
        case AXO_REC_EXTENSION: return apply_extension_record(stream);
        default: return 0;
    }
}

int axo_plugin::apply_extension_record(axo_aux_i* stream) {
    std::vector<unsigned char> record;
    const int32_t length = read_owned(stream, record);
    if (length < 0) return 0;
    // The key is whatever the 64-byte key field holds up to its zero byte, and no further,
    // even when the field itself is cut short by the record's end.
    char key[AXO_EXTENSION_KEY_BYTES + 1] = {};
    const size_t end = static_cast<size_t>(length);
    for (size_t i = 0; i < AXO_EXTENSION_KEY_BYTES && AXO_EXTENSION_KEY + i < end; ++i) {
        key[i] = static_cast<char>(record[AXO_EXTENSION_KEY + i]);
        if (key[i] == 0) break;
    }
    // The data size field is trusted only as far as the record really holds data.
    int32_t size = 0;
    if (end >= AXO_EXTENSION_DATA) {
        const int32_t held = length - static_cast<int32_t>(AXO_EXTENSION_DATA);
        size = axo_get_i32(record.data() + AXO_EXTENSION_DATA_SIZE);
        if (size < 0) size = 0;
        if (size > held) size = held;
    }
    extension(key, size > 0 ? record.data() + AXO_EXTENSION_DATA : nullptr, size);
    return 2;
}
