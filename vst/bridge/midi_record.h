// Turns one MIDI message from a host into the stream record an AXOI plug-in reads from its
// event stream.
#pragma once

#include <cstdint>

// Event kinds carried in a MIDI record.
constexpr int32_t MIDI_KIND_NOTE_ON = 1;
constexpr int32_t MIDI_KIND_NOTE_OFF = 2;
constexpr int32_t MIDI_KIND_POLY_PRESSURE = 3;
constexpr int32_t MIDI_KIND_CONTROL = 4;
constexpr int32_t MIDI_KIND_PROGRAM = 5;
constexpr int32_t MIDI_KIND_CHANNEL_PRESSURE = 6;
constexpr int32_t MIDI_KIND_PITCH_BEND = 7;
constexpr int32_t MIDI_KIND_RESET = 15;

// Writes the AXO_SIZE_MIDI bytes of the record for status byte status with data bytes d1
// and d2, taking effect at sample position time. Answers false, writing nothing, for a byte
// that carries no channel message: a data byte (below 0x80) or a system byte 0xF0..0xFE.
bool build_midi_record(unsigned char status, unsigned char d1, unsigned char d2, int64_t time,
                       unsigned char* out);
