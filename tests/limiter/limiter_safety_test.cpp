// The output bound holds whatever a host sends: NaN, infinities and samples whose drive
// overflows cost no more than a very loud finite peak, and finite input stays exact.
#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

#include "framework/axo_codes.h"
#include "limiter_harness.h"
#include "limiter_paths.h"

namespace {

const float clip_level = 0x1.fffffap-1f;
const float nan_value = std::numeric_limits<float>::quiet_NaN();
const float inf_value = std::numeric_limits<float>::infinity();
// Driven by 2 (Threshold 0.5) this leaves the float range.
const float overflowing = 3e38f;
const float garbage[] = {nan_value, inf_value, -inf_value, overflowing, -overflowing};

// Bad samples in ways a broken host produces them: alone, in runs, alternating with good
// ones, in one channel or in both.
void spoil(std::vector<float>& left, std::vector<float>& right, float bad) {
    left[500] = bad;
    right[900] = bad;
    left[1300] = right[1300] = bad;
    for (size_t t = 2000; t < 2200; ++t) left[t] = bad;
    for (size_t t = 2500; t < 2600; t += 2) right[t] = left[t + 1] = bad;
}

TEST(LimiterSafety, GarbageInputNeverBreaksTheOutputBound) {
    for (float bad : garbage) {
        for (int channels : {2, 1}) {
            for (float ceiling : {1.0f, 0.1f}) {
                auto left = noise(4000, 3.0f, 21);
                auto right = noise(4000, 0.4f, 22);
                spoil(left, right, bad);
                limiter_host host;
                host.plugin->set_channel_count(AXO_DIR_AUDIO_IN, channels);
                host.plugin->set_param_value(PARAM_THRESHOLD, 0.5f);
                host.plugin->set_param_value(PARAM_CEILING, ceiling);
                const auto out = render(host.plugin.get(), left, right, {256, 77});
                const float bound = clip_level * ceiling;
                for (int c = 0; c < channels; ++c) {
                    for (size_t t = 0; t < out[c].size(); ++t) {
                        ASSERT_TRUE(std::isfinite(out[c][t]) && std::fabs(out[c][t]) <= bound)
                            << "bad " << bad << ", channels " << channels << ", frame " << t << ": "
                            << out[c][t];
                    }
                }
            }
        }
    }
}

// A bad sample is limited like the loudest finite peak and carries silence: the output
// equals that of the same signal with FLT_MAX in its place, except that the bad frames
// themselves come out as 0. Every code path treats it so, in stereo and in mono.
TEST(LimiterSafety, ABadSampleCostsNoMoreThanAVeryLoudFinitePeak) {
    for (float bad : garbage) {
        for (int channels : {2, 1}) {
            auto left = noise(3000, 0.8f, 23);
            auto right = noise(3000, 0.6f, 24);
            auto loud_left = left;
            auto loud_right = right;
            spoil(left, right, bad);
            spoil(loud_left, loud_right, FLT_MAX * 0.5f);  // driven by 2: exactly FLT_MAX

            auto expected =
                model_render(loud_left, loud_right,
                             {{0, PARAM_THRESHOLD, 0.5f}, {0, PARAM_RELEASE, 0.01f}}, channels);
            for (size_t t = 64; t < left.size(); ++t) {
                if (!(std::fabs(left[t - 64] * 2.0f) <= FLT_MAX)) expected[0][t] = 0.0f;
                if (!(std::fabs(right[t - 64] * 2.0f) <= FLT_MAX)) expected[1][t] = 0.0f;
            }
            on_every_path([&] {
                limiter_host host;
                host.plugin->set_channel_count(AXO_DIR_AUDIO_IN, channels);
                host.plugin->set_param_value(PARAM_THRESHOLD, 0.5f);
                host.plugin->set_param_value(PARAM_RELEASE, 0.01f);
                const auto out = render(host.plugin.get(), left, right, {512, 37});
                EXPECT_TRUE(same_bits(expected[0], out[0])) << "bad " << bad;
                if (channels == 2) {
                    EXPECT_TRUE(same_bits(expected[1], out[1])) << "bad " << bad;
                }
            });
        }
    }
}

TEST(LimiterSafety, HugeFiniteInputWhoseDriveStaysFiniteIsExact) {
    auto left = noise(2000, 0.5f, 25);
    auto right = noise(2000, 0.5f, 26);
    left[300] = 1e30f;
    right[301] = -1e30f;
    left[900] = FLT_MAX;
    right[900] = -FLT_MAX;
    left[1500] = std::numeric_limits<float>::denorm_min();
    limiter_host host;
    host.plugin->set_param_value(PARAM_THRESHOLD, 0.01f);  // clamped to -30 dB: drive 31.6
    const float threshold = host.value(PARAM_THRESHOLD);
    // FLT_MAX at that drive would overflow; this run keeps it for the second half at unity.
    auto first = render(host.plugin.get(), std::vector<float>(left.begin(), left.begin() + 600),
                        std::vector<float>(right.begin(), right.begin() + 600), {600});
    host.plugin->set_param_value(PARAM_THRESHOLD, 1.0f);
    auto second = render(host.plugin.get(), std::vector<float>(left.begin() + 600, left.end()),
                         std::vector<float>(right.begin() + 600, right.end()), {700});
    first[0].insert(first[0].end(), second[0].begin(), second[0].end());
    first[1].insert(first[1].end(), second[1].begin(), second[1].end());

    const auto expected =
        model_render(left, right, {{0, PARAM_THRESHOLD, threshold}, {600, PARAM_THRESHOLD, 1.0f}});
    EXPECT_TRUE(same_bits(expected[0], first[0]));
    EXPECT_TRUE(same_bits(expected[1], first[1]));
}

}  // namespace
