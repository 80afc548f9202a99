#include "vst3/vst3_audio.h"

#include <algorithm>
#include <cstring>

#include "framework/axo_codes.h"
#include "framework/axo_meter_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/param_kind.h"
#include "glue/rounding_guard.h"
#include "vst3/vst3_params.h"

using namespace vst3;

vst3_audio::vst3_audio(axo_plugin_i* plugin, vst3_params* params)
    : plugin_(plugin), params_(params) {
    if (plugin_->extension(AXO_METER_KEY, &meter_, sizeof meter_) != 1) meter_ = nullptr;
    cursors_.resize(static_cast<size_t>(params_->count()));
    runner_.prepare(plugin_, channels_);
}

void vst3_audio::set_channels(int channels) {
    channels_ = channels;
    runner_.prepare(plugin_, channels);
}

void vst3_audio::activate() {
    rounding_guard guard;
    plugin_->reset();
    runner_.reset();
    if (meter_ != nullptr) meter_->take_lowest_gain();
    params_->set_meter_db(0.0);
}

void vst3_audio::gather_queues(IParameterChanges* changes) {
    cursor_count_ = 0;
    const int32 queues = changes != nullptr ? changes->getParameterCount() : 0;
    for (int32 i = 0; i < queues && cursor_count_ < cursors_.size(); ++i) {
        IParamValueQueue* q = changes->getParameterData(i);
        if (q == nullptr) continue;
        const ParamID id = q->getParameterId();
        const int32 count = q->getPointCount();
        // The meter is written by this side; a host echoing it back changes nothing.
        if (!params_->is_known(id) || id == vst3_meter_id || count <= 0) continue;
        cursors_[cursor_count_++] = queue_cursor{q, id, 0, count, 0};
    }
}

int32 vst3_audio::apply_until(int32 frame, int32 end) {
    int32 next = end;
    for (size_t i = 0; i < cursor_count_; ++i) {
        queue_cursor& c = cursors_[i];
        for (; c.next < c.count; ++c.next) {
            ParamValue value = 0.0;
            if (c.queue->getPoint(c.next, c.offset, value) != kResultOk) continue;
            if (c.offset > frame) break;
            params_->set_normalized(c.id, value);
        }
        if (c.next < c.count && c.offset < next) next = c.offset;
    }
    return next;
}

bool vst3_audio::take_buffers(const ProcessData& data) {
    if (data.symbolicSampleSize != kSample32 || data.numInputs < 1 || data.numOutputs < 1 ||
        data.inputs == nullptr || data.outputs == nullptr) {
        return false;
    }
    const AudioBusBuffers& in = data.inputs[0];
    const AudioBusBuffers& out = data.outputs[0];
    if (in.numChannels < channels_ || out.numChannels < channels_ ||
        in.channelBuffers32 == nullptr || out.channelBuffers32 == nullptr) {
        return false;
    }
    for (int c = 0; c < channels_; ++c) {
        in_[c] = in.channelBuffers32[c];
        out_[c] = out.channelBuffers32[c];
        if (in_[c] == nullptr || out_[c] == nullptr) return false;
    }
    data.outputs[0].silenceFlags = 0;
    return true;
}

void vst3_audio::process(ProcessData& data) {
    rounding_guard guard;
    const int32 frames = std::max(data.numSamples, 0);
    gather_queues(data.inputParameterChanges);
    const bool audio = frames > 0 && take_buffers(data);
    lowest_gain_ = 1.0f;
    int32 frame = 0;
    do {
        const int32 next = apply_until(frame, frames);
        if (audio && next > frame) run(frame, next - frame);
        frame = next;
    } while (frame < frames);
    // Points past the block's end, which a careless host may send, still take effect.
    apply_until(INT32_MAX, INT32_MAX);
    if (audio) report_meter(data.outputParameterChanges);
}

void vst3_audio::run(int offset, int frames) {
    const bool bypassed = params_->bypassed();
    for (int done = 0; done < frames; done += chunk_runner::chunk_frames) {
        const int n = std::min(frames - done, chunk_runner::chunk_frames);
        runner_.run_chunk(in_, out_, static_cast<size_t>(offset + done), n, bypassed);
        const float gain = meter_ != nullptr ? meter_->take_lowest_gain() : 1.0f;
        // A bypassed limiter reduces nothing that is heard.
        if (!bypassed && gain < lowest_gain_) lowest_gain_ = gain;
    }
}

void vst3_audio::report_meter(IParameterChanges* out) {
    const double reduction_db =
        lowest_gain_ < 1.0f ? -find_param_kind(AXO_KIND_GAIN)->to_unit(lowest_gain_) : 0.0;
    params_->set_meter_db(reduction_db);
    if (out == nullptr) return;
    int32 index = 0;
    IParamValueQueue* queue = out->addParameterData(vst3_meter_id, index);
    if (queue != nullptr) queue->addPoint(0, params_->meter_normalized(), index);
}
