#include "glue/exposed_params.h"

#include "framework/axo_codes.h"
#include "framework/axo_plugin_i.h"
#include "glue/param_kind.h"

bool is_exposed_param(axo_plugin_i* plugin, int index) {
    return find_param_kind(plugin->get_param_kind(index)) != nullptr &&
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
