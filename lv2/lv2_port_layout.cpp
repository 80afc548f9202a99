#include "lv2/lv2_port_layout.h"

#include <cctype>

#include "framework/axo_codes.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/exposed_params.h"

namespace {

std::string port_symbol(const char* name) {
    std::string symbol;
    for (const char* c = name; c != nullptr && *c != '\0'; ++c) {
        const auto u = static_cast<unsigned char>(*c);
        symbol += std::isalnum(u) != 0 && u < 0x80 ? static_cast<char>(std::tolower(u)) : '_';
    }
    // A symbol must not be empty or start with a digit.
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0])) != 0) {
        symbol.insert(0, "_");
    }
    return symbol;
}

lv2_control make_control(axo_plugin_i* plugin, int param) {
    const int kind = plugin->get_param_kind(param);
    lv2_control c{};
    c.param = param;
    c.kind = find_param_kind(kind);
    const char* name = plugin->get_param_name(param);
    c.name = name != nullptr ? name : "";
    c.symbol = port_symbol(name);
    if (has_real_value(kind)) {
        const float low = lv2_from_param(c, plugin->get_param_range(param, AXO_RANGE_MIN));
        const float high = lv2_from_param(c, plugin->get_param_range(param, AXO_RANGE_MAX));
        c.minimum = low < high ? low : high;
        c.maximum = low < high ? high : low;
        c.default_value = lv2_from_param(c, plugin->get_param_value(param));
        const int curve = plugin->get_param_curve(param);
        c.logarithmic = curve == AXO_CURVE_EXP || curve == AXO_CURVE_EXP_REV;
    } else {
        for (int i = 0; kind == AXO_KIND_SELECT; ++i) {
            const char* text = plugin->get_param_option_text(param, i);
            if (text == nullptr) break;
            c.options.emplace_back(text);
        }
        c.minimum = static_cast<float>(plugin->get_param_range(param, AXO_RANGE_MIN));
        c.maximum = static_cast<float>(plugin->get_param_range(param, AXO_RANGE_MAX));
        if (kind == AXO_KIND_SWITCH) {
            c.minimum = 0.0f;
            c.maximum = 1.0f;
        } else if (!c.options.empty()) {
            c.minimum = 0.0f;
            c.maximum = static_cast<float>(c.options.size() - 1);
        }
        c.default_value = static_cast<float>(plugin->get_param_int(param));
    }
    return c;
}

}  // namespace

std::string lv2_plugin_uri(axo_factory_i* factory, const lv2_variant& variant) {
    const char* base = factory->get_info(lv2_uri_info);
    return std::string(base != nullptr ? base : "") + "#" + variant.name;
}

lv2_port_layout::lv2_port_layout(axo_plugin_i* plugin, int channels) : channels_(channels) {
    const int total = plugin->get_param_count();
    for (int p = 0; p < total; ++p) {
        if (is_exposed_param(plugin, p)) controls_.push_back(make_control(plugin, p));
    }
}

double lv2_to_param(const lv2_control& control, float port_value) {
    return control.kind->from_unit(static_cast<double>(port_value));
}

float lv2_from_param(const lv2_control& control, double value) {
    return static_cast<float>(control.kind->to_unit(value));
}
