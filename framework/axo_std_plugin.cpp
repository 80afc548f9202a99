#include "axo_std_plugin.h"

#include <cstddef>

#include "axo_aux_i.h"
#include "axo_codes.h"
#include "axo_param.h"

namespace {

// A channel count as the working tables can hold it: a configuration may declare negative
// counts, and a standard plug-in never processes more than AXO_MAX_CHANNELS.
int table_channels(int count) {
    if (count < 0) return 0;
    return count < AXO_MAX_CHANNELS ? count : AXO_MAX_CHANNELS;
}

}  // namespace

int axo_std_plugin::reserved_1() {
    return 1;
}

int axo_std_plugin::process(int64_t position, float** inputs, int input_stride, float** outputs,
                            int output_stride, axo_aux_i* events, int frames) {
    // Working copies: process_block advances them, the caller's tables stay as they were.
    float* in[AXO_MAX_CHANNELS] = {};
    float* out[AXO_MAX_CHANNELS] = {};
    const int nin = inputs != nullptr ? table_channels(get_channel_count(AXO_DIR_AUDIO_IN)) : 0;
    const int nout = outputs != nullptr ? table_channels(get_channel_count(AXO_DIR_AUDIO_OUT)) : 0;
    for (int c = 0; c < nin; ++c) in[c] = inputs[c];
    for (int c = 0; c < nout; ++c) out[c] = outputs[c];

    for (int i = 0; i < get_param_count(); ++i) param_at(i)->clear_event_extras();

    if (frames < 0) frames = 0;
    if (events == nullptr) {
        process_block(position, in, input_stride, out, output_stride, frames);
        return 1;
    }

    bool more = true;
    while (frames > 0 || more) {
        // Everything due at or before the current position applies before its first sample;
        // time -1 is always due.
        unsigned char header[AXO_HEADER_SIZE];
        bool present = events->peek_header(header) != 0;
        while (present && axo_get_i64(header + AXO_HEADER_TIME) <= position) {
            const int32_t type = axo_get_i32(header + AXO_HEADER_TYPE);
            handle_event(events);
            // A begin record has taken its whole block with it, through the end record; the
            // record now at the front has not been applied yet and must stay.
            if (type != AXO_REC_BEGIN && events->pop() == 0) break;
            present = events->peek_header(header) != 0;
        }

        // Frames up to the next record, or the rest of the block when none is left. The
        // distance is taken on unsigned 64-bit values: the record lies after position, so it
        // is exact however far apart the two are.
        int n = frames;
        bool record_beyond = false;
        if (present) {
            const uint64_t gap = static_cast<uint64_t>(axo_get_i64(header + AXO_HEADER_TIME)) -
                                 static_cast<uint64_t>(position);
            if (gap < static_cast<uint64_t>(frames)) n = static_cast<int>(gap);
            record_beyond = gap > static_cast<uint64_t>(n);
        } else {
            more = false;
        }

        if (n > 0) process_block(position, in, input_stride, out, output_stride, n);
        position = static_cast<int64_t>(static_cast<uint64_t>(position) + static_cast<uint64_t>(n));
        frames -= n;
        // The next record lies beyond this call; it stays queued for a later one.
        if (record_beyond) break;
    }
    return 1;
}

int axo_std_plugin::process_block(int64_t, float** inputs, int input_stride, float** outputs,
                                  int output_stride, int frames) {
    const int nin = inputs != nullptr ? table_channels(get_channel_count(AXO_DIR_AUDIO_IN)) : 0;
    const int nout = outputs != nullptr ? table_channels(get_channel_count(AXO_DIR_AUDIO_OUT)) : 0;
    const int copies = nin > nout ? nin : nout;
    const std::ptrdiff_t in_step = input_stride;
    const std::ptrdiff_t out_step = output_stride;

    for (int f = 0; f < frames; ++f) {
        if (nin == 0) {
            // Nothing to pass through: the outputs carry silence rather than stale data.
            for (int o = 0; o < nout; ++o) {
                if (outputs[o] != nullptr) *outputs[o] = 0.0f;
            }
        } else if (nout > 0) {
            // Walk both sides together, each wrapping at its own count: equal counts copy
            // channel for channel, one input feeds every output, and with fewer outputs the
            // last input mapped onto an output wins.
            int i = 0;
            int o = 0;
            for (int k = 0; k < copies; ++k) {
                if (outputs[o] != nullptr) *outputs[o] = inputs[i] != nullptr ? *inputs[i] : 0.0f;
                if (++i == nin) i = 0;
                if (++o == nout) o = 0;
            }
        }
        for (int c = 0; c < nin; ++c) {
            if (inputs[c] != nullptr) inputs[c] += in_step;
        }
        for (int c = 0; c < nout; ++c) {
            if (outputs[c] != nullptr) outputs[c] += out_step;
        }
    }
    return 1;
}
