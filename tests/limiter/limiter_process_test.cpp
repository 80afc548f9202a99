// The signal path through the native interface, compared sample by sample with the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "framework/axo_codes.h"
#include "framework/axo_meter_i.h"
#include "limiter/limitZ_dsp.h"
#include "limiter_harness.h"
#include "limiter_paths.h"
#include "support/record_queue.h"

namespace {

const float unity_smoothing = 0x1.fffffcp-1f;  // 0.99999988: the trapezoid mean of 64 ones
const float clip_level = 0x1.fffffap-1f;       // 0.99999982, bits 0x3F7FFFFD

TEST(LimiterProcess, SilenceIsZeroForTheLookAheadThenCarriesTheDenormalOffset) {
    limiter_host host;
    const std::vector<float> silence(300, 0.0f);
    const auto out = render(host.plugin.get(), silence, silence, {300});
    for (int t = 0; t < 64; ++t) ASSERT_EQ(bits(out[0][t]), 0u) << t;
    for (int t = 64; t < 300; ++t) {
        ASSERT_NEAR(out[0][t], 1e-30f, 1e-36f) << t;
        ASSERT_GT(out[1][t], 0.0f) << t;
    }
    const auto expected = model_render(silence, silence, {});
    EXPECT_TRUE(same_bits(expected[0], out[0]));
    EXPECT_TRUE(same_bits(expected[1], out[1]));
}

TEST(LimiterProcess, SignalBelowThresholdIsOnlyDelayedAndScaledByTheUnitySmoothing) {
    limiter_host host;
    host.plugin->set_param_value(PARAM_THRESHOLD, 0.5f);
    const auto left = sine(2000, 0.45f, 0.01);
    const auto right = sine(2000, -0.3f, 0.003);
    const auto out = render(host.plugin.get(), left, right, {512});
    for (size_t t = 64; t < left.size(); ++t) {
        ASSERT_EQ(bits(out[0][t]), bits((left[t - 64] * 2.0f + 1e-30f) * unity_smoothing)) << t;
        ASSERT_EQ(bits(out[1][t]), bits((right[t - 64] * 2.0f + 1e-30f) * unity_smoothing)) << t;
    }
    const auto expected = model_render(left, right, {{0, PARAM_THRESHOLD, 0.5f}});
    EXPECT_TRUE(same_bits(expected[0], out[0]));
    EXPECT_TRUE(same_bits(expected[1], out[1]));
}

TEST(LimiterProcess, SingleSpikeOvershootsSlightlyAndIsClippedJustBelowFullScale) {
    for (float ceiling : {1.0f, 0.5f}) {
        limiter_host host;
        host.plugin->set_param_value(PARAM_RELEASE, 0.001f);
        host.plugin->set_param_value(PARAM_CEILING, ceiling);
        std::vector<float> spike(400, 0.0f);
        spike[100] = 31.0f;
        const std::vector<float> silence(400, 0.0f);
        const auto out = render(host.plugin.get(), spike, silence, {400});

        limiter_model model;
        std::vector<float> m0(400), m1(400);
        model.process(spike.data(), silence.data(), m0.data(), m1.data(), 400, 2, 1.0f, ceiling,
                      0.001f, 44100.0f);
        EXPECT_NEAR(model.unclipped[164], 1.0014871f, 2e-7f);
        EXPECT_EQ(bits(out[0][164]), bits(clip_level * ceiling));
        EXPECT_TRUE(same_bits(m0, out[0]));
        EXPECT_TRUE(same_bits(m1, out[1]));
    }
}

// Loud stereo noise with every control moved between blocks and by timed records inside
// them, some of them exactly on block boundaries.
TEST(LimiterProcess, LoudNoiseFollowsTheModelThroughControlChanges) {
    const auto left = noise(6000, 4.0f, 1);
    const auto right = noise(6000, 2.5f, 2);
    const std::vector<control_change> between = {
        {1024, PARAM_THRESHOLD, 0.25f}, {2048, PARAM_RELEASE, 0.001f}, {3072, PARAM_CEILING, 0.7f}};
    const std::vector<control_change> timed = {
        {300, PARAM_THRESHOLD, 0.5f},   {700, PARAM_RELEASE, 0.05f},
        {1500, PARAM_CEILING, 0.2f},    {2048, PARAM_THRESHOLD, 0.0316228f},
        {2600, PARAM_RELEASE, 5.0f},    {4000, PARAM_THRESHOLD, 1.0f},
        {4001, PARAM_RELEASE, 0.0123f}, {5000, PARAM_CEILING, 1.0f}};

    limiter_host host;
    record_queue events;
    for (const auto& c : timed) events.push(real_record(c.frame, c.index, c.value));
    guarded out0(left.size()), out1(left.size());
    size_t next = 0;
    for (size_t done = 0; done < left.size(); done += 512) {
        while (next < between.size() && between[next].frame <= static_cast<int64_t>(done)) {
            host.plugin->set_param_value(between[next].index, between[next].value);
            ++next;
        }
        const int n = static_cast<int>(std::min<size_t>(512, left.size() - done));
        float* ins[2] = {const_cast<float*>(left.data() + done),
                         const_cast<float*>(right.data() + done)};
        float* outs[2] = {out0.data() + done, out1.data() + done};
        host.plugin->process(static_cast<int64_t>(done), ins, 1, outs, 1, &events, n);
    }
    EXPECT_TRUE(out0.guards_intact() && out1.guards_intact());

    // Blocks start at multiples of 512, so a change between blocks applies at the first one
    // at or after its frame.
    std::vector<control_change> all = timed;
    for (auto c : between) all.push_back({(c.frame + 511) / 512 * 512, c.index, c.value});
    std::stable_sort(all.begin(), all.end(), [](const control_change& a, const control_change& b) {
        return a.frame < b.frame;
    });
    const auto expected = model_render(left, right, all);
    EXPECT_TRUE(same_bits(expected[0], out0.samples()));
    EXPECT_TRUE(same_bits(expected[1], out1.samples()));
}

TEST(LimiterProcess, MonoReadsAndWritesChannelZeroOnly) {
    const auto signal = noise(3000, 3.0f, 3);
    const std::vector<float> other = noise(3000, 9.0f, 4);
    const auto expected = model_render(signal, signal, {}, 1);
    for (int outputs : {1, 2}) {
        limiter_host host;
        ASSERT_NE(host.plugin->set_channel_count(AXO_DIR_AUDIO_IN, 1), 0);
        ASSERT_NE(host.plugin->set_channel_count(AXO_DIR_AUDIO_OUT, outputs), 0);
        const auto out = render(host.plugin.get(), signal, other, {1000});
        EXPECT_TRUE(same_bits(expected[0], out[0])) << outputs << " outputs";
        for (float y : out[1]) ASSERT_EQ(y, SENTINEL);
    }
}

TEST(LimiterProcess, SharedInputAndOutputBuffersGiveTheSameResult) {
    for (int channels : {2, 1}) {
        auto left = noise(2500, 5.0f, 5);
        auto right = noise(2500, 1.5f, 6);
        const auto expected = model_render(left, right, {}, channels);
        limiter_host host;
        host.plugin->set_channel_count(AXO_DIR_AUDIO_IN, channels);
        host.plugin->set_channel_count(AXO_DIR_AUDIO_OUT, channels);
        for (size_t done = 0; done < left.size(); done += 700) {
            const int n = static_cast<int>(std::min<size_t>(700, left.size() - done));
            float* buffers[2] = {left.data() + done, right.data() + done};
            float* same[2] = {left.data() + done, right.data() + done};
            host.plugin->process(static_cast<int64_t>(done), buffers, 1, same, 1, nullptr, n);
        }
        EXPECT_TRUE(same_bits(expected[0], left)) << channels;
        if (channels == 2) {
            EXPECT_TRUE(same_bits(expected[1], right));
        }
    }
}

TEST(LimiterProcess, SplittingABlockAtAnyPointGivesIdenticalOutput) {
    const auto left = noise(9000, 6.0f, 7);
    const auto right = noise(9000, 3.0f, 8);
    auto run = [&](const std::vector<int>& sizes) {
        limiter_host host;
        record_queue events;
        for (int64_t t : {63, 64, 65, 128, 4097, 4160}) {
            events.push(real_record(t, static_cast<int>(t % 3), t % 2 ? 0.3f : 0.01f));
        }
        events.push(make_record(8194, AXO_REC_RESET, AXO_HEADER_SIZE));
        return render(host.plugin.get(), left, right, sizes, &events);
    };
    const auto whole = run({9000});
    for (const auto& sizes :
         std::vector<std::vector<int>>{{1}, {63}, {64}, {65}, {4097}, {1, 2, 3, 999}}) {
        const auto split = run(sizes);
        EXPECT_TRUE(same_bits(whole[0], split[0])) << "first size " << sizes[0];
        EXPECT_TRUE(same_bits(whole[1], split[1])) << "first size " << sizes[0];
    }
}

TEST(LimiterProcess, BypassPassesInputThroughUndelayedAndKeepsTheState) {
    const auto left = noise(3000, 4.0f, 9);
    const auto right = noise(3000, 2.0f, 10);
    limiter_host host;
    record_queue events;
    events.push(bypass_record(1000, 1));
    events.push(bypass_record(1700, 0));
    const auto out = render(host.plugin.get(), left, right, {512}, &events);

    for (size_t t = 1000; t < 1700; ++t) {
        ASSERT_EQ(bits(out[0][t]), bits(left[t])) << t;
        ASSERT_EQ(bits(out[1][t]), bits(right[t])) << t;
    }
    // Outside the bypassed stretch the output is that of the signal with the stretch cut out.
    auto cut = [](const std::vector<float>& v) {
        std::vector<float> r(v.begin(), v.begin() + 1000);
        r.insert(r.end(), v.begin() + 1700, v.end());
        return r;
    };
    const auto expected = model_render(cut(left), cut(right), {});
    EXPECT_TRUE(same_bits(expected[0], cut(out[0])));
    EXPECT_TRUE(same_bits(expected[1], cut(out[1])));
}

TEST(LimiterProcess, AcceptedSampleRatesAndChannelChangesResetTheState) {
    const auto left = noise(600, 4.0f, 11);
    const std::vector<float> head(left.begin(), left.begin() + 300);
    const std::vector<float> rest(left.begin() + 300, left.end());
    const auto fresh_48k = model_render(rest, rest, {}, 2, 48000.0f);
    const auto fresh_mono = model_render(rest, rest, {}, 1);

    auto second_half = [&](const std::function<void(axo_plugin_i*)>& between) {
        limiter_host host;
        render(host.plugin.get(), head, head, {300});
        between(host.plugin.get());
        return render(host.plugin.get(), rest, rest, {300});
    };
    // The same rate again still resets: the second call alone must clear the state.
    auto twice = second_half([](axo_plugin_i* p) {
        EXPECT_EQ(p->set_sample_rate(48000.0f), 1);
        std::vector<float> loud(100, 8.0f);
        render(p, loud, loud, {100});
        EXPECT_EQ(p->set_sample_rate(48000.0f), 1);
    });
    for (int t = 0; t < 64; ++t) ASSERT_EQ(twice[0][t], 0.0f);
    EXPECT_TRUE(same_bits(fresh_48k[0], twice[0]));

    auto mono = second_half([](axo_plugin_i* p) { p->set_channel_count(AXO_DIR_AUDIO_IN, 1); });
    EXPECT_TRUE(same_bits(fresh_mono[0], mono[0]));

    // A rejected rate or channel count changes nothing.
    auto kept = second_half([](axo_plugin_i* p) {
        EXPECT_EQ(p->set_sample_rate(2000.0f), 0);
        EXPECT_EQ(p->set_channel_count(AXO_DIR_AUDIO_IN, 3), 0);
    });
    const auto continuous = model_render(left, left, {});
    EXPECT_TRUE(
        same_bits(std::vector<float>(continuous[0].begin() + 300, continuous[0].end()), kept[0]));
}

TEST(LimiterProcess, EmptyOrNegativeFrameCountsChangeNothing) {
    const auto signal = noise(1000, 3.0f, 12);
    const std::vector<float> head(signal.begin(), signal.begin() + 500);
    limiter_host host;
    render(host.plugin.get(), head, head, {500});
    guarded out(8);
    for (int frames : {0, -1, -100}) {
        float* ins[2] = {const_cast<float*>(signal.data()), const_cast<float*>(signal.data())};
        float* outs[2] = {out.data(), out.data()};
        EXPECT_EQ(host.plugin->process(0, ins, 1, outs, 1, nullptr, frames), 1);
    }
    for (size_t t = 0; t < out.size(); ++t) EXPECT_EQ(out[t], SENTINEL);

    // Called directly, the block operation leaves even the pointer tables alone, in mono too.
    limitZ_dsp dsp;
    dsp.set_channel_count(AXO_DIR_AUDIO_IN, 1);
    float x = 0.0f;
    float* ins[2] = {&x, nullptr};
    float* outs[2] = {&x, nullptr};
    dsp.process_block(0, ins, 1, outs, 1, -5);
    EXPECT_TRUE(ins[0] == &x && ins[1] == nullptr && outs[0] == &x && outs[1] == nullptr);

    const std::vector<float> rest(signal.begin() + 500, signal.end());
    const auto after = render(host.plugin.get(), rest, rest, {500});
    const auto expected = model_render(signal, signal, {});
    EXPECT_TRUE(
        same_bits(std::vector<float>(expected[0].begin() + 500, expected[0].end()), after[0]));
}

// Interleaved buffers: each block call must leave the pointers where the next one starts.
TEST(LimiterProcess, BlockCallsAdvanceThePointersByTheirStride) {
    const auto left = noise(1000, 5.0f, 13);
    const auto right = noise(1000, 2.0f, 14);
    for (int channels : {2, 1}) {
        limitZ_dsp dsp;
        dsp.set_channel_count(AXO_DIR_AUDIO_IN, channels);
        std::vector<float> in(2000), out(2000, SENTINEL);
        for (size_t t = 0; t < 1000; ++t) {
            in[2 * t] = left[t];
            in[2 * t + 1] = right[t];
        }
        float* ins[2] = {in.data(), in.data() + 1};
        float* outs[2] = {out.data(), out.data() + 1};
        for (int n : {100, 1, 450, 449}) {
            float* in_start = ins[0];
            float* out_start = outs[0];
            dsp.process_block(0, ins, 2, outs, 2, n);
            EXPECT_EQ(ins[0], in_start + 2 * n);
            EXPECT_EQ(outs[0], out_start + 2 * n);
            if (channels == 1) {
                EXPECT_TRUE(ins[1] == ins[0] && outs[1] == outs[0]);
            }
        }
        if (channels == 2) {
            EXPECT_EQ(outs[1], out.data() + 2001);
        }
        const auto expected = model_render(left, right, {}, channels);
        for (size_t t = 0; t < 1000; ++t) {
            ASSERT_EQ(bits(out[2 * t]), bits(expected[0][t])) << t;
            ASSERT_EQ(bits(out[2 * t + 1]), channels == 2 ? bits(expected[1][t]) : bits(SENTINEL));
        }
    }
}

// A host may set one output channel while two inputs stay: the second output has no
// buffer, so only channel 0 is written, still limited by the peaks of both inputs.
TEST(LimiterProcess, StereoInputWithOneOutputWritesChannelZeroOnly) {
    const auto left = noise(2000, 1.0f, 15);
    const auto right = noise(2000, 6.0f, 16);
    limiter_host host;
    ASSERT_NE(host.plugin->set_channel_count(AXO_DIR_AUDIO_OUT, 1), 0);
    ASSERT_EQ(host.plugin->get_channel_count(AXO_DIR_AUDIO_IN), 2);
    const auto out = render(host.plugin.get(), left, right, {512});
    const auto expected = model_render(left, right, {});
    EXPECT_TRUE(same_bits(expected[0], out[0]));
    for (float y : out[1]) ASSERT_EQ(y, SENTINEL);
}

// A host that passes no buffer for a channel the layout reads gets its block skipped: no
// write anywhere, and the state carries on as if the call had not happened.
TEST(LimiterProcess, MissingBuffersSkipTheBlockAndKeepTheState) {
    const auto signal = noise(1000, 3.0f, 17);
    const std::vector<float> head(signal.begin(), signal.begin() + 500);
    const std::vector<float> rest(signal.begin() + 500, signal.end());
    limiter_host host;
    render(host.plugin.get(), head, head, {500});
    guarded out(64);
    float* no_input[2] = {const_cast<float*>(signal.data()), nullptr};
    float* outs[2] = {out.data(), out.data()};
    host.plugin->process(0, nullptr, 1, outs, 1, nullptr, 64);
    host.plugin->process(0, no_input, 1, outs, 1, nullptr, 64);
    for (size_t t = 0; t < out.size(); ++t) ASSERT_EQ(out[t], SENTINEL);
    const auto after = render(host.plugin.get(), rest, rest, {500});
    const auto expected = model_render(signal, signal, {});
    EXPECT_TRUE(
        same_bits(std::vector<float>(expected[0].begin() + 500, expected[0].end()), after[0]));
}

}  // namespace

// The meter answers the lowest gain envelope since it was last read (the envelope the
// smoothed gain follows), exactly as the model's envelope went, through loud noise, a
// recovery and a second burst read in blocks of every size, on every code path.
TEST(LimiterProcess, MeterAnswersTheLowestEnvelopeSinceTheLastReading) {
    on_every_path([] {
        limiter_host host;
        axo_meter_i* meter = nullptr;
        ASSERT_EQ(host.plugin->extension(AXO_METER_KEY, &meter, sizeof meter), 1);
        ASSERT_NE(meter, nullptr);
        EXPECT_EQ(host.plugin->extension(AXO_METER_KEY, &meter, 3), 0);
        host.plugin->set_param_value(PARAM_RELEASE, 0.01f);

        auto left = noise(9000, 3.0f, 7);
        auto right = noise(9000, 1.5f, 8);
        for (size_t t = 3000; t < 6000; ++t) left[t] = right[t] = 0.25f * left[t];
        limiter_model model;
        std::vector<float> out0(9000), out1(9000);
        float since_reading = 1.0f;
        size_t done = 0;
        for (int block : {1, 700, 64, 3000, 999, 4097, 139}) {
            const size_t n = std::min<size_t>(static_cast<size_t>(block), left.size() - done);
            for (size_t t = done; t < done + n; ++t) {
                model.process(&left[t], &right[t], &out0[t], &out1[t], 1, 2, 1.0f, 1.0f, 0.01f,
                              44100.0f);
                since_reading = std::min(since_reading, model.gain_env);
            }
            std::vector<float> o0(n), o1(n);
            float* ins[2] = {&left[done], &right[done]};
            float* outs[2] = {o0.data(), o1.data()};
            host.plugin->process(static_cast<int64_t>(done), ins, 1, outs, 1, nullptr,
                                 static_cast<int>(n));
            done += n;
            EXPECT_EQ(bits(meter->take_lowest_gain()), bits(since_reading))
                << "after frame " << done;
            since_reading = std::min(1.0f, model.gain_env);
        }
    });
}
