#include "vst3/vst3_class_info.h"

#include <cstdio>

#include "framework/axo_factory_i.h"

namespace {

// Factory information strings.
constexpr int info_identifier = 0;
constexpr int info_version = 2;
constexpr int info_short_name = 3;
constexpr int info_vendor = 4;
constexpr int info_url = 5;

// Marks the second word of every class ID this adapter makes: 'VST3'.
constexpr vst3::uint32 format_word = 0x56535433;

// 32-bit FNV-1a: a fixed hash, so a class ID never changes while the identifier stays.
vst3::uint32 fnv1a(const std::string& text) {
    vst3::uint32 hash = 0x811C9DC5u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x01000193u;
    }
    return hash;
}

std::string text(axo_factory_i* factory, int index) {
    const char* t = factory->get_info(index);
    return t != nullptr ? t : "";
}

}  // namespace

// The class ID comes from the identifier that tags saved state, so it stays as long as
// saved projects stay loadable, and from the plug-in's VST 2.4 unique ID.
bool describe_vst3_class(axo_factory_i* factory, vst3_class_info& info) {
    if (factory == nullptr) return false;
    const std::string identifier = text(factory, info_identifier);
    if (identifier.empty()) return false;
    // The query answers the ID itself.
    info.words[0] = static_cast<vst3::uint32>(factory->extension("vstuid", nullptr, 0));
    info.words[1] = format_word;
    info.words[2] = fnv1a(identifier);
    info.words[3] = fnv1a(identifier + "#vst3");
    info.name = text(factory, info_short_name);
    info.vendor = text(factory, info_vendor);
    info.version = text(factory, info_version);
    info.url = text(factory, info_url);
    info.sub_categories = vst3_sub_categories;
    return true;
}

std::string vst3_uid_text(const vst3::uint32 (&words)[4]) {
    char out[33];
    std::snprintf(out, sizeof out, "%08X%08X%08X%08X", static_cast<unsigned>(words[0]),
                  static_cast<unsigned>(words[1]), static_cast<unsigned>(words[2]),
                  static_cast<unsigned>(words[3]));
    return out;
}
