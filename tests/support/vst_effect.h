// An effect made through a VST module's entry point and driven the way a host drives it, for
// the tests and fuzz targets. Audio goes in and out in buffers fenced by guard zones, so that
// a write past a block is caught even when it does not crash (and, under AddressSanitizer,
// any access at all).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "support/test_host.h"
#include "vst/base/vst_abi.h"

using bytes = std::vector<unsigned char>;

// The entry point of the limiter module this tree builds, opened on the first call and kept
// open until the program ends (a fuzzer then sees the module's coverage from its first input).
VstPluginEntryProc limiter_entry();

// Two channels of audio.
struct stereo {
    std::vector<float> l, r;
    explicit stereo(size_t frames = 0, float value = 0.0f) : l(frames, value), r(frames, value) {}
    stereo(std::vector<float> left, std::vector<float> right)
        : l(std::move(left)), r(std::move(right)) {}
    size_t frames() const { return l.size(); }
    bool operator==(const stereo& o) const;
};

// Sum of the block sizes a run covers; negative sizes cover nothing.
size_t frames_in(const std::vector<VstInt32>& blocks);

// One effect instance, closed when it goes out of scope. Null when the entry point made none.
class vst_effect {
public:
    explicit vst_effect(VstPluginEntryProc entry = limiter_entry(),
                        audioMasterCallback host = test_host::callback)
        : e_(entry(host)) {}
    ~vst_effect() { close(); }
    vst_effect(const vst_effect&) = delete;
    vst_effect& operator=(const vst_effect&) = delete;

    AEffect* get() const { return e_; }
    // Closes the effect now and answers effClose's result; later calls go nowhere.
    VstIntPtr close();
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return e_->dispatcher(e_, opcode, index, value, ptr, opt);
    }
    // Opened, sample rate and announced block size set, then processing switched on.
    void start(float rate = 44100.0f, VstIntPtr block = 512);
    void set(VstInt32 index, float value) { e_->setParameter(e_, index, value); }
    float get(VstInt32 index) { return e_->getParameter(e_, index); }
    // The text an opcode writes, such as a parameter's display text or name.
    std::string text(VstInt32 opcode, VstInt32 index = 0);
    std::string display(VstInt32 index) { return text(effGetParamDisplay, index); }
    bytes chunk();
    VstIntPtr set_chunk(bytes chunk);

    // Processes the signal in blocks of the given sizes, each in guard-fenced buffers, and
    // answers the output. Accumulating calls add to outputs that held prefill.
    stereo run(const stereo& in, const std::vector<VstInt32>& blocks, bool accumulate = false,
               float prefill = 0.0f);

private:
    AEffect* e_;
};
