#include "host/quantity.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

struct known_unit {
    const char* name;
    const char* family;
    double factor;
};

// Users type "db", "DB" or "Ms" as often as the proper spelling; matching ignores case except
// where it would be ambiguous (there is none among these).
constexpr known_unit known_units[] = {
    {"dB", "dB", 1.0},     {"dBTP", "dB", 1.0},   {"dBFS", "dB", 1.0}, {"LUFS", "LUFS", 1.0},
    {"LKFS", "LUFS", 1.0}, {"s", "s", 1.0},       {"sec", "s", 1.0},   {"ms", "s", 0.001},
    {"Hz", "Hz", 1.0},     {"kHz", "Hz", 1000.0}, {"%", "%", 1.0},
};

}  // namespace

std::optional<quantity> parse_quantity(std::string_view text) {
    const std::string s(trim(text));
    if (s.empty()) return std::nullopt;
    const char* begin = s.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || std::isnan(value)) return std::nullopt;
    quantity q;
    q.value = value;
    q.unit = std::string(trim(std::string_view(end)));
    return q;
}

unit_scale scale_of(std::string_view unit) {
    for (const known_unit& u : known_units) {
        if (same_letters(unit, u.name)) return {u.family, u.factor};
    }
    return {std::string(unit), 1.0};
}

std::optional<double> convert_quantity(const quantity& q, std::string_view to) {
    if (q.unit.empty()) return q.value;
    const unit_scale from_scale = scale_of(q.unit);
    const unit_scale to_scale = scale_of(to);
    if (from_scale.family != to_scale.family) return std::nullopt;
    return q.value * from_scale.factor / to_scale.factor;
}

std::string format_quantity(double value, std::string_view unit) {
    std::string shown_unit(unit);
    const unit_scale scale = scale_of(unit);
    if (scale.family == "s" && std::fabs(value * scale.factor) >= 1.0) {
        value *= scale.factor;
        shown_unit = "s";
    } else if (scale.family == "Hz" && std::fabs(value * scale.factor) >= 1000.0) {
        value = value * scale.factor / 1000.0;
        shown_unit = "kHz";
    }
    char text[64];
    if (std::isinf(value)) {
        std::snprintf(text, sizeof text, "%s", value < 0 ? "-inf" : "inf");
    } else {
        // Remove a negative zero so that a range reads "-30 dB to 0 dB".
        std::snprintf(text, sizeof text, "%.6g", value == 0.0 ? 0.0 : value);
    }
    std::string out = text;
    if (!shown_unit.empty()) {
        if (shown_unit != "%") out += ' ';
        out += shown_unit;
    }
    return out;
}
