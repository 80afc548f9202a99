// What the VST fuzz targets decode from their input besides audio: the transport and process
// level the test host reports, and host event lists; and the checks every effect must pass.
#pragma once

#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "fuzz_input.h"
#include "support/test_host.h"
#include "support/vst_effect.h"

// Reads the transport and process level the host reports from the input.
inline void take_host_state(fuzz_input& in) {
    test_host::reset();
    test_host& h = test_host::get();
    const uint8_t flags = in.take<uint8_t>();
    h.has_time = (flags & 1) != 0;
    h.level = flags >> 5;
    h.time.samplePos = in.take<double>();
    h.time.sampleRate = 44100.0;
    h.time.tempo = in.take<double>();
    h.time.flags = kVstTempoValid | kVstTransportPlaying;
}

// Switches an effect on at 44.1 kHz with 512-frame blocks.
inline void switch_on(vst_effect& fx) {
    REQUIRE(fx.get() != nullptr);
    fx.start();
}

// The state chunk, which must be well formed whatever the effect was fed.
inline bytes checked_chunk(vst_effect& fx) {
    void* data = nullptr;
    const VstIntPtr size = fx.dispatch(effGetChunk, 0, 0, &data);
    REQUIRE(size >= 0 && (size == 0 || data != nullptr));
    const auto* p = static_cast<const unsigned char*>(data);
    REQUIRE(chunk_is_well_formed(p, static_cast<size_t>(size)));
    return bytes(p, p + size);
}

// Processes frames of the input's audio (within -1 .. 1); every output sample must be a
// finite number within full scale, whether the effect limited or passed the block through.
inline void process_audio(vst_effect& fx, fuzz_input& in, VstInt32 frames,
                          bool accumulate = false) {
    stereo audio(frames > 0 ? static_cast<size_t>(frames) : 0);
    take_audio(in, audio.l);
    take_audio(in, audio.r);
    const stereo out = fx.run(audio, {frames}, accumulate);
    for (size_t i = 0; i < out.frames(); ++i) {
        REQUIRE(std::isfinite(out.l[i]) && std::fabs(out.l[i]) <= 1.0f);
        REQUIRE(std::isfinite(out.r[i]) && std::fabs(out.r[i]) <= 1.0f);
    }
}

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
