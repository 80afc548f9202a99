#include "vst3/vst3_params.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/axo_codes.h"
#include "framework/axo_curve.h"
#include "framework/axo_plugin_i.h"
#include "glue/exposed_params.h"
#include "glue/param_kind.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

// The meter shows reductions up to this many dB; a deeper one shows as the full scale.
constexpr double meter_range_db = 60.0;
constexpr size_t string128 = 128;

double clamp_unit(double x) {
    return x > 0.0 ? (x < 1.0 ? x : 1.0) : 0.0;  // NaN gives 0
}

const char* unit_text(param_unit unit) {
    switch (unit) {
        case param_unit::decibel: return "dB";
        case param_unit::millisecond: return "ms";
        case param_unit::hertz: return "Hz";
        case param_unit::percent: return "%";
        case param_unit::none: break;
    }
    return "";
}

void fill_info(ParameterInfo& info, ParamID id, const char* title, const char* units, int32 steps,
               double normalized, int32 flags) {
    std::memset(&info, 0, sizeof info);
    info.id = id;
    copy_utf16(info.title, title, string128);
    copy_utf16(info.shortTitle, title, string128);
    copy_utf16(info.units, units, string128);
    info.stepCount = steps;
    info.defaultNormalizedValue = normalized;
    info.unitId = kRootUnitId;
    info.flags = flags;
}

// A number a host's user typed, in the unit the parameter shows; a unit after it is ignored.
bool parse_number(const std::string& text, double& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    value = std::strtod(start, &end);
    return end != start && !std::isnan(value);
}

}  // namespace

vst3_params::vst3_params(axo_plugin_i* plugin) : plugin_(plugin) {
    for (int p = 0; p < plugin->get_param_count(); ++p) {
        if (is_exposed_param(plugin, p)) exposed_.push_back(p);
    }
    for (size_t k = 0; k < exposed_.size(); ++k) {
        defaults_.push_back(normalized(static_cast<ParamID>(k)));
    }
}

int vst3_params::param_of(ParamID id) const {
    return id < exposed_.size() ? exposed_[id] : -1;
}

bool vst3_params::is_known(ParamID id) const {
    return param_of(id) >= 0 || id == vst3_bypass_id || id == vst3_meter_id;
}

int vst3_params::step_count(int param) const {
    const int kind = plugin_->get_param_kind(param);
    if (has_real_value(kind)) return 0;
    if (kind == AXO_KIND_SWITCH) return 1;
    if (kind == AXO_KIND_SELECT) {
        int n = 0;
        while (plugin_->get_param_option_text(param, n) != nullptr) ++n;
        return n > 1 ? n - 1 : 1;
    }
    const double span = plugin_->get_param_range(param, AXO_RANGE_MAX) -
                        plugin_->get_param_range(param, AXO_RANGE_MIN);
    return span >= 1.0 ? static_cast<int>(span) : 1;
}

bool vst3_params::info(int32 index, ParameterInfo& info) const {
    const auto n = static_cast<int32>(exposed_.size());
    if (index < 0 || index >= count()) return false;
    if (index == n) {
        fill_info(info, vst3_bypass_id, "Bypass", "", 1, 0.0, kCanAutomate | kIsBypass);
        return true;
    }
    if (index == n + 1) {
        fill_info(info, vst3_meter_id, "Gain reduction", "dB", 0, 0.0, kIsReadOnly);
        return true;
    }
    const int p = exposed_[static_cast<size_t>(index)];
    const int kind = plugin_->get_param_kind(p);
    const param_kind* row = find_param_kind(kind);
    const int32 flags = kCanAutomate | (kind == AXO_KIND_SELECT ? kIsList : 0);
    fill_info(info, static_cast<ParamID>(index), plugin_->get_param_name(p), unit_text(row->unit),
              step_count(p), defaults_[static_cast<size_t>(index)], flags);
    return true;
}

double vst3_params::plain_value(int p, double normalized) const {
    const double x = clamp_unit(normalized);
    const int kind = plugin_->get_param_kind(p);
    if (has_real_value(kind)) {
        const double low = plugin_->get_param_range(p, AXO_RANGE_MAP_LOW);
        const double high = plugin_->get_param_range(p, AXO_RANGE_MAP_HIGH);
        // Rounded to the parameter's precision, as the plug-in stores it.
        return static_cast<float>(axo_curve_map(plugin_->get_param_curve(p), low, high, x));
    }
    const int steps = step_count(p);
    const double index = std::floor(x * (steps + 1));
    const double base = kind == AXO_KIND_INTEGER ? plugin_->get_param_range(p, AXO_RANGE_MIN) : 0;
    return base + (index < steps ? index : steps);
}

double vst3_params::unmap(int p, double value) const {
    const double low = plugin_->get_param_range(p, AXO_RANGE_MAP_LOW);
    const double high = plugin_->get_param_range(p, AXO_RANGE_MAP_HIGH);
    return clamp_unit(axo_curve_unmap(plugin_->get_param_curve(p), low, high, value));
}

double vst3_params::to_plain(ParamID id, double normalized) const {
    if (id == vst3_bypass_id) return normalized >= 0.5 ? 1.0 : 0.0;
    if (id == vst3_meter_id) return clamp_unit(normalized) * meter_range_db;
    const int p = param_of(id);
    if (p < 0) return 0.0;
    const double value = plain_value(p, normalized);
    const int kind = plugin_->get_param_kind(p);
    return has_real_value(kind) ? find_param_kind(kind)->to_unit(value) : value;
}

double vst3_params::to_normalized(ParamID id, double plain) const {
    if (id == vst3_bypass_id) return plain >= 0.5 ? 1.0 : 0.0;
    if (id == vst3_meter_id) return clamp_unit(plain / meter_range_db);
    const int p = param_of(id);
    if (p < 0) return 0.0;
    const int kind = plugin_->get_param_kind(p);
    if (has_real_value(kind)) return unmap(p, find_param_kind(kind)->from_unit(plain));
    const double base = kind == AXO_KIND_INTEGER ? plugin_->get_param_range(p, AXO_RANGE_MIN) : 0;
    return clamp_unit((std::round(plain) - base) / step_count(p));
}

bool vst3_params::text_of(ParamID id, double normalized, char16* text) const {
    char narrow[param_text_bytes] = {};
    if (id == vst3_bypass_id || id == vst3_meter_id) {
        const bool bypass = id == vst3_bypass_id;
        const param_kind* row = find_param_kind(bypass ? AXO_KIND_SWITCH : AXO_KIND_DECIBEL);
        const double plain = to_plain(id, normalized);
        row->format(static_cast<float>(plain), static_cast<int>(plain), narrow, sizeof narrow);
    } else {
        const int p = param_of(id);
        if (p < 0) return false;
        const int kind = plugin_->get_param_kind(p);
        const double value = plain_value(p, normalized);
        if (kind == AXO_KIND_SELECT) {
            const char* option = plugin_->get_param_option_text(p, static_cast<int>(value));
            std::snprintf(narrow, sizeof narrow, "%s", option != nullptr ? option : "");
        } else {
            find_param_kind(kind)->format(static_cast<float>(value), static_cast<int>(value),
                                          narrow, sizeof narrow);
        }
    }
    copy_utf16(text, narrow, string128);
    return true;
}

bool vst3_params::value_of(ParamID id, const char16* text, double& normalized) const {
    const std::string typed = narrow_utf16(text, string128);
    const int p = param_of(id);
    const int kind = p >= 0 ? plugin_->get_param_kind(p) : 0;
    // Switches and selections also take the texts they show.
    if (id == vst3_bypass_id || kind == AXO_KIND_SWITCH) {
        for (const double x : {0.0, 1.0}) {
            char16 shown[string128];
            text_of(id, x, shown);
            if (typed == narrow_utf16(shown, string128)) return normalized = x, true;
        }
    }
    for (int k = 0; kind == AXO_KIND_SELECT && plugin_->get_param_option_text(p, k); ++k) {
        if (typed == plugin_->get_param_option_text(p, k)) {
            return normalized = to_normalized(id, k), true;
        }
    }
    double plain = 0.0;
    if (!is_known(id) || id == vst3_meter_id || !parse_number(typed, plain)) return false;
    normalized = to_normalized(id, plain);
    return true;
}

double vst3_params::normalized(ParamID id) const {
    if (id == vst3_bypass_id) return bypassed() ? 1.0 : 0.0;
    if (id == vst3_meter_id) return meter_normalized();
    const int p = param_of(id);
    if (p < 0) return 0.0;
    const int kind = plugin_->get_param_kind(p);
    if (has_real_value(kind)) return unmap(p, plugin_->get_param_value(p));
    return to_normalized(id, plugin_->get_param_int(p));
}

void vst3_params::set_normalized(ParamID id, double normalized) {
    if (id == vst3_bypass_id) bypass_.store(normalized >= 0.5, std::memory_order_relaxed);
    const int p = param_of(id);
    if (p < 0) return;
    const double value = plain_value(p, normalized);
    if (has_real_value(plugin_->get_param_kind(p))) {
        plugin_->set_param_value(p, static_cast<float>(value));
    } else {
        plugin_->set_param_int(p, static_cast<int>(value));
    }
}

void vst3_params::set_meter_db(double reduction_db) {
    meter_.store(to_normalized(vst3_meter_id, reduction_db), std::memory_order_relaxed);
}
