// What the module tells VST3 hosts about its one class, from the plug-in's own answers: the
// factory's information strings and its unique identifier. The running factory and the
// moduleinfo.json generator both read it, so they always agree.
#pragma once

#include <string>

#include "vst3/vst3_abi.h"

class axo_factory_i;

struct vst3_class_info {
    // The class ID as its four words; the bytes follow with vst3::make_uid.
    vst3::uint32 words[4];
    std::string name;
    std::string vendor;
    std::string version;
    std::string url;
    // '|'-separated, as hosts read them.
    std::string sub_categories;
};

constexpr const char* vst3_sub_categories = "Fx|Dynamics";

// False when the factory is null or has no identifier.
bool describe_vst3_class(axo_factory_i* factory, vst3_class_info& info);

// The class ID as hosts and moduleinfo.json write it: 32 hex digits, the same everywhere.
std::string vst3_uid_text(const vst3::uint32 (&words)[4]);
