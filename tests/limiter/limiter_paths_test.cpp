// Every code path of the signal path against the model, bit for bit: long and loud signals,
// every corner of the controls and sample rates, awkward block splits with timed records on
// the boundaries, mono and stereo, in place and aliased, and a host's rounding settings.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <string>
#include <vector>

#include "framework/axo_codes.h"
#include "limiter/limitZ_dsp.h"
#include "limiter_harness.h"
#include "limiter_paths.h"
#include "support/record_queue.h"

namespace {

const float volume_minimum = 0x1.030dc6p-5f;  // -30 dB, the lowest Threshold and Ceiling

// Something like a mix bus: a few partials under a slow swell, and drum-like bursts of noise
// that decay quickly, some of them far over full scale; now and then a rest of silence.
std::vector<float> music(size_t frames, float loudness, uint32_t seed) {
    std::vector<float> v(frames);
    const auto hiss = noise(frames, 1.0f, seed);
    double burst = 0.0;
    for (size_t t = 0; t < frames; ++t) {
        const double x = static_cast<double>(t);
        if ((t + seed * 97) % 5513 == 0) burst = 1.0 + static_cast<double>((t / 5513) % 4);
        burst *= 0.9993;
        const double swell = 0.6 + 0.4 * std::sin(x * 0.00021 + seed);
        double y = swell * (0.5 * std::sin(x * 0.0193) + 0.3 * std::sin(x * 0.0517 + 1.0) +
                            0.2 * std::sin(x * 0.143));
        y += burst * hiss[t];
        if ((t / 20000) % 5 == 4) y = 0.0;  // a rest
        v[t] = static_cast<float>(loudness * y);
    }
    return v;
}

TEST(LimiterPaths, LongRandomSignalsMatchTheModelOnEveryPath) {
    // Noise whose level wanders from far below to far above the threshold.
    auto wander = [](size_t frames, uint32_t seed) {
        auto v = noise(frames, 1.0f, seed);
        for (size_t t = 0; t < frames; ++t) {
            v[t] *= static_cast<float>(8.0 * std::pow(std::sin(static_cast<double>(t) * 3e-5), 4));
        }
        return v;
    };
    const auto left = wander(120000, 31);
    const auto right = wander(120000, 32);
    const std::vector<control_change> controls = {{0, PARAM_THRESHOLD, 0.5f},
                                                  {0, PARAM_RELEASE, 0.03f}};
    for (int channels : {2, 1}) {
        const auto expected = model_render(left, right, controls, channels);
        on_every_path([&] {
            limiter_host host;
            host.plugin->set_channel_count(AXO_DIR_AUDIO_IN, channels);
            host.plugin->set_channel_count(AXO_DIR_AUDIO_OUT, channels);
            host.plugin->set_param_value(PARAM_THRESHOLD, 0.5f);
            host.plugin->set_param_value(PARAM_RELEASE, 0.03f);
            const auto out = render(host.plugin.get(), left, right, {512, 4096, 333});
            EXPECT_TRUE(same_bits(expected[0], out[0])) << channels << " channels";
            if (channels == 2) {
                EXPECT_TRUE(same_bits(expected[1], out[1]));
            }
        });
    }
}

TEST(LimiterPaths, HeavilyLimitedMusicMatchesTheModelOnEveryPath) {
    const auto left = music(100000, 12.0f, 1);
    const auto right = music(100000, 9.0f, 2);
    const std::vector<control_change> controls = {
        {0, PARAM_THRESHOLD, 0.25f}, {0, PARAM_CEILING, 0.9f}, {50000, PARAM_RELEASE, 0.002f}};
    const auto expected = model_render(left, right, controls);
    on_every_path([&] {
        limiter_host host;
        record_queue events;
        for (const auto& c : controls) events.push(real_record(c.frame, c.index, c.value));
        const auto out = render(host.plugin.get(), left, right, {512}, &events);
        EXPECT_TRUE(same_bits(expected[0], out[0]));
        EXPECT_TRUE(same_bits(expected[1], out[1]));
    });
}

TEST(LimiterPaths, EveryCornerOfTheControlsAndRatesMatchesTheModel) {
    const auto left = music(12000, 40.0f, 3);
    const auto right = noise(12000, 0.5f, 4);
    for (float rate : {4000.0f, 192000.0f}) {
        for (float threshold : {volume_minimum, 1.0f}) {
            for (float ceiling : {volume_minimum, 1.0f}) {
                for (float release : {0.001f, 5.0f}) {
                    SCOPED_TRACE(::testing::Message()
                                 << rate << " Hz, threshold " << threshold << ", ceiling "
                                 << ceiling << ", release " << release);
                    const auto expected = model_render(left, right,
                                                       {{0, PARAM_THRESHOLD, threshold},
                                                        {0, PARAM_CEILING, ceiling},
                                                        {0, PARAM_RELEASE, release}},
                                                       2, rate);
                    on_every_path([&] {
                        limiter_host host(rate);
                        host.plugin->set_param_value(PARAM_THRESHOLD, threshold);
                        host.plugin->set_param_value(PARAM_CEILING, ceiling);
                        host.plugin->set_param_value(PARAM_RELEASE, release);
                        ASSERT_EQ(host.value(PARAM_THRESHOLD), threshold);
                        ASSERT_EQ(host.value(PARAM_CEILING), ceiling);
                        ASSERT_EQ(host.value(PARAM_RELEASE), release);
                        const auto out = render(host.plugin.get(), left, right, {1000});
                        EXPECT_TRUE(same_bits(expected[0], out[0]));
                        EXPECT_TRUE(same_bits(expected[1], out[1]));
                    });
                }
            }
        }
    }
}

// Block sizes around every vector width, window length and stretch length, and timed
// records on the block boundaries and inside blocks; the model applies the same changes.
TEST(LimiterPaths, AnySplitIntoBlocksAndTimedRecordsMatchesTheModel) {
    const auto left = music(9000, 8.0f, 5);
    const auto right = music(9000, 5.0f, 6);
    const std::vector<int> sizes = {1,    2,    3,    4,    5,    7,    8,    9,   15,
                                    16,   17,   31,   32,   33,   63,   64,   65,  127,
                                    128,  129,  255,  256,  257,  511,  512,  513, 1023,
                                    1024, 1025, 2047, 2048, 2049, 4095, 4096, 4097};
    for (int size : sizes) {
        SCOPED_TRACE(::testing::Message() << "blocks of " << size);
        std::vector<control_change> changes;
        const float thresholds[] = {0.3f, 0.7f, volume_minimum, 1.0f};
        // A whole number of blocks apart, at least 700 frames.
        const int64_t spacing = static_cast<int64_t>(size) * ((700 + size - 1) / size);
        int n = 0;
        for (int64_t t = size; t < 9000; t += spacing) {
            // One change on a block boundary, one just inside the next block.
            changes.push_back({t, PARAM_THRESHOLD, thresholds[n % 4]});
            changes.push_back({t + 1, PARAM_RELEASE, n % 2 ? 0.001f : 0.05f});
            ++n;
        }
        const auto expected = model_render(left, right, changes);
        on_every_path([&] {
            limiter_host host;
            record_queue events;
            for (const auto& c : changes) events.push(real_record(c.frame, c.index, c.value));
            const auto out = render(host.plugin.get(), left, right, {size}, &events);
            EXPECT_TRUE(same_bits(expected[0], out[0]));
            EXPECT_TRUE(same_bits(expected[1], out[1]));
        });
    }
}

// Lone peaks among quiet passages, with the fastest releases: the envelope comes to rest
// and starts again at every position relative to blocks and vectors, in blocks of random
// sizes.
TEST(LimiterPaths, RestingBetweenLonePeaksMatchesTheModel) {
    const size_t frames = 40000;
    auto quiet_with_peaks = [&](uint32_t seed) {
        auto v = noise(frames, 0.5f, seed);
        uint32_t s = seed;
        for (size_t t = 100; t < frames;) {
            s = s * 1664525u + 1013904223u;
            v[t] = (s & 1 ? 1.0f : -1.0f) * (1.5f + static_cast<float>(s >> 29));
            t += 70 + (s >> 8) % 331;
        }
        return v;
    };
    const auto left = quiet_with_peaks(41);
    const auto right = quiet_with_peaks(42);
    std::vector<int> sizes;
    uint32_t s = 43;
    for (size_t done = 0; done < frames; done += sizes.back()) {
        s = s * 1664525u + 1013904223u;
        sizes.push_back(1 + static_cast<int>((s >> 8) % 600));
    }
    for (float rate : {4000.0f, 44100.0f}) {
        SCOPED_TRACE(::testing::Message() << rate << " Hz");
        const auto expected = model_render(left, right, {{0, PARAM_RELEASE, 0.001f}}, 2, rate);
        on_every_path([&] {
            limiter_host host(rate);
            host.plugin->set_param_value(PARAM_RELEASE, 0.001f);
            const auto out = render(host.plugin.get(), left, right, sizes);
            EXPECT_TRUE(same_bits(expected[0], out[0]));
            EXPECT_TRUE(same_bits(expected[1], out[1]));
        });
    }
}

// In place, interleaved in place, channels swapped in place, and buffers that overlap so
// that a frame's output lands on a later frame's input or two outputs share memory: every
// case gives what the frame-by-frame order gives (the model, handed the same pointers).
TEST(LimiterPaths, SharedAndOverlappingBuffersGiveTheFrameByFrameResult) {
    const size_t frames = 3000;
    const auto left = music(frames, 6.0f, 7);
    const auto right = music(frames, 3.0f, 8);
    struct layout {
        const char* name;
        int channels;
        // Offsets in floats into one shared buffer (inputs first filled with the signal).
        long in0, in1, out0, out1;
        int stride;
    };
    const long n = static_cast<long>(frames);
    const layout layouts[] = {
        {"stereo in place", 2, 0, n + 8, 0, n + 8, 1},
        {"mono in place", 1, 0, 0, 0, 0, 1},
        {"channels swapped in place", 2, 0, n + 8, n + 8, 0, 1},
        {"interleaved in place", 2, 0, 1, 0, 1, 2},
        {"output one frame behind the input", 2, 1, n + 9, 0, n + 8, 1},
        {"output one frame ahead of the input", 2, 0, n + 8, 1, n + 9, 1},
        {"mono output one frame ahead", 1, 0, 0, 1, 1, 1},
        {"both outputs in one buffer", 2, 0, n + 8, 2 * n + 16, 2 * n + 16, 1},
        {"both inputs from one buffer", 2, 0, 0, n + 8, 2 * n + 16, 1},
        {"outputs overlapping by half", 2, 0, n + 8, 2 * n + 16, 2 * n + 16 + n / 2, 1},
    };
    for (const layout& l : layouts) {
        SCOPED_TRACE(l.name);
        auto fill = [&](std::vector<float>& buffer) {
            for (size_t t = 0; t < frames; ++t) {
                buffer[static_cast<size_t>(l.in0 + l.stride * static_cast<long>(t))] = left[t];
                if (l.channels == 2) {
                    buffer[static_cast<size_t>(l.in1 + l.stride * static_cast<long>(t))] = right[t];
                }
            }
        };
        std::vector<float> model_buffer(4 * frames + 64, 0.0f);
        fill(model_buffer);
        if (l.stride == 1) {
            limiter_model model;
            float* b = model_buffer.data();
            model.process(b + l.in0, b + l.in1, b + l.out0, b + l.out1, static_cast<int>(frames),
                          l.channels, 0.5f, 1.0f, 0.01f, 44100.0f);
        }
        on_every_path([&] {
            limitZ_dsp dsp;
            dsp.set_channel_count(AXO_DIR_AUDIO_IN, l.channels);
            dsp.set_param_value(PARAM_THRESHOLD, 0.5f);
            dsp.set_param_value(PARAM_RELEASE, 0.01f);
            std::vector<float> buffer(4 * frames + 64, 0.0f);
            fill(buffer);
            float* b = buffer.data();
            float* ins[2] = {b + l.in0, b + l.in1};
            float* outs[2] = {b + l.out0, b + l.out1};
            dsp.process_block(0, ins, l.stride, outs, l.stride, static_cast<int>(frames));
            if (l.stride == 1) {
                EXPECT_TRUE(same_bits(model_buffer, buffer));
            } else {
                // Interleaved: compare channel by channel with the model on separate buffers.
                const auto expected = model_render(
                    left, right, {{0, PARAM_THRESHOLD, 0.5f}, {0, PARAM_RELEASE, 0.01f}});
                for (size_t t = 0; t < frames; ++t) {
                    ASSERT_EQ(bits(buffer[2 * t]), bits(expected[0][t])) << t;
                    ASSERT_EQ(bits(buffer[2 * t + 1]), bits(expected[1][t])) << t;
                }
            }
        });
    }
}

// The release coefficient and any other result kept between calls belong to the rounding
// settings they were worked out under. Silence leaves the same state under any rounding
// mode, so after it a call under another mode must give what a limiter that has only known
// that mode gives, through a quiet start as well as loud passages.
TEST(LimiterPaths, ARoundingModeChangeBetweenCallsIsHonoured) {
    const std::vector<float> silence(3000, 0.0f);
    auto quiet_then_loud = [](uint32_t seed) {
        auto v = noise(500, 0.2f, seed);
        const auto loud = music(4000, 6.0f, seed);
        v.insert(v.end(), loud.begin(), loud.end());
        return v;
    };
    const auto left = quiet_then_loud(9);
    const auto right = quiet_then_loud(10);
    on_every_path([&] {
        const int entry_mode = std::fegetround();
        auto second_call = [&](int first_mode) {
            limiter_host host;
            host.plugin->set_param_value(PARAM_THRESHOLD, 0.5f);
            std::fesetround(first_mode);
            render(host.plugin.get(), silence, silence, {3000});
            std::fesetround(FE_UPWARD);
            const auto out = render(host.plugin.get(), left, right, {4500});
            std::fesetround(entry_mode);
            return out;
        };
        const auto switched = second_call(FE_TONEAREST);
        const auto upward_only = second_call(FE_UPWARD);
        EXPECT_TRUE(same_bits(upward_only[0], switched[0]));
        EXPECT_TRUE(same_bits(upward_only[1], switched[1]));
    });
}

}  // namespace
