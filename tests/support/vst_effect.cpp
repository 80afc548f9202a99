#include "support/vst_effect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "module_loader.h"
#include "support/require.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZANDOR_POISON_GUARDS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZANDOR_POISON_GUARDS 1
#endif
#endif
#if defined(ZANDOR_POISON_GUARDS)
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Frames of sentinel before and after every block handed to the effect.
constexpr size_t guard_frames = 16;
constexpr float sentinel = -12345.5f;

// One channel's block between two guard zones, which AddressSanitizer is told to watch.
class fenced {
public:
    fenced(const float* from, size_t frames, float fill)
        : storage_(frames + 2 * guard_frames, sentinel), frames_(frames) {
        for (size_t i = 0; i < frames; ++i) storage_[guard_frames + i] = from ? from[i] : fill;
        poison(true);
    }
    ~fenced() { poison(false); }
    fenced(const fenced&) = delete;
    fenced& operator=(const fenced&) = delete;

    float* data() { return storage_.data() + guard_frames; }
    bool guards_intact() {
        poison(false);
        const size_t end = guard_frames + frames_;
        for (size_t i = 0; i < guard_frames; ++i) {
            if (storage_[i] != sentinel || storage_[end + i] != sentinel) return false;
        }
        return true;
    }

private:
    void poison([[maybe_unused]] bool on) {
#if defined(ZANDOR_POISON_GUARDS)
        const size_t zone = guard_frames * sizeof(float);
        float* const after = data() + frames_;
        if (on) {
            ASAN_POISON_MEMORY_REGION(storage_.data(), zone);
            ASAN_POISON_MEMORY_REGION(after, zone);
        } else {
            ASAN_UNPOISON_MEMORY_REGION(storage_.data(), zone);
            ASAN_UNPOISON_MEMORY_REGION(after, zone);
        }
#endif
    }

    std::vector<float> storage_;
    size_t frames_;
};

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

}  // namespace

VstPluginEntryProc limiter_entry() {
    static const module_loader module(ZANDOR_MODULE_PATH);
    static const auto entry = module.function<VstPluginEntryProc>("VSTPluginMain");
    REQUIRE(entry != nullptr);
    return entry;
}

bool stereo::operator==(const stereo& o) const {
    return same_bits(l, o.l) && same_bits(r, o.r);
}

size_t frames_in(const std::vector<VstInt32>& blocks) {
    size_t total = 0;
    for (VstInt32 n : blocks) total += n > 0 ? static_cast<size_t>(n) : 0;
    return total;
}

VstIntPtr vst_effect::close() {
    const VstIntPtr answer = e_ != nullptr ? dispatch(effClose) : 0;
    e_ = nullptr;
    return answer;
}

void vst_effect::start(float rate, VstIntPtr block) {
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    dispatch(effSetBlockSize, 0, block);
    dispatch(effMainsChanged, 0, 1);
}

std::string vst_effect::text(VstInt32 opcode, VstInt32 index) {
    char text[256] = {};
    dispatch(opcode, index, 0, text);
    return text;
}

bytes vst_effect::chunk() {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
    if (data == nullptr || size <= 0) return {};
    const auto* p = static_cast<const unsigned char*>(data);
    return bytes(p, p + size);
}

VstIntPtr vst_effect::set_chunk(bytes chunk) {
    return dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
}

stereo vst_effect::run(const stereo& in, const std::vector<VstInt32>& blocks, bool accumulate,
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
        const bool intact = in_l.guards_intact() && in_r.guards_intact() && out_l.guards_intact() &&
                            out_r.guards_intact();
        if (!intact) std::fprintf(stderr, "block of %d frames at frame %zu\n", n, at);
        REQUIRE(intact);
        std::copy(out_l.data(), out_l.data() + frames,
                  out.l.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(out_r.data(), out_r.data() + frames,
                  out.r.begin() + static_cast<std::ptrdiff_t>(at));
        at += frames;
    }
    return out;
}
