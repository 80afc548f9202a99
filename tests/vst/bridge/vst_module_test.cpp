// The built module, loaded and driven the way a VST host drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "module_loader.h"
#include "support/test_host.h"
#include "support/vst_effect.h"
#include "vst/base/vst_abi.h"

namespace {

const char* const entry_names[] = {"VSTPluginMain", "main", "MAIN", "_VSTPluginMain"};

VstPluginEntryProc entry_of(const module_loader& module) {
    return module.function<VstPluginEntryProc>("VSTPluginMain");
}

// Runs a block whose two channels are the same and answers channel 0.
std::vector<float> run_left(vst_effect& fx, const std::vector<float>& in, bool accumulate = false,
                            float previous = 0.0f) {
    return fx.run(stereo(in, in), {static_cast<VstInt32>(in.size())}, accumulate, previous).l;
}

struct LimiterModule : ::testing::Test {
    module_loader module{ZANDOR_MODULE_PATH};
    void SetUp() override {
        test_host::reset();
        test_host::get().record = true;
        ASSERT_TRUE(module.is_open());
    }
};

}  // namespace

TEST_F(LimiterModule, ExportsTheVstEntryUnderFourNamesAndTheNativeEntry) {
    void* entry = module.symbol("VSTPluginMain");
    ASSERT_NE(entry, nullptr);
    for (const char* name : entry_names) EXPECT_EQ(module.symbol(name), entry) << name;
    EXPECT_NE(module.symbol("get_axoi"), nullptr);
    EXPECT_EQ(module.symbol("axo_create_module_factory"), nullptr);
}

TEST_F(LimiterModule, AHostReportingVersionZeroGetsNothing) {
    test_host::get().version = 0;
    vst_effect s(entry_of(module));
    EXPECT_EQ(s.get(), nullptr);
    ASSERT_EQ(test_host::get().calls.size(), 1u);
    EXPECT_EQ(test_host::get().calls[0].opcode, audioMasterVersion);
}

TEST_F(LimiterModule, DescribesTheLimiterToTheHost) {
    vst_effect s(entry_of(module));
    ASSERT_NE(s.get(), nullptr);
    EXPECT_EQ(s.get()->magic, kEffectMagic);
    EXPECT_EQ(s.get()->numInputs, 2);
    EXPECT_EQ(s.get()->numOutputs, 2);
    EXPECT_EQ(s.get()->numParams, 3);
    EXPECT_EQ(s.get()->numPrograms, 1);
    EXPECT_EQ(s.get()->flags, effFlagsCanMono | effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_EQ(s.get()->uniqueID, 0x5A6E4C6D);
    EXPECT_EQ(s.get()->initialDelay, 64);

    char name[40];
    std::memset(name, '#', sizeof name);
    EXPECT_EQ(s.dispatch(effGetEffectName, 0, 0, name), 1);
    EXPECT_EQ(std::string(name), "Zandor Limiter");
    EXPECT_TRUE(std::all_of(name + 14, name + 32, [](char c) { return c == 0; }));
    EXPECT_EQ(name[32], '#');
    EXPECT_EQ(s.text(effGetVendorString), "Tarnwick");
    EXPECT_EQ(s.text(effGetProductString), "Tarnwick's Zandor Limiter");
    EXPECT_EQ(s.text(effGetProgramName), "Default");
    EXPECT_EQ(s.dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(s.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(s.dispatch(effGetPlugCategory), kPlugCategUnknown);
    for (const char* capability : {"receiveVstEvents", "receiveVstMidiEvent", "bypass", ""}) {
        std::string c = capability;
        EXPECT_EQ(s.dispatch(effCanDo, 0, 0, c.data()), -1) << capability;
    }
    VstPinProperties pin{};
    for (VstInt32 i = 0; i < 2; ++i) {
        ASSERT_EQ(s.dispatch(effGetOutputProperties, i, 0, &pin), 1);
        EXPECT_EQ(std::string(pin.label), "OUT" + std::to_string(i + 1));
        EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    }
    EXPECT_EQ(s.dispatch(effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(s.dispatch(effGetInputProperties, 0, 0, &pin), 0);
}

TEST_F(LimiterModule, PresentsThreeControlsWithTheirTextsAndCurves) {
    vst_effect s(entry_of(module));
    ASSERT_NE(s.get(), nullptr);
    const char* names[] = {"Threshold", "Ceiling", "Release"};
    const char* labels[] = {"Vol", "Vol", "Time"};
    const char* displays[] = {"0.0dB", "0.0dB", "200ms"};
    for (VstInt32 i = 0; i < 3; ++i) {
        EXPECT_EQ(s.text(effGetParamName, i), names[i]);
        EXPECT_EQ(s.text(effGetParamLabel, i), labels[i]);
        EXPECT_EQ(s.text(effGetParamDisplay, i), displays[i]);
    }
    EXPECT_NEAR(s.get(2), 0.6221f, 1e-4f);
    EXPECT_EQ(s.get(0), 1.0f);

    s.set(0, 0.0f);
    EXPECT_EQ(s.text(effGetParamDisplay, 0), "-30.0dB");
    EXPECT_NEAR(s.get(0), 0.0f, 1e-6f);
    s.set(1, 1.0f);
    EXPECT_EQ(s.text(effGetParamDisplay, 1), "0.0dB");
    s.set(2, 0.5f);
    EXPECT_EQ(s.text(effGetParamDisplay, 2), "71ms");
    EXPECT_NEAR(s.get(2), 0.5f, 1e-6f);

    for (VstInt32 bad : {-1, 3, 1000}) {
        EXPECT_EQ(s.get(bad), 0.0f);
        s.set(bad, 0.3f);
        EXPECT_EQ(s.text(effGetParamDisplay, bad), "");
    }
    EXPECT_EQ(s.text(effGetParamDisplay, 2), "71ms");
}

TEST_F(LimiterModule, ProcessesWithTheLatencyItReportsUnderAnyTransport) {
    vst_effect s(entry_of(module));
    ASSERT_NE(s.get(), nullptr);
    s.start();
    const auto& calls = test_host::get().calls;
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                            [](const host_call& c) { return c.opcode == audioMasterWantMidi; }));
    test_host& host = test_host::get();
    const double tempos[] = {120.0, 4.99, 5.0, 511.9, 512.0};
    const VstInt32 levels[] = {kVstProcessLevelUser, kVstProcessLevelRealtime,
                               kVstProcessLevelPrefetch, kVstProcessLevelOffline,
                               kVstProcessLevelUnknown};
    for (int i = 0; i < 5; ++i) {
        host.has_time = i % 2 == 1;
        host.time.samplePos = 512.0 * i;
        host.time.tempo = tempos[i];
        host.level = levels[i];
        s.dispatch(effMainsChanged, 0, 1);  // resume: the delay line starts empty
        std::vector<float> in(512, 0.0f);
        in[0] = 0.5f;
        const std::vector<float> out = run_left(s, in);
        const VstIntPtr delay = s.get()->initialDelay;
        for (VstIntPtr f = 0; f < 512; ++f) {
            if (f == delay) {
                EXPECT_NEAR(out[f], 0.5f, 1e-6f);
            } else {
                EXPECT_LT(std::fabs(out[f]), 1e-20f) << f;
            }
        }
    }
}

TEST_F(LimiterModule, AccumulatingCallAddsTheLimitedSignalToTheOutputs) {
    vst_effect replacing(entry_of(module)), accumulating(entry_of(module));
    ASSERT_NE(replacing.get(), nullptr);
    ASSERT_NE(accumulating.get(), nullptr);
    replacing.start();
    accumulating.start();
    std::vector<float> in(700);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (i % 37 == 0) ? 3.0f : 0.25f;
    const std::vector<float> plain = run_left(replacing, in);
    const std::vector<float> added = run_left(accumulating, in, true, 0.125f);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(added[i], plain[i] + 0.125f) << i;
}

TEST_F(LimiterModule, SavedSettingsComeBackByteForByte) {
    vst_effect s(entry_of(module));
    ASSERT_NE(s.get(), nullptr);
    s.set(0, 0.3f);
    s.set(1, 0.8f);
    s.set(2, 0.1f);
    const bytes saved = s.chunk();
    ASSERT_GE(saved.size(), 4u + 21u);
    EXPECT_EQ(std::vector<unsigned char>(saved.begin(), saved.begin() + 4),
              (std::vector<unsigned char>{21, 0, 0, 0}));
    const float values[] = {s.get(0), s.get(1), s.get(2)};

    vst_effect other(entry_of(module));
    ASSERT_NE(other.get(), nullptr);
    bytes copy = saved;
    EXPECT_EQ(other.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data()),
              static_cast<VstIntPtr>(copy.size()));
    for (VstInt32 i = 0; i < 3; ++i) EXPECT_EQ(other.get(i), values[i]);
    EXPECT_EQ(other.chunk(), saved);

    // Another plug-in's state, and damaged chunks, change nothing and crash nothing.
    vst_effect fresh(entry_of(module));
    ASSERT_NE(fresh.get(), nullptr);
    const bytes untouched = fresh.chunk();
    bytes foreign = saved;
    auto id = std::search(foreign.begin(), foreign.end(), std::begin("tarnwick"),
                          std::end("tarnwick") - 1);
    ASSERT_NE(id, foreign.end());
    *id = 'T';
    fresh.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(foreign.size()), foreign.data());
    EXPECT_EQ(fresh.chunk(), untouched);
    for (size_t cut : {size_t{1}, size_t{3}, saved.size() / 2, saved.size() - 1}) {
        bytes part(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(fresh.dispatch(effSetChunk, 1, static_cast<VstIntPtr>(cut), part.data()),
                  static_cast<VstIntPtr>(cut));
    }
    bytes huge = saved;
    huge[3] = 0x7F;
    fresh.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(huge.size()), huge.data());
}

TEST_F(LimiterModule, ResultsDoNotDependOnTheHostsRoundingMode) {
    auto settings_made_in = [&](int mode) {
        std::fesetround(mode);
        vst_effect s(entry_of(module));
        s.set(0, 0.0f);
        s.set(1, 0.3f);
        s.set(2, 0.7f);
        std::vector<float> out = run_left(s, std::vector<float>(100, 0.9f));
        char text[64];
        s.dispatch(effGetParamDisplay, 1, 0, text);
        bytes chunk = s.chunk();
        chunk.push_back(std::fegetround() == mode);
        std::fesetround(FE_TONEAREST);
        return chunk;
    };
    const bytes nearest = settings_made_in(FE_TONEAREST);
    EXPECT_EQ(settings_made_in(FE_DOWNWARD), nearest);
    EXPECT_EQ(settings_made_in(FE_UPWARD), nearest);
}

TEST_F(LimiterModule, ClosingAnswersOne) {
    vst_effect s(module.function<VstPluginEntryProc>("main"));
    ASSERT_NE(s.get(), nullptr);
    EXPECT_EQ(s.close(), 1);
}

TEST(TestModule, TheWholeEntryRunsInRoundToNearest) {
    module_loader module(BRIDGE_TEST_MODULE_PATH);
    ASSERT_TRUE(module.is_open());
    test_host::reset();
    for (int mode : {FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        vst_effect s(entry_of(module));
        const int after = std::fegetround();
        std::fesetround(FE_TONEAREST);
        EXPECT_NE(s.get(), nullptr) << mode;
        EXPECT_EQ(after, mode);
    }
}
