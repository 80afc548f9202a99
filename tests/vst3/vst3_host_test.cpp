// The VST3 bundle as a host loads it: its binary opened through the module entry and the
// factory, instances driven through the component, processor and controller interfaces.
// Audio and state are checked against the VST 2.4 module of the same build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "support/vst3_host.h"
#include "support/vst_effect.h"

using namespace vst3;

namespace {

using channels_t = std::vector<std::vector<float>>;
constexpr int latency = 64;
constexpr ParamID threshold = 0, ceiling = 1, release = 2, bypass = 1000, meter = 1001;

std::string text(const char16* t) {
    std::string out;
    for (; *t != 0; ++t) out += static_cast<char>(*t);
    return out;
}

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

float signal(int channel, int t, float amplitude) {
    return amplitude * static_cast<float>(std::sin(0.0731 * t + 1.3 * channel));
}

channels_t signal_block(int channels, int frames, int from, float amplitude) {
    channels_t block(static_cast<size_t>(channels),
                     std::vector<float>(static_cast<size_t>(frames)));
    for (int c = 0; c < channels; ++c) {
        for (int t = 0; t < frames; ++t) block[c][t] = signal(c, from + t, amplitude);
    }
    return block;
}

// The block's output from a started instance.
channels_t run(vst3_instance& i, channels_t in, vst3_changes* changes = nullptr) {
    channels_t out(in.size(), std::vector<float>(in[0].size(), -1.0f));
    EXPECT_EQ(i.process(in, out, changes), kResultOk);
    return out;
}

// The VST 2.4 module's output for stereo input; a mono signal goes to both channels.
channels_t run_vst2(vst_effect& e, const channels_t& in) {
    const stereo out =
        e.run(stereo(in[0], in.size() > 1 ? in[1] : in[0]), {static_cast<VstInt32>(in[0].size())});
    return in.size() > 1 ? channels_t{out.l, out.r} : channels_t{out.l};
}

}  // namespace

TEST(Vst3Module, DescribesOneAudioEffectClassAsTheMetadataFileDoes) {
    vst3_module module;
    ASSERT_NE(module.factory(), nullptr) << module.loader().error();
    PFactoryInfo factory{};
    ASSERT_EQ(module.factory()->getFactoryInfo(&factory), kResultOk);
    EXPECT_STREQ(factory.vendor, "Tarnwick");
    EXPECT_EQ(module.factory()->countClasses(), 1);

    auto* f3 = static_cast<IPluginFactory3*>(module.factory());
    PClassInfo2 info{};
    PClassInfoW wide_info{};
    ASSERT_EQ(f3->getClassInfo2(0, &info), kResultOk);
    ASSERT_EQ(f3->getClassInfoUnicode(0, &wide_info), kResultOk);
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_STREQ(info.name, "Zandor Limiter");
    EXPECT_STREQ(info.subCategories, "Fx|Dynamics");
    EXPECT_STREQ(info.sdkVersion, "VST 3.7.14");
    EXPECT_EQ(text(wide_info.name), "Zandor Limiter");
    EXPECT_EQ(std::memcmp(wide_info.cid, info.cid, 16), 0);
    EXPECT_NE(f3->getClassInfo2(1, &info), kResultOk);

    // The metadata names the class by its words, whatever the platform's byte order.
    const unsigned char* b = info.cid;
    uint32 words[4];
    for (int w = 0; w < 4; ++w) {
        words[w] = static_cast<uint32>(b[4 * w]) << 24 | static_cast<uint32>(b[4 * w + 1]) << 16 |
                   static_cast<uint32>(b[4 * w + 2]) << 8 | b[4 * w + 3];
    }
    const uid rebuilt = make_uid(words[0], words[1], words[2], words[3]);
    if (std::memcmp(rebuilt.bytes, b, 16) != 0) {  // Windows: the first words are swapped
        words[0] = static_cast<uint32>(b[3]) << 24 | b[2] << 16 | b[1] << 8 | b[0];
        words[1] = static_cast<uint32>(b[5]) << 24 | b[4] << 16 | b[7] << 8 | b[6];
    }
    char cid[33];
    std::snprintf(cid, sizeof cid, "%08X%08X%08X%08X", static_cast<unsigned>(words[0]),
                  static_cast<unsigned>(words[1]), static_cast<unsigned>(words[2]),
                  static_cast<unsigned>(words[3]));
    std::string path = ZANDOR_VST3_PATH;
    path = path.substr(0, path.rfind("/Contents/")) + "/Contents/Resources/moduleinfo.json";
    std::ifstream file(path);
    const std::string json((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(json.find("\"CID\": \"" + std::string(cid) + "\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"Sub Categories\": [\"Fx\", \"Dynamics\"]"), std::string::npos);
}

TEST(Vst3Module, OneObjectAnswersEveryInterfaceAndTakesStereoOrMonoBuses) {
    vst3_module module;
    vst3_instance i(module);
    ASSERT_NE(i.controller, nullptr);
    void* unknown = nullptr;
    ASSERT_EQ(
        i.controller->queryInterface(reinterpret_cast<const char*>(FUnknown_iid.bytes), &unknown),
        kResultOk);
    EXPECT_EQ(unknown, static_cast<void*>(i.component));
    static_cast<FUnknown*>(unknown)->release();
    void* none = &unknown;
    EXPECT_EQ(i.component->queryInterface(reinterpret_cast<const char*>(IBStream_iid.bytes), &none),
              kNoInterface);
    EXPECT_EQ(none, nullptr);
    char cid[16];
    EXPECT_EQ(i.component->getControllerClassId(cid), kNotImplemented);

    EXPECT_EQ(i.component->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(i.component->getBusCount(kEvent, kInput), 0);
    SpeakerArrangement mono = kSpeakerArrMono, stereo = kSpeakerArrStereo, surround = 0x3F;
    EXPECT_EQ(i.processor->setBusArrangements(&surround, 1, &surround, 1), kResultFalse);
    EXPECT_EQ(i.processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
    for (SpeakerArrangement a : {mono, stereo}) {
        ASSERT_EQ(i.processor->setBusArrangements(&a, 1, &a, 1), kResultTrue);
        BusInfo bus{};
        ASSERT_EQ(i.component->getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
        EXPECT_EQ(bus.channelCount, a == mono ? 1 : 2);
        EXPECT_EQ(text(bus.name), "Output");
        SpeakerArrangement got = 0;
        EXPECT_EQ(i.processor->getBusArrangement(kInput, 0, got), kResultOk);
        EXPECT_EQ(got, a);
    }
    EXPECT_EQ(i.processor->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(i.processor->canProcessSampleSize(kSample64), kResultFalse);
}

TEST(Vst3Module, ListsTheControlsBypassAndMeterWithTheVstModulesTextsBothWays) {
    vst3_module module;
    vst3_instance i(module);
    vst_effect vst2;
    ASSERT_NE(i.controller, nullptr);
    ASSERT_EQ(i.controller->getParameterCount(), 5);
    i.set(threshold, 0.25);  // a changed value is no new default
    const char* titles[] = {"Threshold", "Ceiling", "Release", "Bypass", "Gain reduction"};
    const char* units[] = {"dB", "dB", "ms", "", "dB"};
    const ParamID ids[] = {threshold, ceiling, release, bypass, meter};
    for (int32 k = 0; k < 5; ++k) {
        ParameterInfo info{};
        ASSERT_EQ(i.controller->getParameterInfo(k, info), kResultOk);
        EXPECT_EQ(info.id, ids[k]);
        EXPECT_EQ(text(info.title), titles[k]);
        EXPECT_EQ(text(info.units), units[k]);
        EXPECT_EQ(info.unitId, 0);
        if (k < 3) {
            EXPECT_EQ(info.flags, kCanAutomate);
            EXPECT_EQ(info.stepCount, 0);
            EXPECT_FLOAT_EQ(static_cast<float>(info.defaultNormalizedValue), vst2.get(k));
        }
    }
    ParameterInfo info{};
    i.controller->getParameterInfo(3, info);
    EXPECT_EQ(info.flags, kCanAutomate | kIsBypass);
    EXPECT_EQ(info.stepCount, 1);
    i.controller->getParameterInfo(4, info);
    EXPECT_EQ(info.flags, kIsReadOnly);
    EXPECT_NE(i.controller->getParameterInfo(5, info), kResultOk);

    // Texts as the VST 2.4 module shows the same positions, and typed back to the value.
    String128 shown{};
    for (int32 k = 0; k < 3; ++k) {
        for (float x : {0.0f, 0.3f, 0.77f, 1.0f}) {
            vst2.set(k, x);
            ASSERT_EQ(i.controller->getParamStringByValue(ids[k], x, shown), kResultOk);
            EXPECT_EQ(text(shown), vst2.display(k)) << k << " at " << x;
            std::u16string typed = wide(text(shown));
            ParamValue back = -1.0;
            ASSERT_EQ(i.controller->getParamValueByString(ids[k], typed.data(), back), kResultOk);
            i.controller->getParamStringByValue(ids[k], back, shown);
            EXPECT_EQ(text(shown), vst2.display(k)) << k << " typed back from " << x;
        }
    }
    EXPECT_NEAR(i.controller->normalizedParamToPlain(release, 1.0), 5000.0, 1e-3);
    EXPECT_NEAR(i.controller->normalizedParamToPlain(threshold, 1.0), 0.0, 1e-6);
    EXPECT_NEAR(i.controller->plainParamToNormalized(release, 5000.0), 1.0, 1e-6);
    std::u16string on = u"On", junk = u"loud";
    ParamValue v = 0.0;
    EXPECT_EQ(i.controller->getParamValueByString(bypass, on.data(), v), kResultOk);
    EXPECT_EQ(v, 1.0);
    EXPECT_EQ(i.controller->getParamValueByString(release, junk.data(), v), kResultFalse);
    ParamID found = 0;
    auto* names = static_cast<IParameterFunctionName*>(nullptr);
    i.component->queryInterface(reinterpret_cast<const char*>(IParameterFunctionName_iid.bytes),
                                reinterpret_cast<void**>(&names));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->getParameterIDFromFunctionName(0, "Comp:GainReduction", found), kResultOk);
    EXPECT_EQ(found, meter);
    names->release();
}

TEST(Vst3Module, GoesThroughAHostsCallOrderReportingTheLatencyAndTakesEmptyCalls) {
    vst3_module module;
    vst3_instance i(module);
    ASSERT_TRUE(i.start(2, 48000.0, 1024));
    EXPECT_EQ(i.processor->getLatencySamples(), static_cast<uint32>(latency));
    // Parameters alone: no frames, no buses, no buffers.
    vst3_changes changes;
    changes.queue(threshold).points = {{0, 0.5}};
    ProcessData empty{};
    empty.inputParameterChanges = &changes;
    EXPECT_EQ(i.processor->process(empty), kResultOk);
    EXPECT_NEAR(i.controller->getParamNormalized(threshold), 0.5, 1e-6);
    // Setup comes only while inactive, and a rate the limiter cannot run at is refused.
    ProcessSetup setup{kRealtime, kSample32, 512, 44100.0};
    EXPECT_EQ(i.processor->setupProcessing(setup), kResultFalse);
    i.stop();
    setup.sampleRate = 384000.0;
    EXPECT_EQ(i.processor->setupProcessing(setup), kResultFalse);
    EXPECT_EQ(i.component->terminate(), kResultOk);
    EXPECT_EQ(i.component->initialize(nullptr), kResultOk);
}

TEST(Vst3Module, RendersTheVstModulesBitsInStereoAndMonoAtDefaultsAndOtherSettings) {
    vst3_module module;
    for (int channels : {2, 1}) {
        for (bool adjusted : {false, true}) {
            SCOPED_TRACE(std::to_string(channels) + (adjusted ? " adjusted" : " defaults"));
            vst3_instance i(module);
            vst_effect vst2;
            vst2.start(44100.0f, 1000);
            // Set before the instance is even set up: values set while not processing hold.
            const float x[] = {0.62f, 0.91f, 0.35f};
            for (int k = 0; k < 3 && adjusted; ++k) {
                vst2.set(k, x[k]);
                i.set(static_cast<ParamID>(k), x[k]);
            }
            ASSERT_TRUE(i.start(channels, 44100.0, 1000));
            for (int b = 0; b < 4; ++b) {
                const channels_t in = signal_block(channels, 1000, b * 1000, 1.5f);
                ASSERT_EQ(run(i, in), run_vst2(vst2, in)) << "block " << b;
            }
        }
    }
}

TEST(Vst3Module, AutomationTakesEffectAtItsFrameInsideTheBlock) {
    vst3_module module;
    vst3_instance i(module);
    vst_effect vst2;
    vst2.start(44100.0f, 1000);
    ASSERT_TRUE(i.start(2, 44100.0, 1000));
    const channels_t in = signal_block(2, 1000, 0, 1.5f);
    vst3_changes changes;
    changes.queue(threshold).points = {{300, 0.4}, {301, 0.4}};
    changes.queue(release).points = {{0, 0.2}, {777, 0.9}};
    const channels_t out = run(i, in, &changes);
    // The same changes on the VST 2.4 module, between blocks split at those frames.
    channels_t expected(2);
    vst2.set(2, 0.2f);
    const int cuts[] = {0, 300, 777, 1000};
    for (int s = 0; s < 3; ++s) {
        if (cuts[s] == 300) vst2.set(0, 0.4f);
        if (cuts[s] == 777) vst2.set(2, 0.9f);
        channels_t part(2);
        for (int c = 0; c < 2; ++c)
            part[c].assign(in[c].begin() + cuts[s], in[c].begin() + cuts[s + 1]);
        const channels_t done = run_vst2(vst2, part);
        for (int c = 0; c < 2; ++c)
            expected[c].insert(expected[c].end(), done[c].begin(), done[c].end());
    }
    EXPECT_EQ(out, expected);
    EXPECT_NEAR(i.controller->getParamNormalized(release), 0.9, 1e-6);
}

TEST(Vst3Module, BypassPlaysTheInputLateByTheLatencyAndSwitchesAtItsFrame) {
    vst3_module module;
    vst3_instance i(module);
    ASSERT_TRUE(i.start(2, 44100.0, 1000));
    const float quiet = 0.5f;  // below the threshold: limited output is the delayed input too
    for (int b = 0; b < 3; ++b) {
        vst3_changes changes;
        // On from frame 250 of the first block, off at frame 600 of the third.
        if (b == 0) changes.queue(bypass).points = {{250, 1.0}};
        if (b == 2) changes.queue(bypass).points = {{600, 0.0}};
        const channels_t out = run(i, signal_block(2, 1000, b * 1000, quiet), &changes);
        for (int t = 0; t < 1000; ++t) {
            const int at = b * 1000 + t;
            const bool bypassed = (b == 0 && t >= 250) || b == 1 || (b == 2 && t < 600);
            const float expected = at < latency ? 0.0f : signal(0, at - latency, quiet);
            if (bypassed) {
                ASSERT_EQ(out[0][t], expected) << at;
            } else {
                ASSERT_NEAR(out[0][t], expected, 1e-6f) << at;
            }
        }
        EXPECT_EQ(i.output_changes.last(meter), 0.0);
    }
}

TEST(Vst3Module, MetersTheReductionThroughTheOutputChanges) {
    vst3_module module;
    vst3_instance i(module);
    ASSERT_TRUE(i.start(2, 44100.0, 4096));
    run(i, signal_block(2, 4096, 0, 0.5f));
    EXPECT_EQ(i.output_changes.last(meter), 0.0);
    // Full-scale peaks driven 6 dB over by the threshold: the gain falls by 6 dB.
    i.set(threshold, i.controller->plainParamToNormalized(threshold, -6.0));
    run(i, signal_block(2, 4096, 4096, 1.0f));
    const double reading = i.output_changes.last(meter);
    EXPECT_NEAR(i.controller->normalizedParamToPlain(meter, reading), 6.0, 0.05);
    EXPECT_EQ(i.controller->getParamNormalized(meter), reading);
    String128 shown{};
    i.controller->getParamStringByValue(meter, reading, shown);
    EXPECT_EQ(text(shown).substr(0, 3), "6.0");
}

TEST(Vst3Module, StateIsTheVstChunkWithBypassAndRefusesDamagedOrForeignBytesUnchanged) {
    vst3_module module;
    vst3_instance a(module), b(module);
    vst_effect vst2;
    ASSERT_NE(a.component, nullptr);
    // Positions a float holds exactly reach both modules alike.
    a.set(threshold, 0.3f);
    a.set(release, 0.8f);
    vst2.set(0, 0.3f);
    vst2.set(2, 0.8f);
    const bytes plain = a.state();
    EXPECT_EQ(plain, vst2.chunk());
    a.set(bypass, 1.0);
    const bytes saved = a.state();
    ASSERT_EQ(b.set_state(saved), kResultOk);
    EXPECT_EQ(b.state(), saved);
    EXPECT_EQ(b.controller->getParamNormalized(bypass), 1.0);
    EXPECT_NEAR(b.controller->getParamNormalized(release), 0.8, 1e-6);
    // A bypassed chunk means bypassed in the VST 2.4 module too.
    EXPECT_EQ(vst2.set_chunk(saved), static_cast<VstIntPtr>(saved.size()));

    vst3_instance c(module);
    const bytes fresh = c.state();
    for (size_t n = 0; n < saved.size(); ++n) {
        EXPECT_EQ(c.set_state(bytes(saved.begin(), saved.begin() + n)), kResultFalse) << n;
    }
    bytes foreign = saved;
    const std::string id = "tarnwick-zandorlimiter-1";
    auto at = std::search(foreign.begin(), foreign.end(), id.begin(), id.end());
    ASSERT_NE(at, foreign.end());
    *(at + 9) = 'X';
    EXPECT_EQ(c.set_state(foreign), kResultFalse);
    bytes damaged = saved;
    damaged[0] = 0xFF;  // a first frame longer than the chunk
    EXPECT_EQ(c.set_state(damaged), kResultFalse);
    EXPECT_EQ(c.component->setState(nullptr), kResultFalse);
    EXPECT_EQ(c.state(), fresh);
}

TEST(Vst3Module, MissingBuffersAndStrayChangesTouchNoAudioAndBreakNothing) {
    vst3_module module;
    vst3_instance i(module);
    ASSERT_TRUE(i.start(2, 44100.0, 512));
    std::vector<float> left(512, 7.0f), right(512, 7.0f);
    float* outs[2] = {left.data(), nullptr};
    AudioBusBuffers in_bus{2, 0, {nullptr}};
    AudioBusBuffers out_bus{2, 0, {outs}};
    vst3_changes changes;
    changes.queue(kNoParamId);                                // no points at all
    changes.queue(meter).points = {{0, 1.0}};                 // read-only: an echo changes nothing
    changes.queue(ceiling).points = {{0, 0.5}, {900, 0.25}};  // past the block still applies
    ProcessData data{};
    data.symbolicSampleSize = kSample32;
    data.numSamples = 512;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &in_bus;
    data.outputs = &out_bus;
    data.inputParameterChanges = &changes;
    EXPECT_EQ(i.processor->process(data), kResultOk);  // no input table
    std::vector<float> in_l(512, 0.5f);
    float* ins[2] = {in_l.data(), in_l.data()};
    in_bus.channelBuffers32 = ins;
    EXPECT_EQ(i.processor->process(data), kResultOk);  // a null output channel
    outs[1] = right.data();
    data.symbolicSampleSize = kSample64;
    EXPECT_EQ(i.processor->process(data), kResultOk);  // a size never agreed
    EXPECT_EQ(left, std::vector<float>(512, 7.0f));
    EXPECT_NEAR(i.controller->getParamNormalized(ceiling), 0.25, 1e-6);
    EXPECT_EQ(i.controller->getParamNormalized(meter), 0.0);
    EXPECT_EQ(i.controller->setParamNormalized(77, 0.5), kInvalidArgument);
}
