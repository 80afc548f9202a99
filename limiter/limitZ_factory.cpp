// What the module tells hosts about its one plug-in class, and the factory get_axoi hands out.
#include <new>

#include "framework/axo_entry.h"
#include "framework/axo_factory.h"
#include "limitZ_dsp.h"

namespace {

// The identifier tags saved state: stored projects depend on it never changing.
const axo_plugin_info limiter_info = {
    {
        "tarnwick-zandorlimiter-1",
        "Tarnwick's Zandor Limiter",
        "1.3",
        "Zandor Limiter",
        "Tarnwick",
        "https://tarnwick.example/zandor-limiter",
        "Look-ahead peak limiter for stereo or mono audio",
        "Copyright (c) Tarnwick",
    },
    0x5A6E4C6D,  // 'ZnLm'
};

}  // namespace

axo_factory_i* axo_create_module_factory() {
    return new (std::nothrow) axo_factory<limitZ_dsp>(limiter_info);
}
