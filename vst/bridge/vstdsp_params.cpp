// The parameter bridge: a host's flat list of normalised values with names, unit labels and
// display texts, over the plug-in's typed parameters.
#include <cstring>

#include "framework/axo_codes.h"
#include "framework/axo_curve.h"
#include "framework/axo_plugin_i.h"
#include "glue/bounded_text.h"
#include "glue/param_kind.h"
#include "glue/rounding_guard.h"
#include "vst/bridge/vstdsp.h"

namespace {

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
    const param_kind* row = find_param_kind(plugin_->get_param_kind(p));
    if (row != nullptr) std::strcpy(label, row->label);
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
    const param_kind* row = find_param_kind(kind);
    if (row != nullptr) row->format(v, i, text, param_text_bytes);
}

void vstdsp::getParameterName(VstInt32 index, char* text) {
    rounding_guard guard;
    const int p = plugin_param(index);
    if (p < 0 || text == nullptr) return;
    const char* name = plugin_->get_param_name(p);
    if (name != nullptr) copy_bounded_text(text, name, param_text_bytes);
}
