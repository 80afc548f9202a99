// The parameter bridge: a host's flat list of normalised values with names, unit labels and
// display texts, over the plug-in's typed parameters.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/axo_codes.h"
#include "framework/axo_curve.h"
#include "framework/axo_plugin_i.h"
#include "vst/bridge/bounded_text.h"
#include "vst/bridge/rounding_guard.h"
#include "vst/bridge/vstdsp.h"

namespace {

// Size of the host's buffer for a parameter name, option text or display text.
constexpr size_t param_text_bytes = 32;

// Gains below this (2^-15) show as minus infinity decibels.
constexpr float quietest_shown_gain = 0.000030517578125f;
// Pan positions closer to the centre than this show as centre.
constexpr float pan_centre_width = 0.001f;
// Times up to this many seconds show with one decimal of milliseconds.
constexpr float short_time_seconds = 0.005f;

bool has_real_value(int kind) {
    return (kind & AXO_KIND_REAL_BIT) != 0;
}
bool has_int_value(int kind) {
    return (kind & AXO_KIND_INT_BIT) != 0;
}

// Unit label of each kind; null for kinds a host does not see.
const char* unit_label(int kind) {
    switch (kind) {
        case AXO_KIND_NUMBER: return "Data";
        case AXO_KIND_GAIN: return "Vol";
        case AXO_KIND_PAN: return "Pan";
        case AXO_KIND_FREQUENCY: return "Freq";
        case AXO_KIND_PERCENT: return "Percent";
        case AXO_KIND_Q: return "Q";
        case AXO_KIND_TIME: return "Time";
        case AXO_KIND_DECIBEL: return "Amp";
        case AXO_KIND_DATA: return "Data";
        case AXO_KIND_INTEGER: return "Num";
        case AXO_KIND_SWITCH: return "State";
        case AXO_KIND_SELECT: return "Select";
        default: return nullptr;
    }
}

// Display text of a value of every kind but selection, which shows its option's text.
void format_value(int kind, float v, int i, char* text) {
    const double value = v;
    char* const t = text;
    const size_t n = param_text_bytes;
    switch (kind) {
        case AXO_KIND_NUMBER:
        case AXO_KIND_DATA:
        case AXO_KIND_Q: std::snprintf(t, n, "%.2lf", value); break;
        case AXO_KIND_GAIN:
            if (v < quietest_shown_gain) {
                std::snprintf(t, n, "-INF");
            } else {
                const float decades = static_cast<float>(std::log10(value));
                std::snprintf(t, n, "%.1lfdB", 20.0 * static_cast<double>(decades));
            }
            break;
        case AXO_KIND_PAN:
            if (v < -pan_centre_width) {
                std::snprintf(t, n, "%.0f%% L", -100.0 * value);
            } else if (v > pan_centre_width) {
                std::snprintf(t, n, "%.0f%% R", 100.0 * value);
            } else {
                std::snprintf(t, n, "C");
            }
            break;
        case AXO_KIND_FREQUENCY: std::snprintf(t, n, "%.0lfHz", value); break;
        case AXO_KIND_PERCENT: std::snprintf(t, n, "%.1lf%%", 100.0 * value); break;
        case AXO_KIND_TIME:
            std::snprintf(t, n, v > short_time_seconds ? "%.0lfms" : "%.1lfms", 1000.0 * value);
            break;
        case AXO_KIND_DECIBEL: std::snprintf(t, n, "%.1lfdB", value); break;
        case AXO_KIND_INTEGER: std::snprintf(t, n, "%d", i); break;
        case AXO_KIND_SWITCH: std::snprintf(t, n, "%s", i != 0 ? "On" : "Off"); break;
        default: break;
    }
}

// Option chosen by a normalised value among n options: equal shares of 0..1, with 1.0
// itself choosing the last. Values outside 0..1, NaN included, choose the nearest end.
int select_option(int n, float x) {
    if (n <= 0 || !(x > 0.0f)) return 0;
    if (x >= 1.0f) return n - 1;
    const int option = static_cast<int>(static_cast<float>(n) * x);
    return option < n ? option : n - 1;
}

}  // namespace

int vstdsp::plugin_param(VstInt32 index) const {
    if (index < 0 || static_cast<size_t>(index) >= exposed_.size()) return -1;
    return exposed_[static_cast<size_t>(index)];
}

int vstdsp::option_count(int param) const {
    int count = 0;
    while (plugin_->get_param_option_text(param, count) != nullptr) ++count;
    return count;
}

double vstdsp::map_to_value(int param, double x) const {
    const double high = plugin_->get_param_range(param, AXO_RANGE_MAP_HIGH);
    const double low = plugin_->get_param_range(param, AXO_RANGE_MAP_LOW);
    return axo_curve_map(plugin_->get_param_curve(param), low, high, x);
}

double vstdsp::value_to_normalised(int param, double value) const {
    const double high = plugin_->get_param_range(param, AXO_RANGE_MAP_HIGH);
    const double low = plugin_->get_param_range(param, AXO_RANGE_MAP_LOW);
    return axo_curve_unmap(plugin_->get_param_curve(param), low, high, value);
}

void vstdsp::setParameter(VstInt32 index, float value) {
    rounding_guard guard;
    const int p = plugin_param(index);
    if (p >= 0) {
        const int kind = plugin_->get_param_kind(p);
        if (has_real_value(kind)) {
            plugin_->set_param_value(p, static_cast<float>(map_to_value(p, value)));
        }
        if (kind == AXO_KIND_SWITCH) {
            plugin_->set_param_int(p, value >= 0.5f ? 1 : 0);
        } else if (kind == AXO_KIND_SELECT) {
            plugin_->set_param_int(p, select_option(option_count(p), value));
        }
    }
    // The editor shows the new value at its next idle call, whoever changed it.
    refresh_editor();
}

float vstdsp::getParameter(VstInt32 index) {
    rounding_guard guard;
    const int p = plugin_param(index);
    if (p < 0) return 0.0f;
    const int kind = plugin_->get_param_kind(p);
    float result = 0.0f;
    if (has_real_value(kind)) {
        result = static_cast<float>(value_to_normalised(p, plugin_->get_param_value(p)));
    }
    if (has_int_value(kind)) {
        if (kind == AXO_KIND_SWITCH) return plugin_->get_param_int(p) != 0 ? 1.0f : 0.0f;
        // A selection of fewer than two options has no position to report but 0.
        const int n = kind == AXO_KIND_SELECT ? option_count(p) : 0;
        if (n > 1) {
            result = static_cast<float>(plugin_->get_param_int(p)) / static_cast<float>(n - 1);
        }
    }
    return result > 1.0f ? 1.0f : result;
}

void vstdsp::getParameterLabel(VstInt32 index, char* label) {
    const int p = plugin_param(index);
    if (p < 0 || label == nullptr) return;
    const char* unit = unit_label(plugin_->get_param_kind(p));
    if (unit != nullptr) std::strcpy(label, unit);
}

void vstdsp::getParameterDisplay(VstInt32 index, char* text) {
    rounding_guard guard;
    if (text == nullptr) return;
    text[0] = '\0';
    const int p = plugin_param(index);
    if (p < 0) return;
    const int kind = plugin_->get_param_kind(p);
    const float v = has_real_value(kind) ? plugin_->get_param_value(p) : 0.0f;
    const int i = has_int_value(kind) ? plugin_->get_param_int(p) : 0;
    if (kind == AXO_KIND_SELECT) {
        const char* option = plugin_->get_param_option_text(p, i);
        if (option != nullptr) copy_bounded_text(text, option, param_text_bytes);
        return;
    }
    format_value(kind, v, i, text);
}

void vstdsp::getParameterName(VstInt32 index, char* text) {
    rounding_guard guard;
    const int p = plugin_param(index);
    if (p < 0 || text == nullptr) return;
    const char* name = plugin_->get_param_name(p);
    if (name != nullptr) copy_bounded_text(text, name, param_text_bytes);
}
