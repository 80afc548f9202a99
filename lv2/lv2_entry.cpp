// The module's LV2 entry point: one descriptor per channel configuration. The host calls the
// descriptor's functions; none lets an exception out, and each reaches the instance through
// as_instance.
#include <lv2/core/lv2.h>

#include <memory>
#include <string>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "glue/rounding_guard.h"
#include "lv2/lv2_instance.h"
#include "lv2/lv2_port_layout.h"

namespace {

lv2_instance* as_instance(LV2_Handle handle) {
    return static_cast<lv2_instance*>(handle);
}

template <int Variant>
LV2_Handle instantiate(const LV2_Descriptor*, double sample_rate, const char*,
                       const LV2_Feature* const*) {
    // The factory's and the plug-in's set-up arithmetic runs in round-to-nearest too.
    rounding_guard guard;
    try {
        return lv2_instance::create(get_axoi(0), lv2_variants[Variant], sample_rate);
    } catch (...) {
        return nullptr;
    }
}

void connect_port(LV2_Handle handle, uint32_t port, void* data) {
    as_instance(handle)->connect_port(port, data);
}

void activate(LV2_Handle handle) {
    try {
        as_instance(handle)->activate();
    } catch (...) {
    }
}

void run(LV2_Handle handle, uint32_t frames) {
    try {
        as_instance(handle)->run(frames);
    } catch (...) {
    }
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) {
    rounding_guard guard;
    try {
        delete as_instance(handle);
    } catch (...) {
    }
}

const void* extension_data(const char*) {
    return nullptr;
}

// The URIs come from the plug-in's factory, so they are worked out once, on first use.
struct descriptors {
    std::string uris[lv2_variant_count];
    LV2_Descriptor table[lv2_variant_count];
    bool valid = false;

    descriptors() {
        rounding_guard guard;
        std::unique_ptr<axo_factory_i> factory(get_axoi(0));
        if (!factory) return;
        constexpr LV2_Handle (*makers[])(const LV2_Descriptor*, double, const char*,
                                         const LV2_Feature* const*) = {instantiate<0>,
                                                                       instantiate<1>};
        static_assert(sizeof makers / sizeof makers[0] == lv2_variant_count,
                      "one maker per variant");
        for (int i = 0; i < lv2_variant_count; ++i) {
            uris[i] = lv2_plugin_uri(factory.get(), lv2_variants[i]);
            table[i] = LV2_Descriptor{uris[i].c_str(), makers[i], connect_port,  activate, run,
                                      deactivate,      cleanup,   extension_data};
        }
        valid = true;
    }
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    try {
        static const descriptors all;
        if (!all.valid || index >= static_cast<uint32_t>(lv2_variant_count)) return nullptr;
        return &all.table[index];
    } catch (...) {
        return nullptr;
    }
}
