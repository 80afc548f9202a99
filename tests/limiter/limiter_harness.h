// Drives the limiter the way a native host does: get_axoi(0), create_plugin, set_sample_rate,
// then process with channel pointer tables and an optional event queue. Output buffers carry
// guard zones so that a write past a block is caught even when it does not crash.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "limiter_model.h"

constexpr int PARAM_THRESHOLD = 0;
constexpr int PARAM_CEILING = 1;
constexpr int PARAM_RELEASE = 2;

inline uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// One factory and one instance made through the module entry, both deleted at the end.
struct limiter_host {
    std::unique_ptr<axo_factory_i> factory{get_axoi(0)};
    std::unique_ptr<axo_plugin_i> plugin{factory ? factory->create_plugin() : nullptr};

    explicit limiter_host(float rate = 44100.0f) {
        if (plugin) plugin->set_sample_rate(rate);
    }
    float value(int index) const { return plugin->get_param_value(index); }
};

// A deterministic test signal: white noise of the given peak amplitude per channel.
inline std::vector<float> noise(size_t frames, float amplitude, uint32_t seed) {
    std::vector<float> v(frames);
    uint32_t s = seed;
    for (float& x : v) {
        s = s * 1664525u + 1013904223u;
        x = amplitude * (static_cast<float>(s >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

inline std::vector<float> sine(size_t frames, float amplitude, double cycles_per_frame) {
    std::vector<float> v(frames);
    for (size_t t = 0; t < v.size(); ++t) {
        v[t] = amplitude * static_cast<float>(std::sin(6.283185307179586 * cycles_per_frame *
                                                       static_cast<double>(t)));
    }
    return v;
}

constexpr size_t GUARD = 16;
constexpr float SENTINEL = 12345.0f;

// An output channel with guard zones on both sides.
struct guarded {
    std::vector<float> store;
    explicit guarded(size_t frames, float fill = SENTINEL) : store(frames + 2 * GUARD, SENTINEL) {
        for (size_t t = 0; t < frames; ++t) store[GUARD + t] = fill;
    }
    float* data() { return store.data() + GUARD; }
    size_t size() const { return store.size() - 2 * GUARD; }
    float operator[](size_t t) const { return store[GUARD + t]; }
    std::vector<float> samples() const {
        return std::vector<float>(store.begin() + GUARD, store.end() - GUARD);
    }
    bool guards_intact() const {
        for (size_t i = 0; i < GUARD; ++i) {
            if (store[i] != SENTINEL || store[store.size() - 1 - i] != SENTINEL) return false;
        }
        return true;
    }
};

// Runs a stereo signal through process in blocks of the given sizes (the last size repeats
// until the signal ends), at sample positions counted from 0, with one event queue shared
// by every call. Answers both output channels.
inline std::vector<std::vector<float>> render(axo_plugin_i* plugin, const std::vector<float>& in0,
                                              const std::vector<float>& in1,
                                              const std::vector<int>& block_sizes,
                                              axo_aux_i* events = nullptr) {
    guarded out0(in0.size());
    guarded out1(in0.size());
    size_t done = 0;
    size_t which = 0;
    while (done < in0.size()) {
        const int size = block_sizes[which < block_sizes.size() ? which : block_sizes.size() - 1];
        ++which;
        const int n =
            static_cast<int>(std::min<size_t>(static_cast<size_t>(size), in0.size() - done));
        float* ins[2] = {const_cast<float*>(in0.data() + done),
                         const_cast<float*>(in1.data() + done)};
        float* outs[2] = {out0.data() + done, out1.data() + done};
        plugin->process(static_cast<int64_t>(done), ins, 1, outs, 1, events, n);
        done += static_cast<size_t>(n);
    }
    EXPECT_TRUE(out0.guards_intact());
    EXPECT_TRUE(out1.guards_intact());
    return {out0.samples(), out1.samples()};
}

// Bitwise comparison of two channels, reporting the first difference.
inline ::testing::AssertionResult same_bits(const std::vector<float>& expected,
                                            const std::vector<float>& actual) {
    if (expected.size() != actual.size()) return ::testing::AssertionFailure() << "sizes differ";
    for (size_t t = 0; t < expected.size(); ++t) {
        if (bits(expected[t]) != bits(actual[t])) {
            return ::testing::AssertionFailure()
                   << "frame " << t << ": expected " << expected[t] << ", got " << actual[t];
        }
    }
    return ::testing::AssertionSuccess();
}

// A control change at a frame, for the model's side of a comparison.
struct control_change {
    int64_t frame;
    int index;
    float value;
};

// Runs the model over a stereo (or mono) signal, applying each change before its frame.
inline std::vector<std::vector<float>> model_render(const std::vector<float>& in0,
                                                    const std::vector<float>& in1,
                                                    std::vector<control_change> changes,
                                                    int channels = 2, float rate = 44100.0f) {
    limiter_model model;
    float controls[3] = {1.0f, 1.0f, 0.2f};
    std::vector<float> out0(in0.size()), out1(in0.size());
    size_t done = 0;
    size_t next = 0;
    while (done < in0.size()) {
        while (next < changes.size() && changes[next].frame <= static_cast<int64_t>(done)) {
            controls[changes[next].index] = changes[next].value;
            ++next;
        }
        size_t end = in0.size();
        if (next < changes.size()) end = std::min(end, static_cast<size_t>(changes[next].frame));
        const int n = static_cast<int>(end - done);
        model.process(in0.data() + done, in1.data() + done, out0.data() + done, out1.data() + done,
                      n, channels, controls[0], controls[1], controls[2], rate);
        done = end;
    }
    return {out0, out1};
}
