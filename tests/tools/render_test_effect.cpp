// A small VST 2.4 effect for the render tool's tests, for host behaviour that the limiter
// does not show: it reports its 32-frame delay only from its first processed block on, keeps
// its settings as parameter values rather than a chunk, and has a parameter whose display is
// text. It multiplies by its gain and delays by 32 frames.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "vst/base/vst_abi.h"

namespace {

constexpr int delay_frames = 32;

struct test_effect {
    AEffect record{};
    audioMasterCallback host = nullptr;
    float gain_position = 1.0f;      // Gain: -24 dB at 0 to 0 dB at 1, linear in dB
    float polarity_position = 0.0f;  // Polarity: Normal below 0.5, Inverted from 0.5
    float line[2][delay_frames] = {};
    int line_pos = 0;
};

test_effect* self(AEffect* e) {
    return static_cast<test_effect*>(e->object);
}

double gain_db(const test_effect* t) {
    return -24.0 + 24.0 * t->gain_position;
}

VstIntPtr VST_CDECL dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr /*value*/,
                             void* ptr, float /*opt*/) {
    test_effect* t = self(e);
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effClose: delete t; return 1;
        case effMainsChanged: std::memset(t->line, 0, sizeof t->line); return 0;
        case effGetParamName:
            std::snprintf(text, 32, "%s", index == 0 ? "Gain" : "Polarity");
            return 0;
        case effGetParamDisplay:
            if (index == 0) std::snprintf(text, 32, "%.2fdB", gain_db(t));
            if (index == 1)
                std::snprintf(text, 32, "%s", t->polarity_position >= 0.5f ? "Inverted" : "Normal");
            return 0;
        case effGetEffectName: std::snprintf(text, 32, "Render Test Effect"); return 1;
        case effGetVendorVersion: return 7;
        default: return 0;
    }
}

void VST_CDECL set_parameter(AEffect* e, VstInt32 index, float v) {
    if (index == 0) self(e)->gain_position = v;
    if (index == 1) self(e)->polarity_position = v;
}

float VST_CDECL get_parameter(AEffect* e, VstInt32 index) {
    return index == 0 ? self(e)->gain_position : index == 1 ? self(e)->polarity_position : 0.0f;
}

void VST_CDECL process_replacing(AEffect* e, float** in, float** out, VstInt32 frames) {
    test_effect* t = self(e);
    e->initialDelay = delay_frames;
    // A host that hands out no timeline would make many effects misbehave; the tests see it.
    if (t->host(e, audioMasterGetTime, 0, 0, nullptr, 0.0f) == 0) return;
    const float g = static_cast<float>(std::pow(10.0, gain_db(t) / 20.0)) *
                    (t->polarity_position >= 0.5f ? -1.0f : 1.0f);
    for (VstInt32 i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            const float x = in[c][i];
            out[c][i] = t->line[c][t->line_pos];
            t->line[c][t->line_pos] = g * x;
        }
        t->line_pos = (t->line_pos + 1) % delay_frames;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    test_effect* t = new test_effect;
    t->host = host;
    AEffect& r = t->record;
    r.magic = kEffectMagic;
    r.dispatcher = dispatch;
    r.setParameter = set_parameter;
    r.getParameter = get_parameter;
    r.numPrograms = 1;
    r.numParams = 2;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = effFlagsCanReplacing;
    r.object = t;
    r.uniqueID = vstFourCharCode('Z', 't', 'F', 'x');
    r.version = 1;
    r.processReplacing = process_replacing;
    return &r;
}
