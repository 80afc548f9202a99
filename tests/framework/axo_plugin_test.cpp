// The plug-in base through axo_plugin_i: transport values, configuration matching, host,
// keys, groups and out-of-range indices.
#include <gtest/gtest.h>

#include <limits>

#include "framework/axo_host_i.h"
#include "test_plugin.h"

namespace {

class counting_host : public axo_host_i {
public:
    int attached = 0;
    int detached = 0;
    int attach(axo_plugin_i*) override { return ++attached, 1; }
    int detach(axo_plugin_i*) override { return ++detached, 1; }
    int reserved_1(intptr_t) override { return 0; }
    int reserved_2(intptr_t) override { return 0; }
    int refresh_editor(intptr_t) override { return 0; }
    int offer(const char*, void*, int) override { return 0; }
};

// A plug-in whose configuration list is exactly the given audio records.
void use_configs(test_plugin& p, std::vector<axo_config_t> audio) {
    p.configs = std::move(audio);
}

}  // namespace

TEST(Plugin, FreshInstanceAnswersTheInitialTransportValues) {
    test_plugin p;
    axo_plugin_i& i = p;
    EXPECT_EQ(i.get_sample_rate(), 44100.0f);
    EXPECT_EQ(i.get_tempo(), 120.0f);
    EXPECT_EQ(i.get_block_size(), 0);
    EXPECT_EQ(i.get_bypass(), 0);
    EXPECT_EQ(i.get_process_mode(), AXO_MODE_UNSPECIFIED);
    EXPECT_EQ(i.get_tag(), 0);
    EXPECT_EQ(i.get_latency(), 0);
    EXPECT_EQ(i.reserved_1(), 1);
    EXPECT_EQ(i.reserved_2(), 0);
    const int expected[] = {2, 2, 0, 0, 0};
    for (int d = 0; d <= 4; ++d) EXPECT_EQ(i.get_channel_count(d), expected[d]);
    EXPECT_EQ(i.get_channel_count(-1), 0);
}

TEST(Plugin, TransportSettersStoreTheirValuesAndCallTheHooks) {
    test_plugin p;
    axo_plugin_i& i = p;
    EXPECT_EQ(i.set_tempo(5.0f), 1);
    EXPECT_EQ(i.get_tempo(), 10.0f);
    i.set_tempo(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(i.get_tempo(), 10.0f);
    i.set_tempo(97.5f);
    EXPECT_EQ(i.get_tempo(), 97.5f);
    i.set_block_size(256);
    i.set_block_size(512);
    EXPECT_EQ(p.block_size_in_hook, 256);
    EXPECT_EQ(i.get_block_size(), 512);
    EXPECT_EQ(i.set_bypass(5), 1);
    EXPECT_EQ(i.get_bypass(), 1);
    EXPECT_EQ(i.set_bypass(0), 0);
    EXPECT_EQ(i.set_process_mode(AXO_MODE_OFFLINE), 1);
    EXPECT_EQ(i.get_process_mode(), AXO_MODE_OFFLINE);
    i.set_tag(77);
    EXPECT_EQ(i.get_tag(), 77);
    EXPECT_EQ(i.reserved_3(4, 5), 0);
    EXPECT_EQ(p.resets, 1);
    EXPECT_EQ(p.hooks, (std::vector<std::string>{"tempo", "tempo", "tempo"}));
}

TEST(Plugin, SampleRatesWithinOneHertzOfTheListAreAdmittedUnsnapped) {
    test_plugin p;
    EXPECT_EQ(p.set_sample_rate(44100.8f), 1);
    EXPECT_EQ(p.get_sample_rate(), 44100.8f);
    EXPECT_EQ(p.hooks, std::vector<std::string>{"rate"});
    EXPECT_EQ(p.is_sample_rate_supported(192000.5f), 1);
    EXPECT_EQ(p.is_sample_rate_supported(192001.5f), 0);
    EXPECT_EQ(p.is_sample_rate_supported(3999.25f), 1);
    EXPECT_EQ(p.is_sample_rate_supported(96000.0f), 1);
    EXPECT_EQ(p.set_sample_rate(1000.0f), 0);
    EXPECT_EQ(p.set_sample_rate(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(p.get_sample_rate(), 44100.8f);
}

TEST(Plugin, MatchingPrefersAFlaggedRecordElseTheLastMatch) {
    const axo_config_t flagged = {AXO_CFG_AUDIO | AXO_CFG_PREFER_BY_INPUT, 2, 2, 0, 0};
    const axo_config_t plain = {AXO_CFG_AUDIO, 2, 1, 0, 0};
    for (bool flagged_first : {true, false}) {
        test_plugin p;
        use_configs(p, flagged_first ? std::vector<axo_config_t>{flagged, plain}
                                     : std::vector<axo_config_t>{plain, flagged});
        EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_IN, 2), 2);
    }
    test_plugin p;
    use_configs(p, {{AXO_CFG_AUDIO, 2, 2, 0, 0},
                    {AXO_CFG_AUDIO, 2, 1, 0, 0},
                    {AXO_CFG_AUDIO | AXO_CFG_PREFER_BY_OUTPUT, 1, 1, 0, 0},
                    {AXO_CFG_AUDIO, 2, 1, 0, 0},
                    {AXO_CFG_EVENTS, 1, 3, 0, 0}});
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_IN, 2), 1);
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_OUT, 1), 1);  // flagged (1,1) beats (2,1)
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_OUT, 2), 2);
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_IN, 3), 0);
    EXPECT_EQ(p.get_matching_config(AXO_DIR_EVENT_IN, 1), 3);
    EXPECT_EQ(p.get_matching_config(AXO_DIR_EVENT_OUT, 3), 1);
    EXPECT_EQ(p.get_matching_config(4, 2), 0);
    EXPECT_EQ(p.is_config_supported(AXO_DIR_AUDIO_OUT, 2, 1), 1);
    EXPECT_EQ(p.is_config_supported(AXO_DIR_AUDIO_IN, 1, 3), 0);
    EXPECT_EQ(p.is_config_supported(AXO_DIR_EVENT_IN, 1, 3), 1);
    EXPECT_EQ(p.is_config_supported(-1, 2, 2), 0);
}

TEST(Plugin, NegativeCountsInTheListReachTheCallerUnchanged) {
    test_plugin p;
    use_configs(p, {{AXO_CFG_AUDIO, -1, 2, 0, 0}, {AXO_CFG_AUDIO, 1, -1, 0, 0}});
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_OUT, 2), -1);
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_IN, 1), -1);
    EXPECT_EQ(p.get_matching_config(AXO_DIR_AUDIO_IN, -1), 2);
}

TEST(Plugin, ChannelCountsChangeOnlyToListedCounts) {
    test_plugin p;
    use_configs(p, {{AXO_CFG_AUDIO, 1, 1, 0, 0}, {AXO_CFG_AUDIO, 2, 2, 0, 0}});
    EXPECT_EQ(p.set_channel_count(AXO_DIR_AUDIO_IN, 3), 0);
    EXPECT_EQ(p.get_channel_count(AXO_DIR_AUDIO_IN), 2);
    EXPECT_EQ(p.set_channel_count(AXO_DIR_AUDIO_IN, 2), 2);  // unchanged: no hook
    EXPECT_NE(p.set_channel_count(AXO_DIR_AUDIO_OUT, 1), 0);
    EXPECT_EQ(p.get_channel_count(AXO_DIR_AUDIO_OUT), 1);
    EXPECT_EQ(p.set_channel_count(7, 1), 0);
    EXPECT_EQ(p.hooks, std::vector<std::string>{"channels 1 1"});
    EXPECT_EQ(p.get_stereo_partner(AXO_DIR_AUDIO_IN, 0), 1);
    EXPECT_EQ(p.get_stereo_partner(AXO_DIR_AUDIO_IN, 1), -1);
    EXPECT_EQ(p.get_stereo_partner(AXO_DIR_AUDIO_OUT, 0), -1);
    EXPECT_EQ(p.get_stereo_partner(AXO_DIR_EVENT_IN, 0), -1);
}

TEST(Plugin, SetHostSwapsHostsOnceAndTheDestructorDetaches) {
    counting_host a, b;
    {
        test_plugin p;
        p.set_host(&a);
        p.set_host(&a);
        EXPECT_EQ(a.attached, 1);
        EXPECT_EQ(a.detached, 0);
        p.set_host(&b);
        EXPECT_EQ(a.detached, 1);
        EXPECT_EQ(b.attached, 1);
    }
    EXPECT_EQ(b.detached, 1);
    EXPECT_EQ(a.detached, 1);
}

TEST(Plugin, KeysFindTheLatestRegistrationAndGroupsCollectMembers) {
    test_plugin p;
    EXPECT_EQ(p.find_param("gain"), 0);
    EXPECT_EQ(p.find_param("time"), 1);
    EXPECT_EQ(p.find_param("Gain"), -1);
    EXPECT_EQ(p.find_param(nullptr), -1);
    p.register_param_key(&p.mix, "gain");
    EXPECT_EQ(p.find_param("gain"), 2);

    int tag = 0;
    EXPECT_EQ(p.register_group(&tag, 40), 0);
    p.add_to_group(&p.time);
    EXPECT_EQ(p.end_group(), 0);
    p.add_to_group(&p.mix);  // after end_group: no group
    EXPECT_EQ(p.get_param_group(1), 0);
    EXPECT_EQ(p.get_param_group(2), -1);
    EXPECT_EQ(p.get_group(0), &tag);
    EXPECT_EQ(p.get_group(1), nullptr);
    EXPECT_EQ(p.get_group_value(0), 40);
    EXPECT_EQ(p.set_group_value(0, 41), 0);
    EXPECT_EQ(p.get_group_value(0), 41);
    EXPECT_EQ(p.set_group_value(3, 1), 3);
    EXPECT_EQ(p.get_group_value(3), -1);
    EXPECT_EQ(p.get_group_value(-1), -1);
}

TEST(Plugin, ParameterOperationsForwardInRangeAndAnswerNeutrallyOutside) {
    test_plugin p;
    EXPECT_STREQ(p.get_param_name(0), "Gain");
    EXPECT_EQ(p.get_param_kind(0), AXO_KIND_GAIN);
    EXPECT_EQ(p.get_param_curve(0), AXO_CURVE_EXP);
    EXPECT_EQ(p.get_param_visibility(0), 1);
    p.set_param_value(1, 9.0f);
    EXPECT_EQ(p.get_param_value(1), 5.0f);
    p.set_param_int(4, 3);
    EXPECT_EQ(p.get_param_int(4), 3);
    EXPECT_EQ(p.get_param_option_text(0, 0), nullptr);
    for (int bad : {-1, 5, std::numeric_limits<int>::min()}) {
        p.set_param_value(bad, 0.5f);
        p.set_param_int(bad, 1);
        EXPECT_EQ(p.get_param_name(bad), nullptr);
        EXPECT_EQ(p.get_param_kind(bad), 0);
        EXPECT_EQ(p.get_param_group(bad), 0);
        EXPECT_EQ(p.get_param_visibility(bad), 0);
        EXPECT_EQ(p.get_param_option_text(bad, 0), nullptr);
        EXPECT_EQ(p.get_param_range(bad, AXO_RANGE_MAX), 0.0f);
        EXPECT_EQ(p.get_param_step(bad), 0.0f);
        EXPECT_EQ(p.get_param_curve(bad), 0);
        EXPECT_EQ(p.get_param_factor(bad), 0.0f);
        EXPECT_EQ(p.get_param_value(bad), 0.0f);
        EXPECT_EQ(p.get_param_int(bad), 0);
        EXPECT_EQ(p.get_param_flags(bad), 0);
    }
}
