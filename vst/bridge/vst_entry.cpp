// The module's VST 2.4 entry point. A host calls it once per effect instance with its
// callback and gets the effect record, or null when no effect could be made.
#include <memory>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/exposed_params.h"
#include "glue/rounding_guard.h"
#include "vst/base/vst_abi.h"
#include "vst/bridge/myhost.h"
#include "vst/bridge/vstdsp.h"

namespace {

AEffect* create_effect(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    // Declared so that an early return destroys the plug-in, then the factory, then the
    // host services the plug-in detaches from.
    std::unique_ptr<myhost> services;
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    if (!factory) return nullptr;
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    if (!plugin) return nullptr;
    services.reset(new myhost);
    plugin->set_host(services.get());
    const int exposed = count_exposed_params(plugin.get());

    std::unique_ptr<vstdsp> effect(
        new vstdsp(host, factory.get(), plugin.get(), exposed, services.get()));
    // The effect owns them from here on.
    plugin.release();
    factory.release();
    services.release();
    if (effect->construction_failed()) return nullptr;
    return effect.release()->getAeffect();
}

}  // namespace

extern "C" AXO_EXPORT AEffect* VST_CDECL VSTPluginMain(audioMasterCallback host) {
    // The factory and the plug-in are made here, before the adapter exists: their set-up
    // arithmetic must already run in round-to-nearest.
    rounding_guard guard;
    try {
        return create_effect(host);
    } catch (...) {
        return nullptr;
    }
}

#if !defined(_WIN32)
// Older hosts look the entry point up under these names. C++ cannot declare a function
// called main with this signature, so the names are aliases at symbol level. (Windows
// modules map the names in their module-definition file.)
extern "C" AXO_EXPORT AEffect* vst_entry_main(audioMasterCallback host) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
extern "C" AXO_EXPORT AEffect* vst_entry_upper_main(audioMasterCallback host) __asm__("MAIN")
    __attribute__((alias("VSTPluginMain")));
extern "C" AXO_EXPORT AEffect* vst_entry_underscore_main(audioMasterCallback host) __asm__(
    "_VSTPluginMain") __attribute__((alias("VSTPluginMain")));
#endif
