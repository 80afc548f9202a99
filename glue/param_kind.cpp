#include "glue/param_kind.h"

#include <cmath>
#include <cstdio>

#include "framework/axo_codes.h"

namespace {

// Gains below this (2^-15) show as minus infinity decibels.
constexpr float quietest_shown_gain = 0.000030517578125f;
// Pan positions closer to the centre than this show as centre.
constexpr float pan_centre_width = 0.001f;
// Times up to this many seconds show with one decimal of milliseconds.
constexpr float short_time_seconds = 0.005f;

double same(double value) {
    return value;
}
double gain_to_db(double gain) {
    return gain > 0.0 ? 20.0 * std::log10(gain) : -HUGE_VAL;
}
double db_to_gain(double db) {
    return std::pow(10.0, db / 20.0);
}
double seconds_to_ms(double seconds) {
    return 1000.0 * seconds;
}
double ms_to_seconds(double ms) {
    return ms / 1000.0;
}
double fraction_to_percent(double fraction) {
    return 100.0 * fraction;
}
double percent_to_fraction(double percent) {
    return percent / 100.0;
}

void two_decimals(float v, int, char* t, size_t n) {
    std::snprintf(t, n, "%.2lf", static_cast<double>(v));
}
void gain_text(float v, int, char* t, size_t n) {
    if (v < quietest_shown_gain) {
        std::snprintf(t, n, "-INF");
    } else {
        const float decades = static_cast<float>(std::log10(static_cast<double>(v)));
        std::snprintf(t, n, "%.1lfdB", 20.0 * static_cast<double>(decades));
    }
}
void pan_text(float v, int, char* t, size_t n) {
    const double value = v;
    if (v < -pan_centre_width) {
        std::snprintf(t, n, "%.0f%% L", -100.0 * value);
    } else if (v > pan_centre_width) {
        std::snprintf(t, n, "%.0f%% R", 100.0 * value);
    } else {
        std::snprintf(t, n, "C");
    }
}
void frequency_text(float v, int, char* t, size_t n) {
    std::snprintf(t, n, "%.0lfHz", static_cast<double>(v));
}
void percent_text(float v, int, char* t, size_t n) {
    std::snprintf(t, n, "%.1lf%%", 100.0 * static_cast<double>(v));
}
void time_text(float v, int, char* t, size_t n) {
    std::snprintf(t, n, v > short_time_seconds ? "%.0lfms" : "%.1lfms",
                  1000.0 * static_cast<double>(v));
}
void decibel_text(float v, int, char* t, size_t n) {
    std::snprintf(t, n, "%.1lfdB", static_cast<double>(v));
}
void integer_text(float, int i, char* t, size_t n) {
    std::snprintf(t, n, "%d", i);
}
void switch_text(float, int i, char* t, size_t n) {
    std::snprintf(t, n, "%s", i != 0 ? "On" : "Off");
}
// A selection shows the text of its option, which only the plug-in knows.
void no_text(float, int, char*, size_t) {}

using unit = param_unit;
// clang-format off
constexpr param_kind kinds[] = {
    // kind               label      unit               to_unit              from_unit            format
    {AXO_KIND_NUMBER,     "Data",    unit::none,        same,                same,                two_decimals},
    {AXO_KIND_GAIN,       "Vol",     unit::decibel,     gain_to_db,          db_to_gain,          gain_text},
    {AXO_KIND_PAN,        "Pan",     unit::none,        same,                same,                pan_text},
    {AXO_KIND_FREQUENCY,  "Freq",    unit::hertz,       same,                same,                frequency_text},
    {AXO_KIND_PERCENT,    "Percent", unit::percent,     fraction_to_percent, percent_to_fraction, percent_text},
    {AXO_KIND_Q,          "Q",       unit::none,        same,                same,                two_decimals},
    {AXO_KIND_TIME,       "Time",    unit::millisecond, seconds_to_ms,       ms_to_seconds,       time_text},
    {AXO_KIND_DECIBEL,    "Amp",     unit::decibel,     same,                same,                decibel_text},
    {AXO_KIND_DATA,       "Data",    unit::none,        same,                same,                two_decimals},
    {AXO_KIND_INTEGER,    "Num",     unit::none,        same,                same,                integer_text},
    {AXO_KIND_SWITCH,     "State",   unit::none,        same,                same,                switch_text},
    {AXO_KIND_SELECT,     "Select",  unit::none,        same,                same,                no_text},
};
// clang-format on

}  // namespace

const param_kind* find_param_kind(int kind) {
    for (const param_kind& row : kinds) {
        if (row.kind == kind) return &row;
    }
    return nullptr;
}

bool has_real_value(int kind) {
    return (kind & AXO_KIND_REAL_BIT) != 0;
}

bool has_int_value(int kind) {
    return (kind & AXO_KIND_INT_BIT) != 0;
}
