// The module's CLAP entry point: the exported clap_entry record, the plug-in factory and one
// descriptor per channel configuration, since hosts handle a fixed layout per plug-in best.
// Descriptors are made from the plug-in's own answers on the first init and kept until the
// module is unloaded.
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "clap/clap_abi.h"
#include "clap/clap_calls.h"
#include "clap/clap_instance.h"
#include "framework/axo_entry.h"
#include "framework/axo_lock.h"
#include "glue/rounding_guard.h"

namespace {

struct variant {
    const char* suffix;  // of the id and the name
    int channels;
    const char* feature;
};
constexpr variant variants[] = {{"stereo", 2, "stereo"}, {"mono", 1, "mono"}};
constexpr uint32_t variant_count = sizeof variants / sizeof variants[0];

// Factory information strings used for the descriptors.
constexpr int info_version = 2;
constexpr int info_short_name = 3;
constexpr int info_vendor = 4;
constexpr int info_url = 5;
constexpr int info_description = 6;

// "https://maker.example/product" gives "example.maker.product": the web address in reverse
// order, as hosts expect plug-in ids. Projects store the id, so it follows the address only.
std::string reverse_domain_id(const std::string& url) {
    const size_t scheme = url.find("://");
    const std::string rest = scheme == std::string::npos ? url : url.substr(scheme + 3);
    const size_t slash = rest.find('/');
    std::string host = rest.substr(0, slash);
    std::string id;
    for (size_t dot; (dot = host.rfind('.')) != std::string::npos; host.erase(dot)) {
        id += host.substr(dot + 1) + ".";
    }
    id += host;
    if (slash != std::string::npos) {
        for (char c : rest.substr(slash)) id += c == '/' ? '.' : c;
    }
    while (!id.empty() && id.back() == '.') id.pop_back();
    return id;
}

// The plug-in's factory, or null: nothing may escape into the host.
axo_factory_i* make_factory() {
    try {
        return axo_create_module_factory();
    } catch (...) {
        return nullptr;
    }
}

std::string info_text(axo_factory_i* factory, int index) {
    const char* text = factory->get_info(index);
    return text != nullptr ? text : "";
}

struct descriptor_set {
    std::string ids[variant_count], names[variant_count];
    std::string vendor, url, version, description;
    const char* features[variant_count][6] = {};
    clap_plugin_descriptor_t table[variant_count] = {};

    bool make() {
        rounding_guard guard;
        std::unique_ptr<axo_factory_i> factory(make_factory());
        if (!factory) return false;
        vendor = info_text(factory.get(), info_vendor);
        url = info_text(factory.get(), info_url);
        version = info_text(factory.get(), info_version);
        description = info_text(factory.get(), info_description);
        const std::string base = reverse_domain_id(url);
        const std::string name = info_text(factory.get(), info_short_name);
        for (uint32_t k = 0; k < variant_count; ++k) {
            ids[k] = base + "." + variants[k].suffix;
            names[k] = name + (variants[k].channels == 1 ? " (mono)" : "");
            const char* f[] = {"audio-effect", "limiter",           "mastering",
                               "mixing",       variants[k].feature, nullptr};
            std::memcpy(features[k], f, sizeof f);
            table[k] = {
                CLAP_VERSION, ids[k].c_str(),  names[k].c_str(),    vendor.c_str(), url.c_str(), "",
                "",           version.c_str(), description.c_str(), features[k]};
        }
        return !base.empty() && !name.empty();
    }
};

// The system's own lock on Windows: the module needs no threading runtime.
axo_lock entry_lock;
int init_count = 0;
descriptor_set* descriptors = nullptr;

uint32_t CLAP_ABI get_plugin_count(const clap_plugin_factory_t*) {
    return variant_count;
}

const clap_plugin_descriptor_t* CLAP_ABI get_plugin_descriptor(const clap_plugin_factory_t*,
                                                               uint32_t index) {
    return descriptors != nullptr && index < variant_count ? &descriptors->table[index] : nullptr;
}

const clap_plugin_t* CLAP_ABI create_plugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                            const char* plugin_id) {
    if (host == nullptr || host->clap_version.major < 1 || plugin_id == nullptr ||
        descriptors == nullptr) {
        return nullptr;
    }
    rounding_guard guard;
    try {
        for (uint32_t k = 0; k < variant_count; ++k) {
            const clap_plugin_descriptor_t* d = &descriptors->table[k];
            if (std::strcmp(plugin_id, d->id) != 0) continue;
            clap_instance* instance =
                clap_instance::create(make_factory(), variants[k].channels, d);
            if (instance == nullptr) return nullptr;
            clap_fill_record(instance->record());
            return &instance->record();
        }
    } catch (...) {
    }
    return nullptr;
}

const clap_plugin_factory_t factory = {get_plugin_count, get_plugin_descriptor, create_plugin};

// Nested calls are counted: only the first init and the last deinit do anything.
bool CLAP_ABI entry_init(const char*) {
    try {
        std::lock_guard<axo_lock> lock(entry_lock);
        if (init_count == 0) {
            std::unique_ptr<descriptor_set> made(new descriptor_set);
            if (!made->make()) return false;
            descriptors = made.release();
        }
        ++init_count;
        return true;
    } catch (...) {
        return false;
    }
}

void CLAP_ABI entry_deinit() {
    try {
        std::lock_guard<axo_lock> lock(entry_lock);
        if (init_count == 0 || --init_count > 0) return;
        delete descriptors;
        descriptors = nullptr;
    } catch (...) {
    }
}

const void* CLAP_ABI entry_get_factory(const char* factory_id) {
    if (factory_id == nullptr || std::strcmp(factory_id, CLAP_PLUGIN_FACTORY_ID) != 0) {
        return nullptr;
    }
    return &factory;
}

}  // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION, entry_init,
                                                               entry_deinit, entry_get_factory};
