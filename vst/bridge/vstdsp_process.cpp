// Audio, timing and MIDI from the host to the plug-in.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "framework/axo_codes.h"
#include "framework/axo_plugin_i.h"
#include "framework/axo_records.h"
#include "glue/rounding_guard.h"
#include "vst/bridge/midi_record.h"
#include "vst/bridge/vstdsp.h"

namespace {

// Host tempos outside this range (beats per minute) are taken for garbage and ignored.
constexpr double lowest_tempo = 5.0;
constexpr double tempo_limit = 512.0;

// A MIDI event must hold its three message bytes for the adapter to read them.
constexpr VstInt32 smallest_midi_event =
    static_cast<VstInt32>(offsetof(VstMidiEvent, midiData) + 3);

int process_mode_for(VstInt32 level) {
    switch (level) {
        case kVstProcessLevelRealtime:
        case kVstProcessLevelPrefetch: return AXO_MODE_REALTIME;
        case kVstProcessLevelOffline: return AXO_MODE_OFFLINE;
        default: return AXO_MODE_UNSPECIFIED;
    }
}

// Copies up to count channel pointers; false when the host gave no table or a null channel.
bool copy_channels(float** from, int count, float** to) {
    if (count > 0 && from == nullptr) return false;
    for (int c = 0; c < count; ++c) {
        to[c] = from[c];
        if (to[c] == nullptr) return false;
    }
    return true;
}

int channels_to_pass(int plugin_count, VstInt32 record_count) {
    return std::max(0,
                    std::min({plugin_count, static_cast<int>(record_count), VSTDSP_MAX_CHANNELS}));
}

}  // namespace

void vstdsp::resume() {
    wantEvents(1);
    plugin_->reset();
}

void vstdsp::setSampleRate(float rate) {
    AudioEffectX::setSampleRate(rate);
    const float current = plugin_->get_sample_rate();
    // A NaN on either side counts as a change.
    if (!(rate == current)) plugin_->set_sample_rate(rate);
}

void vstdsp::setBlockSize(VstInt32 frames) {
    AudioEffectX::setBlockSize(frames);
    plugin_->set_block_size(frames);
    const int outputs = plugin_->get_channel_count(AXO_DIR_AUDIO_OUT);
    const size_t samples =
        frames > 0 && outputs > 0 ? static_cast<size_t>(frames) * static_cast<size_t>(outputs) : 0;
    scratch_.reset();
    scratch_samples_ = 0;
    replace_scratch(samples);
}

bool vstdsp::replace_scratch(size_t samples) {
    if (samples > std::numeric_limits<size_t>::max() / sizeof(float)) return false;
    std::unique_ptr<float[]> fresh(new (std::nothrow) float[samples]);
    if (!fresh) return false;
    scratch_ = std::move(fresh);
    scratch_samples_ = samples;
    return true;
}

void vstdsp::take_host_position() {
    const VstTimeInfo* time = getTimeInfo(0);
    if (time == nullptr) return;
    // Only a position that fits the 64-bit count is taken; anything else keeps counting on.
    const double position = time->samplePos;
    if (std::isfinite(position) && std::fabs(position) < 9.0e18) {
        sample_position_ = static_cast<int64_t>(position);
    }
}

void vstdsp::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    rounding_guard guard;
    const VstInt32 frames = std::max<VstInt32>(sampleFrames, 0);
    float* in[VSTDSP_MAX_CHANNELS] = {};
    float* out[VSTDSP_MAX_CHANNELS] = {};
    const bool usable =
        copy_channels(
            inputs,
            channels_to_pass(plugin_->get_channel_count(AXO_DIR_AUDIO_IN), cEffect.numInputs),
            in) &&
        copy_channels(
            outputs,
            channels_to_pass(plugin_->get_channel_count(AXO_DIR_AUDIO_OUT), cEffect.numOutputs),
            out);

    take_host_position();
    const VstTimeInfo* tempo_info = getTimeInfo(kVstTempoValid);
    if (tempo_info != nullptr) {
        const double tempo = tempo_info->tempo;
        if (tempo >= lowest_tempo && tempo < tempo_limit &&
            tempo != static_cast<double>(plugin_->get_tempo())) {
            plugin_->set_tempo(static_cast<float>(tempo));
        }
    }
    if (plugin_->get_block_size() < frames) setBlockSize(frames);
    plugin_->set_process_mode(process_mode_for(getCurrentProcessLevel()));

    if (usable) plugin_->process(sample_position_, in, 1, out, 1, &aux_b_, frames);
    sample_position_ += frames;
    // Events not consumed by this block, and anything the plug-in wrote back, are dropped.
    aux_a_.clear();
    aux_b_.clear();
}

void vstdsp::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    rounding_guard guard;
    const int channels =
        channels_to_pass(plugin_->get_channel_count(AXO_DIR_AUDIO_OUT), cEffect.numOutputs);
    float* out[VSTDSP_MAX_CHANNELS] = {};
    if (sampleFrames <= 0 || !copy_channels(outputs, channels, out)) {
        processReplacing(inputs, outputs, sampleFrames);
        return;
    }
    const size_t frames = static_cast<size_t>(sampleFrames);
    const size_t needed = frames * static_cast<size_t>(channels);
    // The saved outputs must fit, and must survive the replacing call, which replaces the
    // scratch array when the block is longer than any before: they are kept aside here.
    if (scratch_samples_ < needed && !replace_scratch(needed)) return;
    std::unique_ptr<float[]> saved = std::move(scratch_);
    const size_t saved_samples = scratch_samples_;
    scratch_samples_ = 0;

    for (int c = 0; c < channels; ++c) std::copy(out[c], out[c] + frames, &saved[c * frames]);
    processReplacing(inputs, outputs, sampleFrames);
    for (int c = 0; c < channels; ++c) {
        for (size_t i = 0; i < frames; ++i) out[c][i] += saved[c * frames + i];
    }
    if (!scratch_) {
        scratch_ = std::move(saved);
        scratch_samples_ = saved_samples;
    }
}

VstInt32 vstdsp::processEvents(VstEvents* events) {
    rounding_guard guard;
    take_host_position();
    if (events == nullptr || events->numEvents <= 0) return 1;
    VstEvent* const* list = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (event == nullptr || event->type != kVstMidiType ||
            event->byteSize < smallest_midi_event) {
            continue;
        }
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        unsigned char record[AXO_SIZE_MIDI];
        if (build_midi_record(static_cast<unsigned char>(midi->midiData[0]),
                              static_cast<unsigned char>(midi->midiData[1]),
                              static_cast<unsigned char>(midi->midiData[2]),
                              sample_position_ + midi->deltaFrames, record)) {
            aux_a_.write(record);
        }
    }
    return 1;
}
