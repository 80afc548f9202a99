#include "vst/bridge/midi_record.h"

#include <cstring>

#include "framework/axo_codes.h"
#include "framework/axo_records.h"

namespace {

struct midi_fields {
    int32_t kind;
    int32_t data_1;
    int32_t data_2;
};

bool classify(unsigned char status, int32_t d1, int32_t d2, midi_fields& f) {
    if (status == 0xFF) {
        f = {MIDI_KIND_RESET, 0, 0};
        return true;
    }
    switch (status & 0xF0) {
        case 0x80: f = {MIDI_KIND_NOTE_OFF, d1, 0}; return true;
        case 0x90:
            f = d2 != 0 ? midi_fields{MIDI_KIND_NOTE_ON, d1, d2}
                        : midi_fields{MIDI_KIND_NOTE_OFF, d1, 0};
            return true;
        case 0xA0: f = {MIDI_KIND_POLY_PRESSURE, d1, d2}; return true;
        case 0xB0: f = {MIDI_KIND_CONTROL, d1, d2}; return true;
        case 0xC0: f = {MIDI_KIND_PROGRAM, d1, 0}; return true;
        case 0xD0: f = {MIDI_KIND_CHANNEL_PRESSURE, d1, 0}; return true;
        case 0xE0: f = {MIDI_KIND_PITCH_BEND, d1 + 128 * d2, 0}; return true;
        default: return false;
    }
}

}  // namespace

bool build_midi_record(unsigned char status, unsigned char d1, unsigned char d2, int64_t time,
                       unsigned char* out) {
    midi_fields f{};
    if (!classify(status, d1, d2, f)) return false;
    std::memset(out, 0, AXO_SIZE_MIDI);
    axo_put_header(out, time, AXO_REC_MIDI, AXO_SIZE_MIDI);
    axo_put_i32(out + AXO_MIDI_STATUS, status == 0xFF ? -1 : static_cast<int32_t>(status));
    axo_put_i32(out + AXO_MIDI_KIND, f.kind);
    axo_put_i32(out + AXO_MIDI_DATA_1, f.data_1);
    axo_put_i32(out + AXO_MIDI_DATA_2, f.data_2);
    return true;
}
