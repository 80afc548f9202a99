// What a host sees of a new limiter before any audio: controls, keys, configuration,
// latency, the factory's description, and saved settings.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <string>

#include "framework/axo_codes.h"
#include "limiter_harness.h"
#include "support/record_queue.h"

namespace {

// The square root of 0.001f in the thread's current rounding mode; volatile keeps the
// compiler from working it out at build time, and the call keeps it inside the mode set
// around it.
[[gnu::noinline]] float root_of_a_thousandth() {
    volatile float thousandth = 0.001f;
    return std::sqrt(static_cast<float>(thousandth));
}

TEST(LimiterSetup, ControlsAreThresholdCeilingAndReleaseWithTheirRangesAndKeys) {
    limiter_host host;
    axo_plugin_i* p = host.plugin.get();
    ASSERT_EQ(p->get_param_count(), 3);
    const float minimum = root_of_a_thousandth();
    struct row {
        const char* name;
        const char* key;
        int kind, curve;
        float value, minimum, maximum;
    };
    const row rows[3] = {
        {"Threshold", "thresh", AXO_KIND_GAIN, AXO_CURVE_SQUARE, 1.0f, minimum, 1.0f},
        {"Ceiling", "ceiling", AXO_KIND_GAIN, AXO_CURVE_SQUARE, 1.0f, minimum, 1.0f},
        {"Release", "rel1", AXO_KIND_TIME, AXO_CURVE_EXP, 0.2f, 0.001f, 5.0f}};
    for (int i = 0; i < 3; ++i) {
        const row& r = rows[i];
        EXPECT_STREQ(p->get_param_name(i), r.name);
        EXPECT_EQ(p->find_param(r.key), i);
        EXPECT_EQ(p->get_param_kind(i), r.kind);
        EXPECT_EQ(p->get_param_curve(i), r.curve);
        EXPECT_EQ(p->get_param_value(i), r.value);
        EXPECT_EQ(bits(p->get_param_range(i, AXO_RANGE_MIN)), bits(r.minimum)) << r.name;
        EXPECT_EQ(bits(p->get_param_range(i, AXO_RANGE_MAP_LOW)), bits(r.minimum)) << r.name;
        EXPECT_EQ(p->get_param_range(i, AXO_RANGE_MAX), r.maximum);
        EXPECT_EQ(p->get_param_range(i, AXO_RANGE_MAP_HIGH), r.maximum);
        EXPECT_EQ(p->get_param_step(i), 0.00390625f);
        EXPECT_EQ(p->get_param_factor(i), 1.0f);
        EXPECT_EQ(p->get_param_visibility(i), 1);
        EXPECT_EQ(p->get_param_group(i), -1);
    }
    EXPECT_NEAR(minimum, 0.031622779f, 1e-9f);
    for (const char* other : {"", "Thresh", "rel", "threshold", "rel1 "})
        EXPECT_EQ(p->find_param(other), -1);

    p->set_param_value(PARAM_THRESHOLD, 0.01f);
    p->set_param_value(PARAM_CEILING, 2.0f);
    p->set_param_value(PARAM_RELEASE, 10.0f);
    EXPECT_EQ(bits(p->get_param_value(PARAM_THRESHOLD)), bits(minimum));
    EXPECT_EQ(p->get_param_value(PARAM_CEILING), 1.0f);
    EXPECT_EQ(p->get_param_value(PARAM_RELEASE), 5.0f);
}

// Native hosts create instances in whatever rounding mode their thread runs; the stored
// bound must not move by one unit in the last place under downward rounding.
TEST(LimiterSetup, TheMinimumGainIsTheSameInEveryRoundingMode) {
    const float nearest = root_of_a_thousandth();
    ASSERT_EQ(bits(nearest), 0x3D0186E3u);
    for (int mode : {FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        const float rounded_so = root_of_a_thousandth();
        limiter_host host;
        const float threshold_min = host.plugin->get_param_range(PARAM_THRESHOLD, AXO_RANGE_MIN);
        const float ceiling_low = host.plugin->get_param_range(PARAM_CEILING, AXO_RANGE_MAP_LOW);
        std::fesetround(FE_TONEAREST);
        if (mode == FE_DOWNWARD) {
            EXPECT_NE(bits(rounded_so), bits(nearest));
        }
        EXPECT_EQ(bits(threshold_min), bits(nearest)) << mode;
        EXPECT_EQ(bits(ceiling_low), bits(nearest)) << mode;
    }
}

TEST(LimiterSetup, ConfigurationAdmitsMonoAndStereoFrom4000To192000Hz) {
    limiter_host host;
    axo_plugin_i* p = host.plugin.get();
    EXPECT_EQ(p->get_channel_count(AXO_DIR_AUDIO_IN), 2);
    EXPECT_EQ(p->get_channel_count(AXO_DIR_AUDIO_OUT), 2);
    EXPECT_EQ(p->get_matching_config(AXO_DIR_AUDIO_IN, 2), 2);
    EXPECT_EQ(p->get_matching_config(AXO_DIR_AUDIO_OUT, 1), 1);
    EXPECT_EQ(p->get_matching_config(AXO_DIR_AUDIO_IN, 3), 0);
    EXPECT_EQ(p->get_matching_config(AXO_DIR_EVENT_IN, 0), 0);
    EXPECT_EQ(p->is_config_supported(AXO_DIR_AUDIO_IN, 1, 1), 1);
    EXPECT_EQ(p->is_config_supported(AXO_DIR_AUDIO_OUT, 2, 2), 1);
    EXPECT_EQ(p->is_config_supported(AXO_DIR_AUDIO_IN, 1, 2), 0);
    EXPECT_EQ(p->set_channel_count(AXO_DIR_AUDIO_IN, 3), 0);
    EXPECT_EQ(p->get_channel_count(AXO_DIR_AUDIO_IN), 2);
    EXPECT_EQ(p->get_stereo_partner(AXO_DIR_AUDIO_IN, 0), 1);
    for (float rate : {4000.0f, 44100.0f, 192000.0f, 192000.5f, 3999.5f}) {
        EXPECT_EQ(p->is_sample_rate_supported(rate), 1) << rate;
    }
    for (float rate : {2000.0f, 3998.5f, 192001.5f})
        EXPECT_EQ(p->is_sample_rate_supported(rate), 0) << rate;
    EXPECT_EQ(p->set_sample_rate(2000.0f), 0);
    EXPECT_EQ(p->get_sample_rate(), 44100.0f);
}

TEST(LimiterSetup, LatencyIs64FramesInEveryState) {
    limiter_host host;
    axo_plugin_i* p = host.plugin.get();
    EXPECT_EQ(p->get_latency(), 64);
    p->reset();
    EXPECT_EQ(p->get_latency(), 64);
    p->set_bypass(1);
    EXPECT_EQ(p->get_latency(), 64);
    p->set_bypass(0);
    p->set_channel_count(AXO_DIR_AUDIO_IN, 1);
    p->set_sample_rate(96000.0f);
    EXPECT_EQ(p->get_latency(), 64);
}

TEST(LimiterSetup, FactoryDescribesTheLimiter) {
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    ASSERT_NE(factory, nullptr);
    EXPECT_STREQ(factory->get_info(0), "tarnwick-zandorlimiter-1");
    EXPECT_STREQ(factory->get_info(1), "Tarnwick's Zandor Limiter");
    EXPECT_STREQ(factory->get_info(2), "1.3");
    EXPECT_STREQ(factory->get_info(3), "Zandor Limiter");
    EXPECT_STREQ(factory->get_info(4), "Tarnwick");
    for (int i = 5; i < 8; ++i) EXPECT_GT(std::string(factory->get_info(i)).size(), 0u) << i;
    EXPECT_EQ(factory->get_info(8), nullptr);
    EXPECT_EQ(factory->extension("vstuid", nullptr, 0), 0x5A6E4C6D);
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->get_factory(), factory.get());
    EXPECT_EQ(factory->create_editor(), nullptr);
}

TEST(LimiterSetup, SavedSettingsRestoreIntoAFreshInstance) {
    limiter_host first;
    first.plugin->set_param_value(PARAM_THRESHOLD, 0.25f);
    first.plugin->set_param_value(PARAM_CEILING, 0.5f);
    first.plugin->set_param_value(PARAM_RELEASE, 1.5f);
    first.plugin->set_bypass(1);
    record_queue stream;
    EXPECT_EQ(first.plugin->save_state(&stream), 1);
    ASSERT_EQ(stream.records.size(), 7u);
    record_queue copy = stream;

    limiter_host second;
    EXPECT_EQ(second.plugin->load_state(&stream), 1);
    EXPECT_EQ(second.value(PARAM_THRESHOLD), 0.25f);
    EXPECT_EQ(second.value(PARAM_CEILING), 0.5f);
    EXPECT_EQ(second.value(PARAM_RELEASE), 1.5f);
    EXPECT_EQ(second.plugin->get_bypass(), 1);

    // Saved again, the restored instance writes the same bytes.
    record_queue again;
    second.plugin->save_state(&again);
    EXPECT_EQ(again.records, copy.records);
}

}  // namespace
