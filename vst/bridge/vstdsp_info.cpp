// Descriptive answers: program, pins, names and capabilities.
#include <cstdio>
#include <cstring>

#include "framework/axo_codes.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/bounded_text.h"
#include "vst/bridge/vstdsp.h"

namespace {

// The effect's one program.
constexpr char program_name[] = "Default";

// Factory information strings the host is shown.
constexpr int info_full_name = 1;
constexpr int info_short_name = 3;
constexpr int info_vendor = 4;

// Bytes of the host's buffers for the effect name and for the vendor and product strings.
constexpr size_t effect_name_bytes = kVstMaxEffectNameLen;
constexpr size_t vendor_bytes = kVstMaxVendorStrLen;
constexpr size_t product_bytes = kVstMaxProductStrLen;

// Every capability the effect does not claim is denied, never answered as unknown.
constexpr VstInt32 capability_claimed = 1;
constexpr VstInt32 capability_denied = -1;

}  // namespace

void vstdsp::setProgram(VstInt32) {}

void vstdsp::getProgramName(char* name) {
    if (name != nullptr) std::memcpy(name, program_name, sizeof program_name);
}

bool vstdsp::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index != 0 || text == nullptr) return false;
    std::memcpy(text, program_name, sizeof program_name);
    return true;
}

bool vstdsp::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (properties == nullptr || index < 0 ||
        index >= plugin_->get_channel_count(AXO_DIR_AUDIO_OUT)) {
        return false;
    }
    std::snprintf(properties->label, sizeof properties->label, "OUT%1d", index + 1);
    properties->flags = kVstPinIsActive;
    // Both pins of a stereo pair carry the stereo flag: the left answers for itself, the
    // right through the pin before it.
    if (plugin_->get_stereo_partner(AXO_DIR_AUDIO_OUT, index) != -1 ||
        plugin_->get_stereo_partner(AXO_DIR_AUDIO_OUT, index - 1) != -1) {
        properties->flags |= kVstPinIsStereo;
    }
    return true;
}

bool vstdsp::getEffectName(char* name) {
    if (name == nullptr) return false;
    copy_bounded_text(name, factory_->get_info(info_short_name), effect_name_bytes);
    return true;
}

bool vstdsp::getVendorString(char* text) {
    if (text == nullptr) return false;
    copy_bounded_text(text, factory_->get_info(info_vendor), vendor_bytes);
    return true;
}

bool vstdsp::getProductString(char* text) {
    if (text == nullptr) return false;
    copy_bounded_text(text, factory_->get_info(info_full_name), product_bytes);
    return true;
}

VstInt32 vstdsp::getVendorVersion() {
    return 1;
}

VstInt32 vstdsp::canDo(char* text) {
    if (plugin_->get_channel_count(AXO_DIR_EVENT_IN) <= 0 || text == nullptr) {
        return capability_denied;
    }
    if (std::strcmp(text, "receiveVstEvents") == 0 ||
        std::strcmp(text, "receiveVstMidiEvent") == 0) {
        return capability_claimed;
    }
    return capability_denied;
}
