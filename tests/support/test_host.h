// The VST host of the tests and fuzz targets: one callback that answers from settings a test
// controls (version, transport, process level, or one answer to everything) and, when asked
// to, records every call. There is one host per program, as the callback cannot tell the
// effects apart by anything of ours. Only the recording writes: a host that does not record
// may be called from any thread.
#pragma once

#include <optional>
#include <vector>

#include "vst/base/vst_abi.h"

// One call an effect made to the host.
struct host_call {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

struct test_host {
    VstIntPtr version = 2400;
    bool has_time = false;
    VstTimeInfo time{};
    VstInt32 level = kVstProcessLevelRealtime;
    // When set, the answer to every call whatever its opcode.
    std::optional<VstIntPtr> answer;
    // Whether calls receives every call; for one thread only.
    bool record = false;
    std::vector<host_call> calls;

    static test_host& get() {
        static test_host host;
        return host;
    }
    static void reset() { get() = test_host{}; }

    static VstIntPtr VST_CDECL callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                        VstIntPtr value, void* ptr, float opt) {
        test_host& h = get();
        if (h.record) h.calls.push_back({effect, opcode, index, value, ptr, opt});
        if (h.answer) return *h.answer;
        switch (opcode) {
            case audioMasterVersion: return h.version;
            case audioMasterGetTime: return h.has_time ? reinterpret_cast<VstIntPtr>(&h.time) : 0;
            case audioMasterGetCurrentProcessLevel: return h.level;
            default: return 0;
        }
    }
};
