// Calls from the effect to its host: what each passes, how it reads the answer, and what it
// answers when the host gave no callback.
#include <functional>
#include <string>

#include "vst/base/test_effect.h"

namespace {

using host_calls = HostedEffectTest;

// How a wrapper turns the host's answer into its own result.
enum class Reading { none, answer, nonZero, pointer };

struct Wrapper {
    const char* name;
    std::function<VstIntPtr(AudioEffectX&)> call;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    bool passesPtr;
    float opt;
    Reading reading;
};

char hostRecord[64];
void* const kPtr = hostRecord;

template <typename T>
T* opaque() {
    return reinterpret_cast<T*>(hostRecord);
}

VstIntPtr asInt(const void* p) {
    return reinterpret_cast<VstIntPtr>(p);
}

const Wrapper kWrappers[] = {
    {"getCurrentUniqueId", [](AudioEffectX& e) { return e.getCurrentUniqueId(); },
     audioMasterCurrentId, 0, 0, false, 0, Reading::answer},
    {"masterIdle", [](AudioEffectX& e) { return e.masterIdle(), 0; }, audioMasterIdle, 0, 0, false,
     0, Reading::none},
    {"wantEvents", [](AudioEffectX& e) { return e.wantEvents(1), 0; }, audioMasterWantMidi, 0, 1,
     false, 0, Reading::none},
    {"getTimeInfo", [](AudioEffectX& e) { return asInt(e.getTimeInfo(0x600)); }, audioMasterGetTime,
     0, 0x600, false, 0, Reading::pointer},
    {"tempoAt", [](AudioEffectX& e) { return e.tempoAt(44); }, audioMasterTempoAt, 0, 44, false, 0,
     Reading::answer},
    {"getNumAutomatableParameters", [](AudioEffectX& e) { return e.getNumAutomatableParameters(); },
     audioMasterGetNumAutomatableParameters, 0, 0, false, 0, Reading::answer},
    {"getParameterQuantization", [](AudioEffectX& e) { return e.getParameterQuantization(); },
     audioMasterGetParameterQuantization, 0, 0, false, 0, Reading::answer},
    {"ioChanged", [](AudioEffectX& e) { return VstIntPtr{e.ioChanged()}; }, audioMasterIOChanged, 0,
     0, false, 0, Reading::nonZero},
    {"needIdle", [](AudioEffectX& e) { return VstIntPtr{e.needIdle()}; }, audioMasterNeedIdle, 0, 0,
     false, 0, Reading::nonZero},
    {"sizeWindow", [](AudioEffectX& e) { return VstIntPtr{e.sizeWindow(640, 480)}; },
     audioMasterSizeWindow, 640, 480, false, 0, Reading::nonZero},
    {"getInputLatency", [](AudioEffectX& e) { return e.getInputLatency(); },
     audioMasterGetInputLatency, 0, 0, false, 0, Reading::answer},
    {"getOutputLatency", [](AudioEffectX& e) { return e.getOutputLatency(); },
     audioMasterGetOutputLatency, 0, 0, false, 0, Reading::answer},
    {"getPreviousPlug", [](AudioEffectX& e) { return asInt(e.getPreviousPlug(3)); },
     audioMasterGetPreviousPlug, 0, 0, false, 0, Reading::pointer},
    {"getNextPlug", [](AudioEffectX& e) { return asInt(e.getNextPlug(3)); }, audioMasterGetNextPlug,
     0, 0, false, 0, Reading::pointer},
    {"willProcessReplacing", [](AudioEffectX& e) { return e.willProcessReplacing(); },
     audioMasterWillReplaceOrAccumulate, 0, 0, false, 0, Reading::answer},
    {"getCurrentProcessLevel", [](AudioEffectX& e) { return e.getCurrentProcessLevel(); },
     audioMasterGetCurrentProcessLevel, 0, 0, false, 0, Reading::answer},
    {"getAutomationState", [](AudioEffectX& e) { return e.getAutomationState(); },
     audioMasterGetAutomationState, 0, 0, false, 0, Reading::answer},
    {"offlineStart",
     [](AudioEffectX& e) { return VstIntPtr{e.offlineStart(opaque<VstAudioFile>(), 2, 3)}; },
     audioMasterOfflineStart, 3, 2, true, 0, Reading::nonZero},
    {"offlineRead",
     [](AudioEffectX& e) { return VstIntPtr{e.offlineRead(opaque<VstOfflineTask>(), 9, true)}; },
     audioMasterOfflineRead, 1, 9, true, 0, Reading::nonZero},
    {"offlineWrite",
     [](AudioEffectX& e) { return VstIntPtr{e.offlineWrite(opaque<VstOfflineTask>(), 9)}; },
     audioMasterOfflineWrite, 0, 9, true, 0, Reading::nonZero},
    {"offlineGetCurrentPass", [](AudioEffectX& e) { return e.offlineGetCurrentPass(); },
     audioMasterOfflineGetCurrentPass, 0, 0, false, 0, Reading::nonZero},
    {"offlineGetCurrentMetaPass", [](AudioEffectX& e) { return e.offlineGetCurrentMetaPass(); },
     audioMasterOfflineGetCurrentMetaPass, 0, 0, false, 0, Reading::nonZero},
    {"setOutputSamplerate", [](AudioEffectX& e) { return e.setOutputSamplerate(96000.0f), 0; },
     audioMasterSetOutputSampleRate, 0, 0, false, 96000.0f, Reading::none},
    {"getOutputSpeakerArrangement",
     [](AudioEffectX& e) { return asInt(e.getOutputSpeakerArrangement()); },
     audioMasterGetOutputSpeakerArrangement, 0, 0, false, 0, Reading::pointer},
    {"getHostVendorString",
     [](AudioEffectX& e) { return VstIntPtr{e.getHostVendorString(hostRecord)}; },
     audioMasterGetVendorString, 0, 0, true, 0, Reading::nonZero},
    {"getHostProductString",
     [](AudioEffectX& e) { return VstIntPtr{e.getHostProductString(hostRecord)}; },
     audioMasterGetProductString, 0, 0, true, 0, Reading::nonZero},
    {"getHostVendorVersion", [](AudioEffectX& e) { return e.getHostVendorVersion(); },
     audioMasterGetVendorVersion, 0, 0, false, 0, Reading::answer},
    {"hostVendorSpecific", [](AudioEffectX& e) { return e.hostVendorSpecific(5, 6, kPtr, 0.5f); },
     audioMasterVendorSpecific, 5, 6, true, 0.5f, Reading::answer},
    {"canHostDo", [](AudioEffectX& e) { return e.canHostDo(hostRecord); }, audioMasterCanDo, 0, 0,
     true, 0, Reading::nonZero},
    {"getHostLanguage", [](AudioEffectX& e) { return e.getHostLanguage(); }, audioMasterGetLanguage,
     0, 0, false, 0, Reading::answer},
    {"openWindow", [](AudioEffectX& e) { return e.openWindow(opaque<VstWindow>()); },
     audioMasterOpenWindow, 0, 0, true, 0, Reading::answer},
    {"closeWindow", [](AudioEffectX& e) { return VstIntPtr{e.closeWindow(opaque<VstWindow>())}; },
     audioMasterCloseWindow, 0, 0, true, 0, Reading::nonZero},
    {"getDirectory", [](AudioEffectX& e) { return asInt(e.getDirectory()); },
     audioMasterGetDirectory, 0, 0, false, 0, Reading::pointer},
    {"updateDisplay", [](AudioEffectX& e) { return VstIntPtr{e.updateDisplay()}; },
     audioMasterUpdateDisplay, 0, 0, false, 0, Reading::nonZero},
    {"beginEdit", [](AudioEffectX& e) { return VstIntPtr{e.beginEdit(2)}; }, audioMasterBeginEdit,
     2, 0, false, 0, Reading::nonZero},
    {"endEdit", [](AudioEffectX& e) { return VstIntPtr{e.endEdit(2)}; }, audioMasterEndEdit, 2, 0,
     false, 0, Reading::nonZero},
    {"openFileSelector",
     [](AudioEffectX& e) { return VstIntPtr{e.openFileSelector(opaque<VstFileSelect>())}; },
     audioMasterOpenFileSelector, 0, 0, true, 0, Reading::nonZero},
    {"closeFileSelector",
     [](AudioEffectX& e) { return VstIntPtr{e.closeFileSelector(opaque<VstFileSelect>())}; },
     audioMasterCloseFileSelector, 0, 0, true, 0, Reading::nonZero},
    {"getChunkFile", [](AudioEffectX& e) { return VstIntPtr{e.getChunkFile(kPtr)}; },
     audioMasterGetChunkFile, 0, 0, true, 0, Reading::nonZero},
    {"getInputSpeakerArrangement",
     [](AudioEffectX& e) { return asInt(e.getInputSpeakerArrangement()); },
     audioMasterGetInputSpeakerArrangement, 0, 0, false, 0, Reading::pointer},
};

TEST_F(host_calls, EachWrapperPassesItsOpcodeAndArgumentsAndReadsTheAnswer) {
    BareEffect& effect = make<BareEffect>();
    for (const Wrapper& w : kWrappers) {
        for (const VstIntPtr answer : {VstIntPtr{5}, VstIntPtr{-1}, VstIntPtr{0}}) {
            SCOPED_TRACE(std::string(w.name) + " answer " + std::to_string(answer));
            test_host::get().calls.clear();
            test_host::get().answer = answer;
            const VstIntPtr result = w.call(effect);
            ASSERT_EQ(test_host::get().calls.size(), 1u);
            const host_call& call = test_host::get().calls[0];
            EXPECT_EQ(call.effect, record(effect));
            EXPECT_EQ(call.opcode, w.opcode);
            EXPECT_EQ(call.index, w.index);
            EXPECT_EQ(call.value, w.value);
            EXPECT_EQ(call.ptr, w.passesPtr ? kPtr : nullptr);
            EXPECT_EQ(call.opt, w.opt);
            switch (w.reading) {
                case Reading::none: break;
                case Reading::answer:
                case Reading::pointer: EXPECT_EQ(result, answer); break;
                case Reading::nonZero: EXPECT_EQ(result, answer != 0 ? 1 : 0); break;
            }
        }
    }
}

TEST_F(host_calls, WithoutAhost_callbackEveryWrapperAnswersItsFallback) {
    BareEffect& effect = make<BareEffect>(nullptr);
    for (const Wrapper& w : kWrappers) EXPECT_EQ(w.call(effect), 0) << w.name;
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    effect.setSampleRate(22050.0f);
    effect.setBlockSize(64);
    EXPECT_EQ(effect.updateSampleRate(), 22050.0);
    EXPECT_EQ(effect.updateBlockSize(), 64);
    effect.setParameterAutomated(0, 1.0f);
    EXPECT_TRUE(test_host::get().calls.empty());
}

TEST_F(host_calls, FileSelectorsAndChunkFilesWithoutARecordDoNotCallTheHost) {
    BareEffect& effect = make<BareEffect>();
    test_host::get().answer = 1;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(test_host::get().calls.empty());
}

TEST_F(host_calls, VersionAndPinConnectionTurnTheHostsSilenceIntoSafeAnswers) {
    BareEffect& effect = make<BareEffect>();
    test_host::get().answer = 2400;
    EXPECT_EQ(effect.getMasterVersion(), 2400);
    test_host::get().answer = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(3));
    EXPECT_TRUE(effect.isOutputConnected(1));
    test_host::get().answer = 1;
    EXPECT_FALSE(effect.isInputConnected(3));
    EXPECT_FALSE(effect.isOutputConnected(1));

    ASSERT_EQ(test_host::get().calls.size(), 6u);
    EXPECT_EQ(test_host::get().calls[0].opcode, audioMasterVersion);
    const host_call& input = test_host::get().calls[4];
    const host_call& output = test_host::get().calls[5];
    EXPECT_EQ(input.opcode, audioMasterPinConnected);
    EXPECT_EQ(input.index, 3);
    EXPECT_EQ(input.value, 0);
    EXPECT_EQ(output.index, 1);
    EXPECT_EQ(output.value, 1);
}

TEST_F(host_calls, RateAndBlockSizeKeepTheStoredValueUnlessTheHostAnswersAPositiveOne) {
    BareEffect& effect = make<BareEffect>();
    for (const VstIntPtr answer : {VstIntPtr{0}, VstIntPtr{-48000}}) {
        test_host::get().answer = answer;
        EXPECT_EQ(effect.updateSampleRate(), 44100.0);
        EXPECT_EQ(effect.updateBlockSize(), 1024);
    }
    test_host::get().answer = 48000;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    test_host::get().answer = 256;
    EXPECT_EQ(effect.updateBlockSize(), 256);
    EXPECT_EQ(effect.getBlockSize(), 256);
    EXPECT_EQ(test_host::get().calls.back().opcode, audioMasterGetBlockSize);
}

TEST_F(host_calls, AnAutomatedChangeSetsTheParameterThenTellsTheHost) {
    RecordingEffect& effect = make();
    test_host::get().answer = 99;
    effect.setParameterAutomated(2, 0.75f);
    ASSERT_EQ(effect.calls.size(), 1u);
    EXPECT_EQ(effect.calls[0].name, "setParameter");
    ASSERT_EQ(test_host::get().calls.size(), 1u);
    const host_call& call = test_host::get().calls[0];
    EXPECT_EQ(call.opcode, audioMasterAutomate);
    EXPECT_EQ(call.index, 2);
    EXPECT_EQ(call.value, 0);
    EXPECT_EQ(call.ptr, nullptr);
    EXPECT_EQ(call.opt, 0.75f);
}

}  // namespace
