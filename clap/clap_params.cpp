#include "clap/clap_params.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/axo_codes.h"
#include "framework/axo_plugin_i.h"
#include "glue/bounded_text.h"
#include "glue/exposed_params.h"
#include "glue/param_kind.h"

namespace {

constexpr const char* bypass_name = "Bypass";

int option_count(axo_plugin_i* plugin, int index) {
    int n = 0;
    while (plugin->get_param_option_text(index, n) != nullptr) ++n;
    return n;
}

// Bounds and default of a parameter in the unit hosts see.
void find_range(axo_plugin_i* plugin, int index, const param_kind* kind, double& low, double& high,
                double& now) {
    if (has_real_value(kind->kind)) {
        low = kind->to_unit(plugin->get_param_range(index, AXO_RANGE_MIN));
        high = kind->to_unit(plugin->get_param_range(index, AXO_RANGE_MAX));
        now = kind->to_unit(plugin->get_param_value(index));
    } else {
        low = 0.0;
        high = kind->kind == AXO_KIND_SELECT ? option_count(plugin, index) - 1.0 : 1.0;
        if (kind->kind == AXO_KIND_INTEGER) {
            low = plugin->get_param_range(index, AXO_RANGE_MIN);
            high = plugin->get_param_range(index, AXO_RANGE_MAX);
        }
        now = plugin->get_param_int(index);
    }
    if (high < low) std::swap(low, high);
}

bool parse_switch(const char* text, double* value) {
    if (std::strcmp(text, "On") == 0 || std::strcmp(text, "Off") == 0) {
        *value = text[1] == 'n' ? 1.0 : 0.0;
        return true;
    }
    return false;
}

}  // namespace

clap_params::clap_params(axo_plugin_i* plugin) : plugin_(plugin) {
    const int total = plugin->get_param_count();
    for (int i = 0; i < total; ++i) {
        if (!is_exposed_param(plugin, i)) continue;
        exposed p{i, find_param_kind(plugin->get_param_kind(i)), 0.0, 0.0, 0.0};
        find_range(plugin, i, p.kind, p.minimum, p.maximum, p.default_value);
        exposed_.push_back(p);
    }
}

const clap_params::exposed* clap_params::find(clap_id id) const {
    for (const exposed& p : exposed_) {
        if (static_cast<clap_id>(p.index) == id) return &p;
    }
    return nullptr;
}

double clap_params::clamp(const exposed& p, double value) const {
    return value < p.minimum ? p.minimum : (value > p.maximum ? p.maximum : value);
}

bool clap_params::get_info(uint32_t index, clap_param_info_t* info) const {
    if (info == nullptr || index >= count()) return false;
    std::memset(info, 0, sizeof *info);
    if (index == exposed_.size()) {
        info->id = clap_bypass_param_id;
        info->flags = CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE;
        copy_bounded_text(info->name, bypass_name, sizeof info->name);
        info->max_value = 1.0;
        return true;
    }
    const exposed& p = exposed_[index];
    info->id = static_cast<clap_id>(p.index);
    info->flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (!has_real_value(p.kind->kind)) info->flags |= CLAP_PARAM_IS_STEPPED;
    copy_bounded_text(info->name, plugin_->get_param_name(p.index), sizeof info->name);
    info->min_value = p.minimum;
    info->max_value = p.maximum;
    info->default_value = p.default_value;
    return true;
}

bool clap_params::get_value(clap_id id, double* value) const {
    if (value == nullptr) return false;
    if (id == clap_bypass_param_id) {
        *value = bypassed() ? 1.0 : 0.0;
        return true;
    }
    const exposed* p = find(id);
    if (p == nullptr) return false;
    *value = has_real_value(p->kind->kind) ? p->kind->to_unit(plugin_->get_param_value(p->index))
                                           : plugin_->get_param_int(p->index);
    return true;
}

bool clap_params::value_to_text(clap_id id, double value, char* text, uint32_t capacity) const {
    if (text == nullptr || capacity == 0 || std::isnan(value)) return false;
    if (id == clap_bypass_param_id) {
        copy_bounded_text(text, value >= 0.5 ? "On" : "Off", capacity);
        return true;
    }
    const exposed* p = find(id);
    if (p == nullptr) return false;
    value = clamp(*p, value);
    const int option = static_cast<int>(std::lround(value));
    if (p->kind->kind == AXO_KIND_SELECT) {
        copy_bounded_text(text, plugin_->get_param_option_text(p->index, option), capacity);
    } else {
        const auto real = static_cast<float>(p->kind->from_unit(value));
        p->kind->format(real, option, text, capacity);
    }
    return true;
}

bool clap_params::text_to_value(clap_id id, const char* text, double* value) const {
    if (text == nullptr || value == nullptr) return false;
    const exposed* p = find(id);
    const int kind = p != nullptr ? p->kind->kind : AXO_KIND_SWITCH;
    if (p == nullptr && id != clap_bypass_param_id) return false;
    if (kind == AXO_KIND_SWITCH && parse_switch(text, value)) return true;
    if (kind == AXO_KIND_SELECT) {
        for (int i = 0; const char* option = plugin_->get_param_option_text(p->index, i); ++i) {
            if (std::strcmp(option, text) != 0) continue;
            *value = i;
            return true;
        }
        return false;
    }
    // The number the display text starts with, in the same unit: "-6.0dB", "71ms", "-INF".
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text || std::isnan(number)) return false;
    *value = p != nullptr ? clamp(*p, number) : (number >= 0.5 ? 1.0 : 0.0);
    return true;
}

void clap_params::set(clap_id id, double value) {
    if (std::isnan(value)) return;
    if (id == clap_bypass_param_id) {
        set_bypassed(value >= 0.5);
        return;
    }
    const exposed* p = find(id);
    if (p == nullptr) return;
    value = clamp(*p, value);
    if (has_real_value(p->kind->kind)) {
        plugin_->set_param_value(p->index, static_cast<float>(p->kind->from_unit(value)));
    } else if (p->kind->kind == AXO_KIND_SWITCH) {
        plugin_->set_param_int(p->index, value >= 0.5 ? 1 : 0);
    } else {
        plugin_->set_param_int(p->index, static_cast<int>(std::lround(value)));
    }
}

void clap_params::apply_all(const clap_input_events_t* events) {
    const uint32_t n = clap_event_count(events);
    for (uint32_t i = 0; i < n; ++i) {
        if (const clap_event_param_value_t* e = clap_param_event(events, i)) {
            set(e->param_id, e->value);
        }
    }
}

uint32_t clap_event_count(const clap_input_events_t* events) {
    return events != nullptr && events->size != nullptr && events->get != nullptr
               ? events->size(events)
               : 0;
}

const clap_event_param_value_t* clap_param_event(const clap_input_events_t* events,
                                                 uint32_t index) {
    const clap_event_header_t* h = events->get(events, index);
    if (h == nullptr || h->space_id != CLAP_CORE_EVENT_SPACE_ID ||
        h->type != CLAP_EVENT_PARAM_VALUE || h->size < sizeof(clap_event_param_value_t)) {
        return nullptr;
    }
    return reinterpret_cast<const clap_event_param_value_t*>(h);
}
