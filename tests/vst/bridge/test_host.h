// A VST host callback that records every call and answers from settings a test controls.
#pragma once

#include <vector>

#include "vst/base/vst_abi.h"

struct test_host {
    VstIntPtr version = 2400;
    bool has_time = false;
    VstTimeInfo time{};
    VstInt32 level = kVstProcessLevelRealtime;
    std::vector<VstInt32> opcodes;

    static test_host& get() {
        static test_host host;
        return host;
    }
    static void reset() { get() = test_host{}; }

    static VstIntPtr VST_CDECL callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                        float) {
        test_host& h = get();
        h.opcodes.push_back(opcode);
        switch (opcode) {
            case audioMasterVersion: return h.version;
            case audioMasterGetTime: return h.has_time ? reinterpret_cast<VstIntPtr>(&h.time) : 0;
            case audioMasterGetCurrentProcessLevel: return h.level;
            default: return 0;
        }
    }
};
