// A VST host for the fuzz targets: it opens the built module as a host does, makes effects
// through its entry point and answers the module's questions about the transport and the
// process level from what the current input chose.
#pragma once

#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "fuzz_input.h"
#include "module_loader.h"
#include "vst/base/vst_abi.h"

// What the host reports while one input runs. The fuzz targets run one input at a time.
struct fuzz_host_state {
    bool has_time = false;
    VstTimeInfo time{};
    VstInt32 process_level = kVstProcessLevelRealtime;
};

inline fuzz_host_state& fuzz_host() {
    static fuzz_host_state state;
    return state;
}

inline VstIntPtr VST_CDECL fuzz_host_callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                              float) {
    fuzz_host_state& h = fuzz_host();
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterGetTime: return h.has_time ? reinterpret_cast<VstIntPtr>(&h.time) : 0;
        case audioMasterGetCurrentProcessLevel: return h.process_level;
        default: return 0;
    }
}

// Reads the transport and process level the host reports from the input.
inline void take_host_state(fuzz_input& in) {
    fuzz_host_state& h = fuzz_host();
    h = fuzz_host_state{};
    const uint8_t flags = in.take<uint8_t>();
    h.has_time = (flags & 1) != 0;
    h.process_level = flags >> 5;
    h.time.samplePos = in.take<double>();
    h.time.sampleRate = 44100.0;
    h.time.tempo = in.take<double>();
    h.time.flags = kVstTempoValid | kVstTransportPlaying;
}

// The module's entry point. Opened once, before fuzzing starts, so that the fuzzer sees the
// module's coverage from the first input on.
inline VstPluginEntryProc fuzz_module_entry() {
    static const module_loader module(ZANDOR_MODULE_PATH);
    static const auto entry = module.function<VstPluginEntryProc>("VSTPluginMain");
    FUZZ_REQUIRE(entry != nullptr);
    return entry;
}

// One effect, switched on at 44.1 kHz with 512-frame blocks; closed when it goes.
class fuzz_effect {
public:
    fuzz_effect() : e_(fuzz_module_entry()(fuzz_host_callback)) {
        FUZZ_REQUIRE(e_ != nullptr);
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effSetBlockSize, 0, 512);
        dispatch(effMainsChanged, 0, 1);
    }
    ~fuzz_effect() {
        if (e_ != nullptr) FUZZ_REQUIRE(dispatch(effClose) == 1);
    }
    fuzz_effect(const fuzz_effect&) = delete;
    fuzz_effect& operator=(const fuzz_effect&) = delete;

    AEffect* get() const { return e_; }
    // Closes the effect now; later calls go nowhere.
    void close() {
        FUZZ_REQUIRE(dispatch(effClose) == 1);
        e_ = nullptr;
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return e_->dispatcher(e_, opcode, index, value, ptr, opt);
    }

    // The state chunk, which must be well formed whatever the effect was fed.
    bytes chunk() {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
        FUZZ_REQUIRE(size >= 0 && (size == 0 || data != nullptr));
        const auto* p = static_cast<const unsigned char*>(data);
        FUZZ_REQUIRE(chunk_is_well_formed(p, static_cast<size_t>(size)));
        return bytes(p, p + size);
    }

    // Processes frames of the input's audio (within -1 .. 1) in separately allocated channel
    // buffers of exactly that length; every output sample must be a finite number within
    // full scale, whether the effect limited or passed the block through.
    void process(fuzz_input& in, VstInt32 frames, bool accumulate = false) {
        const size_t n = frames > 0 ? static_cast<size_t>(frames) : 0;
        std::vector<float> in_l(n), in_r(n), out_l(n), out_r(n);
        take_audio(in, in_l);
        take_audio(in, in_r);
        float* inputs[] = {in_l.data(), in_r.data()};
        float* outputs[] = {out_l.data(), out_r.data()};
        if (accumulate) {
            e_->process(e_, inputs, outputs, frames);
        } else {
            e_->processReplacing(e_, inputs, outputs, frames);
        }
        for (size_t i = 0; i < n; ++i) {
            FUZZ_REQUIRE(std::isfinite(out_l[i]) && std::fabs(out_l[i]) <= 1.0f);
            FUZZ_REQUIRE(std::isfinite(out_r[i]) && std::fabs(out_r[i]) <= 1.0f);
        }
    }

private:
    AEffect* e_;
};

// A host's event list: each event a record of its own of exactly the size of a VST event,
// some of them missing, with whatever type, size, offset and bytes the input gives.
class fuzz_event_list {
public:
    explicit fuzz_event_list(fuzz_input& in) {
        const uint8_t count = in.take<uint8_t>();
        events_.resize(count);
        // The list record is declared with room for two pointers; hosts allocate as many as
        // they send.
        const size_t pointers = count > 2 ? count : 2;
        storage_.reset(
            new unsigned char[offsetof(VstEvents, events) + pointers * sizeof(VstEvent*)]());
        list_ = reinterpret_cast<VstEvents*>(storage_.get());
        list_->numEvents = count;
        auto** slots = reinterpret_cast<VstEvent**>(storage_.get() + offsetof(VstEvents, events));
        for (size_t i = 0; i < count; ++i) {
            const uint8_t shape = in.take<uint8_t>();
            if ((shape & 0x0F) == 0) continue;  // a null entry
            auto event = std::make_unique<VstMidiEvent>();
            event->type = (shape & 0x10) ? in.take<VstInt32>() : kVstMidiType;
            event->byteSize = (shape & 0x20) ? in.take<VstInt32>() : sizeof(VstMidiEvent);
            event->deltaFrames = (shape & 0x40) ? in.take<VstInt32>() : in.take<uint8_t>();
            for (char& c : event->midiData) c = static_cast<char>(in.take<uint8_t>());
            slots[i] = reinterpret_cast<VstEvent*>(event.get());
            events_[i] = std::move(event);
        }
        if (in.take<uint8_t>() == 0xFF) list_->numEvents = -count;
    }
    VstEvents* get() { return list_; }

private:
    std::unique_ptr<unsigned char[]> storage_;
    VstEvents* list_;
    std::vector<std::unique_ptr<VstMidiEvent>> events_;
};
