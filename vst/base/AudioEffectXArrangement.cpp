// Speaker-arrangement records: allocated, copied and freed by the effect.
#include "vst/base/AudioEffectX.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kArrangementHeaderBytes = offsetof(VstSpeakerArrangement, speakers);

// Speaker entry i of an arrangement whose block really holds numChannels entries.
VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 i) {
    char* block = reinterpret_cast<char*>(arrangement);
    return reinterpret_cast<VstSpeakerProperties*>(block + kArrangementHeaderBytes +
                                                   sizeof(VstSpeakerProperties) * i);
}

}  // namespace

// Speaker-arrangement tools. The blocks come from malloc so that they match the size a
// host computes for a record of numChannels speakers.

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels) {
    if (!arrangement) return false;
    deleteArrangement(arrangement);
    if (nbChannels < 0) return false;
    const uint64_t bytes =
        kArrangementHeaderBytes + static_cast<uint64_t>(sizeof(VstSpeakerProperties)) * nbChannels;
    if (bytes > SIZE_MAX) return false;
    void* block = std::calloc(1, static_cast<size_t>(bytes));
    if (!block) return false;
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = nbChannels;
    return true;
}

bool AudioEffectX::deleteArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement && *arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (!to || !from) return false;
    std::strncpy(to->name, from->name, sizeof to->name - 1);
    to->name[sizeof to->name - 1] = 0;
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (!to || !from) return false;
    deleteArrangement(to);
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < from->numChannels; ++i) {
        if (!copySpeaker(speakerAt(*to, i), speakerAt(from, i))) return false;
    }
    return true;
}
