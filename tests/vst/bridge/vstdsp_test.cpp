// The adapter around a test plug-in, driven through its effect record as a host drives it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "bridge_test_plugin.h"
#include "framework/axo_records.h"
#include "support/test_host.h"

namespace {

constexpr VstInt32 always_set = effFlagsCanReplacing | effFlagsProgramChunks;

std::string param_text(bridge_fixture& f, VstInt32 opcode, VstInt32 index) {
    char text[64];
    std::memset(text, '#', sizeof text);
    text[63] = '\0';
    f.dispatch(opcode, index, 0, text);
    return text;
}

VstMidiEvent midi(unsigned char status, unsigned char d1, unsigned char d2, VstInt32 delta = 0) {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.deltaFrames = delta;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(d1);
    e.midiData[2] = static_cast<char>(d2);
    return e;
}

// A VstEvents list with room for any number of events.
struct event_list {
    std::vector<unsigned char> storage;
    explicit event_list(std::vector<VstEvent*> events)
        : storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*)) {
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<VstInt32>(events.size());
        if (!events.empty())
            std::memcpy(list->events, events.data(), events.size() * sizeof(VstEvent*));
    }
    VstEvents* get() { return reinterpret_cast<VstEvents*>(storage.data()); }
};

bytes record(int32_t size, int32_t type, unsigned char fill) {
    bytes r(static_cast<size_t>(size), fill);
    axo_put_header(r.data(), -1, type, size);
    return r;
}

struct VstAdapter : ::testing::Test {
    void SetUp() override {
        test_host::reset();
        editor_log::get() = editor_log{};
    }
};

}  // namespace

TEST_F(VstAdapter, NegotiatesStereoFirstThenMonoAndDescribesTheEffect) {
    bridge_fixture stereo;
    EXPECT_FALSE(stereo.fx->construction_failed());
    EXPECT_EQ(stereo.effect->numInputs, 2);
    EXPECT_EQ(stereo.effect->numOutputs, 2);
    EXPECT_EQ(stereo.effect->flags, always_set | effFlagsCanMono);
    EXPECT_EQ(stereo.effect->uniqueID, 0x5A747374);
    EXPECT_EQ(stereo.effect->initialDelay, 17);  // the plug-in's latency reaches the host
    EXPECT_EQ(stereo.effect->numParams, 7);
    EXPECT_EQ(stereo.plugin->resets, 1);
    EXPECT_EQ(stereo.dispatch(effGetPlugCategory), kPlugCategUnknown);

    bridge_options mono;
    mono.configs = {{AXO_CFG_AUDIO, 1, 1, 0, 0}};
    bridge_fixture m(mono);
    EXPECT_EQ(m.effect->numInputs, 1);
    EXPECT_EQ(m.effect->numOutputs, 1);
    EXPECT_EQ(m.plugin->get_channel_count(AXO_DIR_AUDIO_IN), 1);

    bridge_options side_chain;
    side_chain.configs = {{AXO_CFG_AUDIO, 3, 2, 0, 0}};
    bridge_fixture s(side_chain);
    EXPECT_EQ(s.effect->numInputs, 3);
    EXPECT_EQ(s.effect->flags, always_set);
}

TEST_F(VstAdapter, RefusesPluginsItCannotServe) {
    for (auto configs :
         std::vector<std::vector<axo_config_t>>{
             {{AXO_CFG_AUDIO, 2, 3, 0, 0}},    // no pairing with 1 or 2 outputs
             {{AXO_CFG_AUDIO, 17, 2, 0, 0}}})  // more inputs than the channel tables hold
    {
        bridge_options o;
        o.configs = configs;
        EXPECT_TRUE(bridge_fixture(o).fx->construction_failed());
    }
#if !defined(_WIN32)  // there the message is a modal box a test cannot dismiss
    bridge_options no_id;
    no_id.vstuid = 0;
    ::testing::internal::CaptureStderr();
    bridge_fixture f(no_id);
    EXPECT_TRUE(f.fx->construction_failed());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "AXOI for VST: AXOI factory should implement vstuid extension!\n");
#endif
}

TEST_F(VstAdapter, EventInputsMakeAnInstrumentUnlessThePluginIsAnEffect) {
    bridge_options synth;
    synth.event_inputs = 1;
    bridge_fixture s(synth);
    EXPECT_TRUE(s.effect->flags & effFlagsIsSynth);
    EXPECT_EQ(s.dispatch(effGetPlugCategory), kPlugCategSynth);
    char receive[] = "receiveVstMidiEvent", send[] = "sendVstMidiEvent";
    EXPECT_EQ(s.dispatch(effCanDo, 0, 0, receive), 1);
    EXPECT_EQ(s.dispatch(effCanDo, 0, 0, send), -1);

    synth.isfx = 1;
    EXPECT_FALSE(bridge_fixture(synth).effect->flags & effFlagsIsSynth);
    bridge_fixture plain;
    EXPECT_EQ(plain.dispatch(effCanDo, 0, 0, receive), -1);
}

TEST_F(VstAdapter, HiddenAndInternalParametersLeaveNoGapInTheHostsList) {
    bridge_fixture f;
    const char* names[] = {"Gain", "Mode", "Toggle", "Count", "Pan", "Time"};
    const char* labels[] = {"Vol", "Select", "State", "Num", "Pan", "Time", "Data"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(param_text(f, effGetParamName, i), names[i]);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(param_text(f, effGetParamLabel, i), labels[i]);
    // Invalid indices leave label and name as the host passed them; the display is emptied.
    for (VstInt32 bad : {-1, 7}) {
        EXPECT_EQ(param_text(f, effGetParamName, bad), std::string(63, '#'));
        EXPECT_EQ(param_text(f, effGetParamLabel, bad), std::string(63, '#'));
        EXPECT_EQ(param_text(f, effGetParamDisplay, bad), "");
        EXPECT_EQ(f.effect->getParameter(f.effect, bad), 0.0f);
        f.effect->setParameter(f.effect, bad, 0.0f);
    }
    EXPECT_EQ(f.plugin->gain.get_value(), 1.0f);
}

TEST_F(VstAdapter, TextsAreCutTo31CharactersAndNeverWrittenPast32Bytes) {
    bridge_fixture f;
    EXPECT_EQ(param_text(f, effGetParamName, 6), "A parameter name of forty chara");
    f.plugin->mode.set_int(2);
    char text[64];
    std::memset(text, '#', sizeof text);
    f.dispatch(effGetParamDisplay, 1, 0, text);
    EXPECT_STREQ(text, "A very long option text of 40 c");
    EXPECT_EQ(text[32], '#');
}

TEST_F(VstAdapter, SelectionSwitchAndIntegerParametersMapAsHostsExpect) {
    bridge_fixture f;
    AEffect* e = f.effect;
    const std::pair<float, int> selections[] = {{1.0f, 2},  {0.5f, 1}, {0.34f, 1}, {0.33f, 0},
                                                {-3.0f, 0}, {7.0f, 2}, {NAN, 0}};
    const float read_back[] = {1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f};
    for (size_t i = 0; i < std::size(selections); ++i) {
        e->setParameter(e, 1, selections[i].first);
        EXPECT_EQ(f.plugin->mode.get_int(), selections[i].second) << selections[i].first;
        EXPECT_EQ(e->getParameter(e, 1), read_back[i]);
    }
    f.plugin->mode.set_int(1);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 1), "Two");
    f.plugin->mode.options = {"Only"};  // a single option has no position but 0
    EXPECT_EQ(e->getParameter(e, 1), 0.0f);

    e->setParameter(e, 2, 0.5f);
    EXPECT_EQ(f.plugin->toggle.get_int(), 1);
    EXPECT_EQ(e->getParameter(e, 2), 1.0f);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 2), "On");
    e->setParameter(e, 2, 0.4999f);
    EXPECT_EQ(e->getParameter(e, 2), 0.0f);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 2), "Off");

    f.plugin->count.set_int(42);
    e->setParameter(e, 3, 0.9f);
    EXPECT_EQ(f.plugin->count.get_int(), 42);
    EXPECT_EQ(e->getParameter(e, 3), 0.0f);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 3), "42");
}

TEST_F(VstAdapter, RealParametersDisplayByKindAndMapThroughTheirCurves) {
    bridge_fixture f;
    AEffect* e = f.effect;
    const std::pair<float, const char*> gains[] = {
        {0.0f, "-INF"}, {1.0f, "0.0dB"}, {0.5f, "-6.0dB"}};
    for (auto [v, text] : gains) {
        f.plugin->gain.set_value(v);
        EXPECT_EQ(param_text(f, effGetParamDisplay, 0), text);
    }
    const std::pair<float, const char*> pans[] = {
        {0.0005f, "C"}, {-0.5f, "50% L"}, {0.25f, "25% R"}};
    for (auto [v, text] : pans) {
        f.plugin->pan.set_value(v);
        EXPECT_EQ(param_text(f, effGetParamDisplay, 4), text);
    }
    f.plugin->time.set_value(0.005f);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 5), "5.0ms");
    e->setParameter(e, 5, 0.5f);  // exponential from 1 ms to 5 s
    EXPECT_NEAR(f.plugin->time.get_value(), 0.0707107f, 1e-6f);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 5), "71ms");
    e->setParameter(e, 4, 0.75f);  // linear from -1 to 1
    EXPECT_FLOAT_EQ(f.plugin->pan.get_value(), 0.5f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 4), 0.75f);
    EXPECT_EQ(param_text(f, effGetParamDisplay, 6), "0.50");
    f.plugin->number.set_value(1.0f);  // above its mapping range 0.25..0.75
    EXPECT_EQ(e->getParameter(e, 6), 1.0f);
    f.plugin->number.set_value(0.0f);  // below it
    EXPECT_FLOAT_EQ(e->getParameter(e, 6), -0.5f);
}

TEST_F(VstAdapter, ReplacingCallHandsTheHostBuffersPositionTempoAndModeToThePlugin) {
    bridge_fixture f;
    float left[300] = {}, right[300] = {};
    float* io[] = {left, right};
    auto run = [&](int frames) { f.effect->processReplacing(f.effect, io, io, frames); };

    for (int i = 0; i < 3; ++i) run(256);
    ASSERT_EQ(f.plugin->calls.size(), 3u);
    EXPECT_EQ(f.plugin->calls[2].position, 512);  // no transport: the adapter counts
    EXPECT_EQ(f.plugin->calls[0].in[0], left);    // in place stays in place
    EXPECT_EQ(f.plugin->calls[0].out[1], right);
    EXPECT_EQ(f.plugin->get_block_size(), 256);  // raised before the first block

    test_host& host = test_host::get();
    host.has_time = true;
    host.time.samplePos = 1000.9;
    const std::pair<double, bool> tempos[] = {
        {4.99, false}, {5.0, true}, {511.9, true}, {512.0, false}};
    for (auto [tempo, taken] : tempos) {
        f.plugin->tempos.clear();
        host.time.tempo = tempo;
        run(10);
        EXPECT_EQ(!f.plugin->tempos.empty(), taken) << tempo;
    }
    EXPECT_EQ(f.plugin->calls.back().position, 1000);

    const std::pair<VstInt32, int> levels[] = {
        {0, AXO_MODE_UNSPECIFIED}, {1, AXO_MODE_UNSPECIFIED}, {2, AXO_MODE_REALTIME},
        {3, AXO_MODE_REALTIME},    {4, AXO_MODE_OFFLINE},     {5, AXO_MODE_UNSPECIFIED}};
    for (auto [level, mode] : levels) {
        host.level = level;
        run(1);
        EXPECT_EQ(f.plugin->calls.back().mode, mode) << level;
    }
    // A host table with a null channel is not handed on.
    float* broken[] = {left, nullptr};
    const size_t before = f.plugin->calls.size();
    f.effect->processReplacing(f.effect, io, broken, 4);
    f.effect->processReplacing(f.effect, nullptr, nullptr, 4);
    EXPECT_EQ(f.plugin->calls.size(), before);
}

TEST_F(VstAdapter, MidiEventsBecomeTimedRecordsForTheNextBlockOnly) {
    bridge_options o;
    o.event_inputs = 1;
    bridge_fixture f(o);
    test_host::get().has_time = true;
    test_host::get().time.samplePos = 1000;

    VstMidiEvent events[] = {midi(0x91, 60, 100, 10), midi(0x80, 61, 50), midi(0x92, 62, 0),
                             midi(0xE3, 0x00, 0x40),  midi(0xFF, 1, 2),   midi(0xF0, 1, 2),
                             midi(0xF8, 0, 0),        midi(0x40, 1, 2),   midi(0xB5, 7, 99),
                             midi(0x90, 64, 1, 5000)};
    VstEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    VstMidiEvent short_event = midi(0x90, 1, 1);
    short_event.byteSize = 20;  // claims to end before its MIDI bytes
    std::vector<VstEvent*> pointers{&sysex, nullptr, reinterpret_cast<VstEvent*>(&short_event)};
    for (VstMidiEvent& e : events) pointers.push_back(reinterpret_cast<VstEvent*>(&e));
    event_list list(pointers);
    EXPECT_EQ(f.dispatch(effProcessEvents, 0, 0, list.get()), 1);

    float buffer[64] = {};
    float* io[] = {buffer, buffer};
    f.effect->processReplacing(f.effect, io, io, 64);
    struct expected {
        int64_t time;
        int32_t status, kind, d1, d2;
    };
    const expected want[] = {{1010, 0x91, 1, 60, 100}, {1000, 0x80, 2, 61, 0},
                             {1000, 0x92, 2, 62, 0},   {1000, 0xE3, 7, 8192, 0},
                             {1000, -1, 15, 0, 0},     {1000, 0xB5, 4, 7, 99},
                             {6000, 0x90, 1, 64, 1}};
    ASSERT_EQ(f.plugin->events.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const bytes& r = f.plugin->events[i];
        ASSERT_EQ(r.size(), 49u);
        EXPECT_EQ(axo_get_i64(r.data()), want[i].time);
        EXPECT_EQ(axo_get_i32(r.data() + AXO_HEADER_TYPE), AXO_REC_MIDI);
        EXPECT_EQ(axo_get_i32(r.data() + AXO_MIDI_STATUS), want[i].status);
        EXPECT_EQ(axo_get_i32(r.data() + AXO_MIDI_KIND), want[i].kind);
        EXPECT_EQ(axo_get_i32(r.data() + AXO_MIDI_DATA_1), want[i].d1);
        EXPECT_EQ(axo_get_i32(r.data() + AXO_MIDI_DATA_2), want[i].d2);
    }
    // The late event reached the block but is gone after it; hostile lists are skipped.
    f.plugin->events.clear();
    event_list negative({});
    negative.get()->numEvents = -3;
    EXPECT_EQ(f.dispatch(effProcessEvents, 0, 0, negative.get()), 1);
    EXPECT_EQ(f.fx->processEvents(nullptr), 1);
    f.effect->processReplacing(f.effect, io, io, 64);
    EXPECT_TRUE(f.plugin->events.empty());
}

TEST_F(VstAdapter, AccumulatingCallAddsToTheOutputsWithinTheirBounds) {
    bridge_fixture f;
    constexpr float sentinel = -777.0f;
    constexpr size_t guard = 4;
    // Before any block size was announced, then longer than the announced one.
    for (int frames : {100, 100, 3000}) {
        if (frames == 3000) f.dispatch(effSetBlockSize, 0, 512);
        std::vector<float> in[2], out[2];
        float* ins[2];
        float* outs[2];
        for (int c = 0; c < 2; ++c) {
            in[c].assign(frames + 2 * guard, sentinel);
            out[c].assign(frames + 2 * guard, sentinel);
            for (int i = 0; i < frames; ++i) {
                in[c][guard + i] = static_cast<float>(i + c);
                out[c][guard + i] = 0.5f;
            }
            ins[c] = &in[c][guard];
            outs[c] = &out[c][guard];
        }
        f.effect->process(f.effect, ins, outs, frames);
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < frames; ++i) ASSERT_EQ(outs[c][i], i + c + 0.5f) << frames;
            for (size_t g = 0; g < guard; ++g) {
                EXPECT_EQ(out[c][g], sentinel);
                EXPECT_EQ(out[c][guard + frames + g], sentinel);
            }
        }
    }
}

TEST_F(VstAdapter, ChunksCarryThePluginsRecordsFramedByTheirLengths) {
    bridge_options o;
    o.editor = true;
    o.custom_state = true;
    o.state = {record(21, AXO_REC_BEGIN, 0), record(33, AXO_REC_PARAM_REAL, 0x5A),
               record(21, AXO_REC_END, 0)};
    bridge_fixture f(o);
    void* data = nullptr;
    ASSERT_EQ(f.dispatch(effGetChunk, 0, 0, &data), 87);
    const auto* chunk = static_cast<const unsigned char*>(data);
    bytes expected;
    for (const bytes& r : o.state) {
        const unsigned char length[4] = {static_cast<unsigned char>(r.size()), 0, 0, 0};
        expected.insert(expected.end(), length, length + 4);
        expected.insert(expected.end(), r.begin(), r.end());
    }
    EXPECT_EQ(bytes(chunk, chunk + 87), expected);

    // The plug-in gets the records back; a damaged frame keeps those before it.
    bytes saved(chunk, chunk + 87);
    EXPECT_EQ(f.dispatch(effSetChunk, 0, 87, saved.data()), 87);
    EXPECT_EQ(f.plugin->loaded, o.state);
    f.plugin->loaded.clear();
    axo_put_i32(saved.data() + 25, 1000);
    EXPECT_EQ(f.dispatch(effSetChunk, 1, 87, saved.data()), 87);
    EXPECT_EQ(f.plugin->loaded, std::vector<bytes>{o.state[0]});
    EXPECT_EQ(f.dispatch(effSetChunk, 0, 0, saved.data()), 0);

    // Each chunk call asks the editor to redraw.
    f.dispatch(effEditIdle);
    const int refreshed = editor_log::get().refreshed;
    f.dispatch(effEditGetRect, 0, 0, &data);
    f.dispatch(effGetChunk, 0, 0, &data);
    f.dispatch(effEditIdle);
    EXPECT_EQ(editor_log::get().refreshed, refreshed + 1);
}

TEST_F(VstAdapter, AnEmptyStateGivesAValidChunkOfLengthZero) {
    bridge_options o;
    o.custom_state = true;
    bridge_fixture f(o);
    void* data = nullptr;
    EXPECT_EQ(f.dispatch(effGetChunk, 0, 0, &data), 0);
    EXPECT_NE(data, nullptr);
}

TEST_F(VstAdapter, EditorBridgeMakesThePluginEditorOnDemandAndForwardsRedraws) {
    bridge_fixture none;
    EXPECT_EQ(none.fx->getEditor(), nullptr);
    EXPECT_EQ(editor_log::get().created, 0);

    bridge_options o;
    o.editor = true;
    {
        bridge_fixture f(o);
        EXPECT_TRUE(f.effect->flags & effFlagsHasEditor);
        EXPECT_EQ(editor_log::get().destroyed, 1);  // the probe made at construction

        ERect* rect = nullptr;
        EXPECT_EQ(f.dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, 300);
        EXPECT_EQ(rect->right, 400);
        int window = 0;
        EXPECT_EQ(f.dispatch(effEditOpen, 0, 0, &window), 1);
        EXPECT_EQ(editor_log::get().created, 2);  // getRect's object is reused
        EXPECT_EQ(editor_log::get().attached, 1);
        EXPECT_EQ(editor_log::get().parent, &window);
        EXPECT_EQ(editor_log::get().rect.width, 400);
        EXPECT_EQ(editor_log::get().rect.height, 300);

        // setParameter, even with an invalid index, and the plug-in's own request redraw.
        f.dispatch(effEditIdle);
        int refreshed = editor_log::get().refreshed;
        f.effect->setParameter(f.effect, 99, 0.5f);
        f.effect->setParameter(f.effect, 0, 0.5f);
        f.dispatch(effEditIdle);
        f.dispatch(effEditIdle);
        EXPECT_EQ(editor_log::get().refreshed, ++refreshed);

        f.dispatch(effEditClose);
        EXPECT_EQ(editor_log::get().destroyed, 2);
        f.dispatch(effEditGetRect, 0, 0, &rect);
        EXPECT_EQ(editor_log::get().created, 3);
    }
    EXPECT_EQ(editor_log::get().destroyed, 3);

    o.editor_open_result = 0;
    bridge_fixture failing(o);
    int window = 0;
    EXPECT_EQ(failing.dispatch(effEditOpen, 0, 0, &window), 0);
}

TEST_F(VstAdapter, NamesAreCutToTheHostsBuffersAndAMonoPinIsNotStereo) {
    bridge_options o;
    o.info = {"id", std::string(80, 'P'), "1", std::string(40, 'S'), std::string(70, 'V')};
    bridge_fixture f(o);
    char text[100];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(f.dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_EQ(std::string(text), std::string(31, 'S'));
    EXPECT_EQ(text[32], '#');
    f.dispatch(effGetVendorString, 0, 0, text);
    EXPECT_EQ(std::string(text), std::string(63, 'V'));
    f.dispatch(effGetProductString, 0, 0, text);
    EXPECT_EQ(std::string(text), std::string(63, 'P'));
    EXPECT_EQ(f.dispatch(effGetVendorVersion), 1);

    EXPECT_EQ(f.dispatch(effGetProgramNameIndexed, 0, 5, text), 1);
    EXPECT_STREQ(text, "Default");
    EXPECT_EQ(f.dispatch(effGetProgramNameIndexed, 1, 0, text), 0);
    f.dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(f.dispatch(effGetProgram), 0);

    VstPinProperties pin{};
    o.configs = {{AXO_CFG_AUDIO, 1, 1, 0, 0}};
    bridge_fixture mono(o);
    EXPECT_EQ(mono.dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(pin.flags, kVstPinIsActive);
}
