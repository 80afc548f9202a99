// Numeric codes shared by every side of the AXOI interface: hosts, plug-ins and streams.
#pragma once

#include <cstdint>

// Directions of the channel and configuration operations.
constexpr int AXO_DIR_AUDIO_IN = 0;
constexpr int AXO_DIR_AUDIO_OUT = 1;
constexpr int AXO_DIR_EVENT_IN = 2;
constexpr int AXO_DIR_EVENT_OUT = 3;
constexpr int AXO_DIR_COUNT = 4;

// Configuration record kinds (low 12 bits of the record code) and preference flags.
constexpr int32_t AXO_CFG_AUDIO = 1;
constexpr int32_t AXO_CFG_EVENTS = 2;
constexpr int32_t AXO_CFG_RATE = 3;
constexpr int32_t AXO_CFG_RATE_RANGE = 4;
constexpr int32_t AXO_CFG_KIND_MASK = 0x0FFF;
constexpr int32_t AXO_CFG_PREFER_BY_INPUT = 0x1000;
constexpr int32_t AXO_CFG_PREFER_BY_OUTPUT = 0x2000;

// Parameter value types.
constexpr int AXO_VALUE_NONE = 0;
constexpr int AXO_VALUE_INT = 1;
constexpr int AXO_VALUE_REAL = 2;

// Parameter kinds: they tell a host how to present a parameter and whether to expose it.
constexpr int AXO_KIND_REAL_BIT = 0x1000;
constexpr int AXO_KIND_INT_BIT = 0x2000;
constexpr int AXO_KIND_NUMBER = 4096;
constexpr int AXO_KIND_GAIN = 4100;
constexpr int AXO_KIND_PAN = 4101;
constexpr int AXO_KIND_INTERNAL = 4102;
constexpr int AXO_KIND_FREQUENCY = 4103;
constexpr int AXO_KIND_PERCENT = 4104;
constexpr int AXO_KIND_Q = 4105;
constexpr int AXO_KIND_TIME = 4106;
constexpr int AXO_KIND_DECIBEL = 4107;
constexpr int AXO_KIND_DATA = 4351;
constexpr int AXO_KIND_INTEGER = 8192;
constexpr int AXO_KIND_SWITCH = 8193;
constexpr int AXO_KIND_SELECT = 8194;

// Visibility answered for a parameter hidden from hosts.
constexpr int AXO_VISIBILITY_HIDDEN = -1;

// Mapping curves between a host's normalised position and a real value.
constexpr int AXO_CURVE_LINEAR = 1;
constexpr int AXO_CURVE_EXP = 2;
constexpr int AXO_CURVE_SQUARE = 3;
constexpr int AXO_CURVE_LINEAR_REV = 5;
constexpr int AXO_CURVE_EXP_REV = 6;
constexpr int AXO_CURVE_SQUARE_REV = 7;

// Range selectors of get_param_range.
constexpr int AXO_RANGE_MAP_HIGH = 1;
constexpr int AXO_RANGE_MAP_LOW = 2;
constexpr int AXO_RANGE_MAX = 3;
constexpr int AXO_RANGE_MIN = 4;

// Process modes, set by the host before every processing call.
constexpr int AXO_MODE_UNSPECIFIED = 0;
constexpr int AXO_MODE_REALTIME = 1;
constexpr int AXO_MODE_OFFLINE = 2;

// Stream record types.
constexpr int32_t AXO_REC_BEGIN = 2;
constexpr int32_t AXO_REC_END = 3;
constexpr int32_t AXO_REC_MIDI = 4;
constexpr int32_t AXO_REC_PARAM_INT = 5;
constexpr int32_t AXO_REC_PARAM_REAL = 6;
constexpr int32_t AXO_REC_TEMPO = 9;
constexpr int32_t AXO_REC_BYPASS = 10;
constexpr int32_t AXO_REC_IDENTIFIER = 12;
constexpr int32_t AXO_REC_RESET = 13;
constexpr int32_t AXO_REC_EXTENSION = 14;

// Time of a stream record that applies at once, before any sample.
constexpr int64_t AXO_TIME_NOW = -1;
