// The factory of a module's one plug-in class T. T is constructed without arguments; the
// factory then stores itself as the instance's factory reference.
#pragma once

#include <cstring>
#include <new>

#include "axo_factory_i.h"

constexpr int AXO_INTERFACE_VERSION = 256;
constexpr int AXO_INFO_COUNT = 8;

// What a module tells hosts about its plug-in class.
struct axo_plugin_info {
    const char* strings[AXO_INFO_COUNT];  // identifier, full name, version, short name,
                                          // vendor, web address, description, copyright
    int vst_unique_id;                    // four-character code, first character highest
};

template <class T>
class axo_factory final : public axo_factory_i {
public:
    explicit axo_factory(const axo_plugin_info& info) : info_(info) {}

    int get_interface_version() override { return AXO_INTERFACE_VERSION; }

    const char* get_info(int index) override {
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(AXO_INFO_COUNT)) return nullptr;
        return info_.strings[index];
    }

    axo_plugin_i* create_plugin() override {
        try {
            T* plugin = new T();
            plugin->set_factory(this);
            return plugin;
        } catch (...) {
            return nullptr;
        }
    }

    axo_editor_i* create_editor() override { return nullptr; }

    int extension(const char* key, void*, int) override {
        if (key != nullptr && std::strcmp(key, "vstuid") == 0) return info_.vst_unique_id;
        return 0;
    }

private:
    const axo_plugin_info& info_;
};
