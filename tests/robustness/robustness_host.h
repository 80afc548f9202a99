// A VST host for the robustness tests: it opens the built module once, makes effects through
// the module's real entry point and feeds them audio in buffers fenced by guard zones, so that
// a write past a block is caught even when it does not crash. Its callback answers only the
// host version and keeps no state, so any thread may call it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "module_loader.h"
#include "vst/base/vst_abi.h"

using bytes = std::vector<unsigned char>;

inline VstIntPtr VST_CDECL quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                      float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The module's VST entry point; the module stays open until the test program ends.
inline VstPluginEntryProc module_entry() {
    static const module_loader module(ZANDOR_MODULE_PATH);
    return module.function<VstPluginEntryProc>("VSTPluginMain");
}

// Two channels of audio.
struct stereo {
    std::vector<float> l, r;
    explicit stereo(size_t frames = 0, float value = 0.0f) : l(frames, value), r(frames, value) {}
    size_t frames() const { return l.size(); }
    bool operator==(const stereo& o) const;
};

// Quiet noise with loud bursts (peaks up to 4.0) every few thousand frames: it keeps the
// limiter's gain, release and delay line all busy.
stereo busy_signal(size_t frames, uint32_t seed);

// One effect instance made through the entry point, closed when it goes out of scope.
class effect {
public:
    explicit effect(audioMasterCallback host = quiet_host) : e_(module_entry()(host)) {}
    ~effect() { close(); }
    effect(const effect&) = delete;
    effect& operator=(const effect&) = delete;

    AEffect* get() const { return e_; }
    void close() {
        if (e_ != nullptr) e_->dispatcher(e_, effClose, 0, 0, nullptr, 0.0f);
        e_ = nullptr;
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return e_->dispatcher(e_, opcode, index, value, ptr, opt);
    }
    // Sample rate, announced block size, then processing switched on.
    void start(float rate = 44100.0f, VstIntPtr block = 512);
    void set(VstInt32 index, float value) { e_->setParameter(e_, index, value); }
    float get(VstInt32 index) { return e_->getParameter(e_, index); }
    std::string display(VstInt32 index);
    bytes chunk();
    VstIntPtr set_chunk(bytes chunk);

    // Processes the signal in blocks of the given sizes, each in guard-fenced buffers, and
    // answers the output. Accumulating calls add to outputs that held prefill.
    stereo run(const stereo& in, const std::vector<VstInt32>& blocks, bool accumulate = false,
               float prefill = 0.0f);

private:
    AEffect* e_;
};

// Sum of the block sizes a run covers; negative sizes cover nothing.
size_t frames_in(const std::vector<VstInt32>& blocks);
