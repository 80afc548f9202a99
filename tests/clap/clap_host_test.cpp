// The CLAP module as a host finds and runs it: loaded through clap_entry by the test host, its
// description checked, its audio compared bit for bit with the VST module's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "clap/clap_params.h"
#include "support/clap_host.h"
#include "support/vst_effect.h"

namespace {

constexpr double rate = 44100.0;
constexpr size_t latency = 64;
constexpr clap_id threshold = 0, ceiling = 1, release = 2, bypass = clap_bypass_param_id;

const clap_plugin_params_t* params_of(const clap_session& s) {
    return s.extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
}

std::string text_of(const clap_session& s, clap_id id, double value) {
    char text[64] = {};
    EXPECT_TRUE(params_of(s)->value_to_text(s.get(), id, value, text, sizeof text));
    return text;
}

bool has_feature(const clap_plugin_descriptor_t* d, const char* feature) {
    for (const char* const* f = d->features; *f != nullptr; ++f) {
        if (std::strcmp(*f, feature) == 0) return true;
    }
    return false;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(ClapModule, EntryCountsNestedInitsAndOffersOnlyThePluginFactory) {
    const clap_plugin_entry_t* entry = clap_limiter_entry();
    EXPECT_EQ(entry->clap_version.major, 1u);
    // Already initialised once by the test host: a nested pair leaves the module usable.
    EXPECT_TRUE(entry->init(""));
    entry->deinit();
    EXPECT_EQ(entry->get_factory("clap.preset-discovery-factory/2"), nullptr);
    EXPECT_EQ(entry->get_factory(nullptr), nullptr);
    EXPECT_NE(clap_limiter_factory()->get_plugin_descriptor(clap_limiter_factory(), 0), nullptr);
}

TEST(ClapModule, FactoryDescribesAStereoAndAMonoLimiterAndCreatesOnlyThoseIds) {
    const clap_plugin_factory_t* f = clap_limiter_factory();
    ASSERT_EQ(f->get_plugin_count(f), 2u);
    EXPECT_EQ(f->get_plugin_descriptor(f, 2), nullptr);
    for (uint32_t k = 0; k < 2; ++k) {
        const clap_plugin_descriptor_t* d = f->get_plugin_descriptor(f, k);
        const bool mono = k == 1;
        EXPECT_STREQ(d->id, mono ? clap_mono_id : clap_stereo_id);
        EXPECT_STREQ(d->vendor, "Tarnwick");
        EXPECT_STREQ(d->version, "1.3");
        for (const char* feature : {"audio-effect", "limiter", "mastering", "mixing"}) {
            EXPECT_TRUE(has_feature(d, feature)) << feature;
        }
        EXPECT_TRUE(has_feature(d, mono ? "mono" : "stereo"));
        EXPECT_FALSE(has_feature(d, mono ? "stereo" : "mono"));

        clap_session s(d->id);
        ASSERT_NE(s.get(), nullptr);
        EXPECT_EQ(s.get()->desc, d);
        const auto* ports = s.extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
        ASSERT_NE(ports, nullptr);
        for (bool input : {true, false}) {
            ASSERT_EQ(ports->count(s.get(), input), 1u);
            clap_audio_port_info_t info{};
            ASSERT_TRUE(ports->get(s.get(), 0, input, &info));
            EXPECT_EQ(info.channel_count, mono ? 1u : 2u);
            EXPECT_EQ(info.flags, CLAP_AUDIO_PORT_IS_MAIN);
            EXPECT_STREQ(info.port_type, mono ? "mono" : "stereo");
            EXPECT_FALSE(ports->get(s.get(), 1, input, &info));
        }
        EXPECT_EQ(s.get()->get_extension(s.get(), "clap.tail"), nullptr);
        EXPECT_EQ(s.get()->get_extension(s.get(), "clap.configurable-audio-ports/1"), nullptr);
    }
    EXPECT_EQ(f->create_plugin(f, clap_test_host(), (std::string(clap_stereo_id) + "x").c_str()),
              nullptr);
    clap_host_t old_host = *clap_test_host();
    old_host.clap_version.major = 0;
    EXPECT_EQ(f->create_plugin(f, &old_host, clap_stereo_id), nullptr);
}

TEST(ClapModule, ParametersShowTheLimitersUnitsRangesAndTextsAndTheBypass) {
    clap_session s;
    const clap_plugin_params_t* p = params_of(s);
    ASSERT_EQ(p->count(s.get()), 4u);
    struct expected {
        const char* name;
        double min, max;
        const char* default_text;
    } rows[] = {{"Threshold", -30.0, 0.0, "0.0dB"},
                {"Ceiling", -30.0, 0.0, "0.0dB"},
                {"Release", 1.0, 5000.0, "200ms"}};
    vst_effect vst;
    vst.start();
    for (uint32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].name);
        clap_param_info_t info{};
        ASSERT_TRUE(p->get_info(s.get(), i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, rows[i].name);
        EXPECT_EQ(info.flags, CLAP_PARAM_IS_AUTOMATABLE);
        EXPECT_NEAR(info.min_value, rows[i].min, 1e-4);
        EXPECT_NEAR(info.max_value, rows[i].max, 1e-4);
        EXPECT_EQ(s.value(info.id), info.default_value);
        // Display texts are those of every other format.
        EXPECT_EQ(text_of(s, info.id, info.default_value), rows[i].default_text);
        EXPECT_EQ(text_of(s, info.id, info.default_value), vst.display(static_cast<VstInt32>(i)));
        // A text read back gives a value whose text is the same, and converts to itself.
        for (double v :
             {info.min_value, info.default_value, 0.37 * info.max_value + 0.63 * info.min_value}) {
            const std::string text = text_of(s, info.id, v);
            double back = 0.0, again = 0.0;
            ASSERT_TRUE(p->text_to_value(s.get(), info.id, text.c_str(), &back)) << text;
            EXPECT_EQ(text_of(s, info.id, back), text);
            ASSERT_TRUE(
                p->text_to_value(s.get(), info.id, text_of(s, info.id, back).c_str(), &again));
            EXPECT_EQ(back, again);
        }
    }
    clap_param_info_t info{};
    ASSERT_TRUE(p->get_info(s.get(), 3, &info));
    EXPECT_EQ(info.id, bypass);
    EXPECT_EQ(info.flags & (CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED),
              CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED);
    EXPECT_EQ(info.max_value - info.min_value, 1.0);
    EXPECT_EQ(text_of(s, bypass, 1.0), "On");
    double v = -1.0;
    EXPECT_TRUE(p->text_to_value(s.get(), bypass, "Off", &v));
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(p->get_info(s.get(), 4, &info));
    EXPECT_FALSE(p->text_to_value(s.get(), 99, "1", &v));
    EXPECT_FALSE(p->text_to_value(s.get(), release, "fast", &v));
}

TEST(ClapModule, FollowsTheHostsCallOrderAndRefusesRatesThePluginDoesNot) {
    clap_session s;
    const auto* latency_ext = s.extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    ASSERT_NE(latency_ext, nullptr);
    for (double r : {3998.0, 192002.0, 0.0, std::nan("")}) EXPECT_FALSE(s.start(r)) << r;
    for (double r : {rate, 96000.0}) {
        ASSERT_TRUE(s.start(r));
        EXPECT_EQ(latency_ext->get(s.get()), latency);
        const channels out = s.process(clap_signal(2, 300, 0.5f));
        // The first frames are the look-ahead's silence, every frame is written.
        EXPECT_EQ(out[0][0], 0.0f);
        EXPECT_FALSE(std::isnan(out[1][299]));
        s.process(clap_signal(2, 0, 0.5f));
        s.get()->reset(s.get());
        s.stop();
    }
}

namespace {

// The CLAP plug-in and the VST module at the same settings: the VST effect's chunk, loaded
// into the CLAP instance. Mono runs against the VST module fed the same signal on both sides.
void expect_vst_bits(const char* id, int channel_count, const float (*positions)[3]) {
    test_host::reset();
    vst_effect vst;
    vst.start(static_cast<float>(rate), 1000);
    if (positions != nullptr) {
        for (VstInt32 k = 0; k < 3; ++k) vst.set(k, (*positions)[k]);
    }
    clap_session s(id);
    ASSERT_TRUE(s.load(vst.chunk()));
    ASSERT_TRUE(s.start(rate, 1000));
    for (size_t b = 0; b < 4; ++b) {
        const channels in = clap_signal(channel_count, 1000, 1.5f, 1000 * b);
        const stereo expected = vst.run(stereo(in[0], in.back()), {1000});
        const channels got = s.process(in);
        ASSERT_TRUE(same_bits(got[0], expected.l)) << "block " << b;
        ASSERT_TRUE(same_bits(got.back(), channel_count == 1 ? expected.l : expected.r));
    }
}

}  // namespace

TEST(ClapModule, RendersTheVstModulesBitsAtDefaultsAndOtherSettingsInStereoAndMono) {
    const float adjusted[3] = {0.6f, 0.9f, 0.3f};
    for (const float(*positions)[3] : {static_cast<const float(*)[3]>(nullptr), &adjusted}) {
        SCOPED_TRACE(positions != nullptr ? "adjusted" : "defaults");
        expect_vst_bits(clap_stereo_id, 2, positions);
        expect_vst_bits(clap_mono_id, 1, positions);
    }
}

TEST(ClapModule, AutomationInsideABlockTakesEffectAtItsFrame) {
    const channels in = clap_signal(2, 1000, 1.0f);
    clap_session split, timed;
    ASSERT_TRUE(split.start() && timed.start());
    channels expected =
        split.process({{in[0].begin(), in[0].begin() + 300}, {in[1].begin(), in[1].begin() + 300}});
    const channels rest =
        split.process({{in[0].begin() + 300, in[0].end()}, {in[1].begin() + 300, in[1].end()}},
                      {clap_param_value(threshold, -12.0)});
    for (int c = 0; c < 2; ++c)
        expected[c].insert(expected[c].end(), rest[c].begin(), rest[c].end());
    const channels got = timed.process(in, {clap_param_value(threshold, -12.0, 300)});
    EXPECT_TRUE(same_bits(got[0], expected[0]) && same_bits(got[1], expected[1]));
    EXPECT_EQ(timed.value(threshold), split.value(threshold));
    EXPECT_NEAR(timed.value(threshold), -12.0, 1e-5);
}

TEST(ClapModule, BypassPlaysTheInputLateByTheLatencyAndSwitchesWithoutAJump) {
    clap_session s;
    ASSERT_TRUE(s.start());
    const channels in = clap_signal(2, 4000, 0.5f);
    // Limited, then bypassed from frame 1500 to 2700, in blocks that the switches split.
    const channels first =
        s.process({{in[0].begin(), in[0].begin() + 2000}, {in[1].begin(), in[1].begin() + 2000}},
                  {clap_param_value(bypass, 1.0, 1500)});
    EXPECT_EQ(s.value(bypass), 1.0);
    const channels second =
        s.process({{in[0].begin() + 2000, in[0].end()}, {in[1].begin() + 2000, in[1].end()}},
                  {clap_param_value(bypass, 0.0, 700)});
    for (size_t t = 0; t < 4000; ++t) {
        const float got = t < 2000 ? first[0][t] : second[0][t - 2000];
        const float expected = t < latency ? 0.0f : in[0][t - latency];
        const bool bypassed = t >= 1500 && t < 2700;
        // Below the threshold the limited output is the delayed input too, within rounding.
        if (bypassed) {
            ASSERT_EQ(got, expected) << t;
        } else {
            ASSERT_NEAR(got, expected, 1e-6f) << t;
        }
    }
}

TEST(ClapModule, MeterReportsTheGainReductionOnlyWhileLimitingAndHeard) {
    const auto meter_of = [](const clap_session& s) {
        return s.extension<clap_plugin_gain_adjustment_metering_t>(
            CLAP_EXT_GAIN_ADJUSTMENT_METERING);
    };
    clap_session s(clap_mono_id);
    ASSERT_NE(meter_of(s), nullptr);
    ASSERT_TRUE(s.start());
    s.process(clap_signal(1, 4096, 0.5f));
    EXPECT_EQ(meter_of(s)->get(s.get()), 0.0);
    // Peaks at full scale, driven 6 dB over it by the threshold: the gain is down 6 dB.
    s.process(clap_signal(1, 4096, 1.0f), {clap_param_value(threshold, -6.0)});
    EXPECT_NEAR(meter_of(s)->get(s.get()), -6.0, 0.05);
    s.process(clap_signal(1, 4096, 1.0f), {clap_param_value(bypass, 1.0)});
    EXPECT_EQ(meter_of(s)->get(s.get()), 0.0);
    s.process(clap_signal(1, 4096, 1.0f), {clap_param_value(bypass, 0.0)});
    EXPECT_LT(meter_of(s)->get(s.get()), -5.0);
    s.stop();
    EXPECT_EQ(meter_of(s)->get(s.get()), 0.0);
}

TEST(ClapModule, StateIsTheVstChunkAndSurvivesPartialStreamsWithBypassAndFlushedValues) {
    clap_session a;
    // Set while inactive: flushed values are kept, and so is the bypass.
    a.flush({clap_param_value(release, 50.0), clap_param_value(threshold, -9.0),
             clap_param_value(bypass, 1.0)});
    EXPECT_NEAR(a.value(release), 50.0, 1e-4);
    const bytes saved = a.save(7);
    ASSERT_FALSE(saved.empty());
    clap_session b;
    ASSERT_TRUE(b.load(saved, 3));
    for (clap_id id : {threshold, ceiling, release, bypass})
        EXPECT_EQ(b.value(id), a.value(id)) << id;
    EXPECT_EQ(b.save(), saved);
    ASSERT_TRUE(b.start());
    EXPECT_NEAR(b.value(release), 50.0, 1e-4);

    // Without bypass, the bytes are exactly the VST module's chunk at the same values.
    a.flush({clap_param_value(bypass, 0.0)});
    vst_effect vst;
    vst.start();
    ASSERT_EQ(vst.set_chunk(a.save()), static_cast<VstIntPtr>(saved.size()));
    EXPECT_EQ(vst.chunk(), a.save());
}

TEST(ClapModule, DamagedTruncatedForeignOrEmptyStatesAreRefusedAndChangeNothing) {
    clap_session source;
    source.flush({clap_param_value(threshold, -20.0), clap_param_value(bypass, 1.0)});
    const bytes good = source.save();
    bytes foreign = good;
    // The identifier record follows the begin record's frame; change its text.
    foreign[4 + 21 + 4 + 20] ^= 0x20;
    bytes damaged = good;
    damaged[4 + 21] = 0xff;  // a frame length far past the end
    bytes cut_at_frame = good;
    cut_at_frame.resize(good.size() - 25);  // the end record's frame is missing
    clap_session s;
    const bytes before = s.save();
    for (const bytes& bad : {bytes{}, foreign, damaged, cut_at_frame,
                             bytes(good.begin(), good.begin() + 50), bytes(3000000, 0x5a)}) {
        EXPECT_FALSE(s.load(bad, 4096)) << bad.size();
        EXPECT_EQ(s.save(), before);
    }
    EXPECT_TRUE(s.load(good));
    EXPECT_EQ(s.value(bypass), 1.0);
}

namespace {

const clap_event_header_t* CLAP_ABI null_event(const clap_input_events_t*, uint32_t) {
    return nullptr;
}
uint32_t CLAP_ABI many_events(const clap_input_events_t*) {
    return 1000;
}

}  // namespace

TEST(ClapModule, SurvivesMissingBuffersAndMalformedEventsAndSkipsForeignOnes) {
    clap_session s;
    ASSERT_TRUE(s.start());
    const clap_plugin_t* p = s.get();
    EXPECT_EQ(p->process(p, nullptr), CLAP_PROCESS_ERROR);
    std::vector<float> left(64, 1.0f), right(64, 1.0f);
    float* both[] = {left.data(), right.data()};
    float* one_null[] = {left.data(), nullptr};
    clap_audio_buffer_t out = {both, nullptr, 2, 0, 0};
    clap_audio_buffer_t short_out = {both, nullptr, 1, 0, 0};
    clap_audio_buffer_t holed_out = {one_null, nullptr, 2, 0, 0};
    const clap_input_events_t null_list = {nullptr, many_events, null_event};
    const clap_input_events_t no_functions = {nullptr, nullptr, nullptr};
    // No input at all is silence; outputs that cannot take the block are left alone.
    for (clap_audio_buffer_t* o :
         {&short_out, &holed_out, static_cast<clap_audio_buffer_t*>(nullptr), &out}) {
        for (const clap_input_events_t* events : {&null_list, &no_functions}) {
            const clap_process_t block = {
                -1, 64, nullptr, nullptr, o, 0, o != nullptr ? 1u : 0u, events, nullptr};
            EXPECT_EQ(p->process(p, &block), CLAP_PROCESS_CONTINUE);
        }
    }
    // The limiter's output for silence (it keeps a tiny offset against subnormals).
    EXPECT_LT(std::fabs(left[0]), 1e-20f);
    EXPECT_LT(std::fabs(right[63]), 1e-20f);

    auto short_event = clap_param_value(threshold, -20.0, 3);
    short_event.header.size = sizeof(clap_event_param_value_t) - 1;
    auto other_space = clap_param_value(threshold, -20.0, 3);
    other_space.header.space_id = 1;
    auto modulation = clap_param_value(threshold, -20.0, 3);
    modulation.header.type = 6;
    const double before = s.value(threshold);
    s.process(clap_signal(2, 16, 0.5f),
              {short_event, other_space, modulation, clap_param_value(99, 1.0),
               clap_param_value(threshold, std::nan(""))});
    EXPECT_EQ(s.value(threshold), before);
    // An event timed past the block applies at its end.
    s.process(clap_signal(2, 16, 0.5f), {clap_param_value(threshold, -20.0, 5000)});
    EXPECT_NEAR(s.value(threshold), -20.0, 1e-5);
}
