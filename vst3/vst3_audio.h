// The audio side of one instance: runs the plug-in over a host's process call, applying the
// parameter changes at their frames, keeping the delay line that bypass plays from, and
// reading the gain-reduction meter. process() allocates nothing, takes no lock but the
// parameters' own and lets nothing throw.
#pragma once

#include <cstdint>
#include <vector>

#include "glue/chunk_runner.h"
#include "vst3/vst3_abi.h"

class axo_meter_i;
class axo_plugin_i;
class vst3_params;

class vst3_audio {
public:
    vst3_audio(axo_plugin_i* plugin, vst3_params* params);

    // The channel count of both buses, 1 or 2; the plug-in must already have it. Allocates:
    // called when the host sets the bus arrangement.
    void set_channels(int channels);
    int channels() const { return channels_; }
    // Clears the delay lines, the plug-in's state and the meter, before processing starts.
    void activate();
    // Applies the changes, processes the audio if the buffers are usable and reports the
    // meter. A call with no frames, no buses or missing buffers only applies the changes.
    void process(vst3::ProcessData& data);

private:
    // One input queue of a known parameter, with its next unapplied point.
    struct queue_cursor {
        vst3::IParamValueQueue* queue;
        vst3::ParamID id;
        vst3::int32 next;
        vst3::int32 count;
        vst3::int32 offset;  // of point next
    };

    void gather_queues(vst3::IParameterChanges* changes);
    // Applies every point at or before frame, and answers the frame of the next point.
    vst3::int32 apply_until(vst3::int32 frame, vst3::int32 end);
    bool take_buffers(const vst3::ProcessData& data);
    void run(int offset, int frames);
    void report_meter(vst3::IParameterChanges* out);

    axo_plugin_i* plugin_;
    vst3_params* params_;
    axo_meter_i* meter_ = nullptr;
    int channels_ = 2;
    std::vector<queue_cursor> cursors_;  // sized once; cursor_count_ of them in use
    size_t cursor_count_ = 0;
    float* in_[2] = {};
    float* out_[2] = {};
    // The lowest gain of the unbypassed chunks of this call.
    float lowest_gain_ = 1.0f;
    // Runs the audio, through the delay line that a bypassed instance plays from.
    chunk_runner runner_;
};
