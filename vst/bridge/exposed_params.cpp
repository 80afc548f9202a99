#include "vst/bridge/exposed_params.h"

#include "framework/axo_codes.h"
#include "framework/axo_plugin_i.h"

namespace {

bool is_presentable_kind(int kind) {
    switch (kind) {
        case AXO_KIND_NUMBER:
        case AXO_KIND_GAIN:
        case AXO_KIND_PAN:
        case AXO_KIND_FREQUENCY:
        case AXO_KIND_PERCENT:
        case AXO_KIND_Q:
        case AXO_KIND_TIME:
        case AXO_KIND_DECIBEL:
        case AXO_KIND_DATA:
        case AXO_KIND_INTEGER:
        case AXO_KIND_SWITCH:
        case AXO_KIND_SELECT: return true;
        default: return false;
    }
}

}  // namespace

bool is_exposed_param(axo_plugin_i* plugin, int index) {
    return is_presentable_kind(plugin->get_param_kind(index)) &&
           plugin->get_param_visibility(index) != AXO_VISIBILITY_HIDDEN;
}

int count_exposed_params(axo_plugin_i* plugin) {
    int count = 0;
    const int total = plugin->get_param_count();
    for (int i = 0; i < total; ++i) {
        if (is_exposed_param(plugin, i)) ++count;
    }
    return count;
}
