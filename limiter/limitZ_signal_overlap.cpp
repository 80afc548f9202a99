// Where a call's output buffers lie relative to its inputs and to each other, and so whether
// the call may be worked through in stretches.
#include <cstdint>

#include "limitZ_signal.h"

namespace {

// The bytes a channel touches in a call: frames floats, step apart.
struct channel_span {
    int64_t first;
    int64_t step;
    int64_t low;
    int64_t high;  // one past the last byte
};

// Strides beyond this are never seen in practice; such calls are simply run frame by frame.
constexpr int64_t plain_stride_limit = int64_t{1} << 24;

bool span_of(const float* p, std::ptrdiff_t stride, int frames, channel_span& span) {
    if (stride > plain_stride_limit || stride < -plain_stride_limit) return false;
    span.first = static_cast<int64_t>(reinterpret_cast<uintptr_t>(p));
    span.step = static_cast<int64_t>(stride) * static_cast<int64_t>(sizeof(float));
    const int64_t last = span.first + span.step * (frames - 1);
    span.low = span.first < last ? span.first : last;
    span.high = (span.first < last ? last : span.first) + static_cast<int64_t>(sizeof(float));
    return true;
}

// Whether an output channel stays clear of another channel's samples in a way that lets a
// call be worked through in stretches: no shared bytes at all, or (when same_frame is
// allowed) each output sample on the same frame's sample of the other channel, as in place.
bool kept_apart(const channel_span& out, const channel_span& other, int frames, bool same_frame) {
    if (out.high <= other.low || other.high <= out.low) return true;
    if (out.first == other.first && (frames == 1 || out.step == other.step)) return same_frame;
    if (frames == 1 || out.step != other.step) return false;
    const int64_t stride = out.step < 0 ? -out.step : out.step;
    int64_t phase = (out.first - other.first) % stride;
    if (phase < 0) phase += stride;
    return phase >= static_cast<int64_t>(sizeof(float)) &&
           phase <= stride - static_cast<int64_t>(sizeof(float));
}

}  // namespace

bool limitZ_stretches_allowed(const limitZ_job& job) {
    channel_span in[2], out[2];
    const int inputs = job.stereo ? 2 : 1;
    const int outputs = job.stereo && job.out1 != nullptr ? 2 : 1;
    const float* in_ptrs[2] = {job.in0, job.in1};
    float* out_ptrs[2] = {job.out0, job.out1};
    for (int c = 0; c < inputs; ++c) {
        if (!span_of(in_ptrs[c], job.in_step, job.frames, in[c])) return false;
    }
    for (int c = 0; c < outputs; ++c) {
        if (!span_of(out_ptrs[c], job.out_step, job.frames, out[c])) return false;
        // One sample for every frame: only its last value would stay, clipped once per frame.
        if (out[c].step == 0 && job.frames > 1) return false;
        for (int i = 0; i < inputs; ++i) {
            if (!kept_apart(out[c], in[i], job.frames, true)) return false;
        }
    }
    return outputs == 1 || kept_apart(out[0], out[1], job.frames, false);
}
