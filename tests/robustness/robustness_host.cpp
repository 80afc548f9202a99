#include "robustness_host.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

// Frames of sentinel before and after every block handed to the effect.
constexpr size_t guard_frames = 16;
constexpr float sentinel = -12345.5f;

// One channel's block between two guard zones.
struct fenced {
    std::vector<float> storage;
    fenced(const float* from, size_t frames, float fill)
        : storage(frames + 2 * guard_frames, sentinel) {
        for (size_t i = 0; i < frames; ++i) storage[guard_frames + i] = from ? from[i] : fill;
    }
    float* data() { return storage.data() + guard_frames; }
    bool guards_intact() const {
        const size_t end = storage.size() - guard_frames;
        for (size_t i = 0; i < guard_frames; ++i) {
            if (storage[i] != sentinel || storage[end + i] != sentinel) return false;
        }
        return true;
    }
};

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

}  // namespace

bool stereo::operator==(const stereo& o) const {
    return same_bits(l, o.l) && same_bits(r, o.r);
}

stereo busy_signal(size_t frames, uint32_t seed) {
    stereo s(frames);
    uint32_t state = seed;
    for (size_t t = 0; t < frames; ++t) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
        const float burst = (t / 1500) % 3 == 1 ? 4.0f : 0.3f;
        s.l[t] = burst * noise;
        s.r[t] = 0.5f * burst * static_cast<float>(std::sin(0.01 * static_cast<double>(t)));
    }
    return s;
}

size_t frames_in(const std::vector<VstInt32>& blocks) {
    size_t total = 0;
    for (VstInt32 n : blocks) total += n > 0 ? static_cast<size_t>(n) : 0;
    return total;
}

void effect::start(float rate, VstIntPtr block) {
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    dispatch(effSetBlockSize, 0, block);
    dispatch(effMainsChanged, 0, 1);
}

std::string effect::display(VstInt32 index) {
    char text[256] = {};
    dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

bytes effect::chunk() {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
    if (data == nullptr || size <= 0) return {};
    const auto* p = static_cast<const unsigned char*>(data);
    return bytes(p, p + size);
}

VstIntPtr effect::set_chunk(bytes chunk) {
    return dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
}

stereo effect::run(const stereo& in, const std::vector<VstInt32>& blocks, bool accumulate,
                   float prefill) {
    stereo out(frames_in(blocks));
    size_t at = 0;
    for (VstInt32 n : blocks) {
        const size_t frames = n > 0 ? static_cast<size_t>(n) : 0;
        fenced in_l(in.l.data() + at, frames, 0.0f), in_r(in.r.data() + at, frames, 0.0f);
        fenced out_l(nullptr, frames, prefill), out_r(nullptr, frames, prefill);
        float* inputs[] = {in_l.data(), in_r.data()};
        float* outputs[] = {out_l.data(), out_r.data()};
        if (accumulate) {
            e_->process(e_, inputs, outputs, n);
        } else {
            e_->processReplacing(e_, inputs, outputs, n);
        }
        EXPECT_TRUE(in_l.guards_intact() && in_r.guards_intact() && out_l.guards_intact() &&
                    out_r.guards_intact())
            << "block of " << n << " frames at frame " << at;
        std::copy(out_l.data(), out_l.data() + frames,
                  out.l.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(out_r.data(), out_r.data() + frames,
                  out.r.begin() + static_cast<std::ptrdiff_t>(at));
        at += frames;
    }
    return out;
}
