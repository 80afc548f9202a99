// The object a host obtains from get_axoi: describes the plug-in and creates instances.
#pragma once

class axo_plugin_i;
class axo_editor_i;

class axo_factory_i {
public:
    virtual ~axo_factory_i() = default;
    // Interface version, 256.
    virtual int get_interface_version() = 0;
    // Descriptive string 0..7 (identifier, full name, version, short name, vendor, web
    // address, description, copyright); null for any other index.
    virtual const char* get_info(int index) = 0;
    // A new instance whose get_factory answers this factory; null if it cannot be made.
    virtual axo_plugin_i* create_plugin() = 0;
    // A new editor owned by the caller; null when the plug-in has no editor.
    virtual axo_editor_i* create_editor() = 0;
    // Query by string key ("vstuid": the VST unique identifier); 0 when not recognised.
    virtual int extension(const char* key, void* data, int size) = 0;
};
