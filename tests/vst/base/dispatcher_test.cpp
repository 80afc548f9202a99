// Every opcode a host can send, through the record's dispatcher entry.
#include <cstdint>
#include <cstring>
#include <string>

#include "vst/base/test_effect.h"

namespace {

using Dispatcher = HostedEffectTest;

// How an opcode's result relates to the operation's answer.
enum class Result { zero, oneOrZero, number };

struct Route {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
    const char* operation;
    VstIntPtr a;  // expected arguments of the operation, in order
    VstIntPtr b;
    bool passesPtr;
    Result result;
};

// Stands for the host's ptr argument; checked to arrive unchanged.
char hostBuffer[256];
VstSpeakerArrangement* hostArrangement = reinterpret_cast<VstSpeakerArrangement*>(hostBuffer);
const VstIntPtr kValuePointer = reinterpret_cast<VstIntPtr>(&hostArrangement);

const Route kRoutes[] = {
    {effOpen, 0, 0, 0, "open", 0, 0, false, Result::zero},
    {effSetProgram, 0, 3, 0, "setProgram", 3, 0, false, Result::zero},
    {effSetProgram, 0, -1, 0, "setProgram", -1, 0, false, Result::zero},
    {effGetProgram, 0, 0, 0, "getProgram", 0, 0, false, Result::number},
    {effSetProgramName, 0, 0, 0, "setProgramName", 0, 0, true, Result::zero},
    {effGetProgramName, 0, 0, 0, "getProgramName", 0, 0, true, Result::zero},
    {effGetParamLabel, 2, 0, 0, "getParameterLabel", 2, 0, true, Result::zero},
    {effGetParamDisplay, 1, 0, 0, "getParameterDisplay", 1, 0, true, Result::zero},
    {effGetParamName, 2, 0, 0, "getParameterName", 2, 0, true, Result::zero},
    {effSetBlockSize, 0, 512, 0, "setBlockSize", 512, 0, false, Result::zero},
    {effMainsChanged, 0, 0, 0, "suspend", 0, 0, false, Result::zero},
    {effMainsChanged, 0, 1, 0, "resume", 0, 0, false, Result::zero},
    {effMainsChanged, 0, -7, 0, "resume", 0, 0, false, Result::zero},
    {effGetChunk, 0, 0, 0, "getChunk", 0, 0, true, Result::number},
    {effGetChunk, 2, 0, 0, "getChunk", 1, 0, true, Result::number},
    {effSetChunk, 0, 99, 0, "setChunk", 99, 0, true, Result::number},
    {effSetChunk, -3, 99, 0, "setChunk", 99, 1, true, Result::number},
    {effProcessEvents, 0, 0, 0, "processEvents", 0, 0, true, Result::number},
    {effCanBeAutomated, 2, 0, 0, "canParameterBeAutomated", 2, 0, false, Result::oneOrZero},
    {effString2Parameter, 1, 0, 0, "string2parameter", 1, 0, true, Result::oneOrZero},
    {effGetProgramNameIndexed, 3, 5, 0, "getProgramNameIndexed", 5, 3, true, Result::oneOrZero},
    {effGetInputProperties, 1, 0, 0, "getInputProperties", 1, 0, true, Result::oneOrZero},
    {effGetOutputProperties, 1, 0, 0, "getOutputProperties", 1, 0, true, Result::oneOrZero},
    {effGetPlugCategory, 0, 0, 0, "getPlugCategory", 0, 0, false, Result::number},
    {effOfflineNotify, 1, 4, 0, "offlineNotify", 4, 1, true, Result::oneOrZero},
    {effOfflinePrepare, 0, 6, 0, "offlinePrepare", 6, 0, true, Result::oneOrZero},
    {effOfflineRun, 0, 6, 0, "offlineRun", 6, 0, true, Result::oneOrZero},
    {effProcessVarIo, 0, 0, 0, "processVariableIo", 0, 0, true, Result::oneOrZero},
    {effSetBypass, 0, 2, 0, "setBypass", 1, 0, false, Result::oneOrZero},
    {effSetBypass, 0, 0, 0, "setBypass", 0, 0, false, Result::oneOrZero},
    {effGetEffectName, 0, 0, 0, "getEffectName", 0, 0, true, Result::oneOrZero},
    {effGetVendorString, 0, 0, 0, "getVendorString", 0, 0, true, Result::oneOrZero},
    {effGetProductString, 0, 0, 0, "getProductString", 0, 0, true, Result::oneOrZero},
    {effGetVendorVersion, 0, 0, 0, "getVendorVersion", 0, 0, false, Result::number},
    {effVendorSpecific, 3, 4, 0.5f, "vendorSpecific", 3, 4, true, Result::number},
    {effCanDo, 0, 0, 0, "canDo", 0, 0, true, Result::number},
    {effGetTailSize, 0, 0, 0, "getGetTailSize", 0, 0, false, Result::number},
    {effGetParameterProperties, 2, 0, 0, "getParameterProperties", 2, 0, true, Result::oneOrZero},
    {effGetVstVersion, 0, 0, 0, "getVstVersion", 0, 0, false, Result::number},
    {effGetMidiProgramName, 9, 0, 0, "getMidiProgramName", 9, 0, true, Result::number},
    {effGetCurrentMidiProgram, 9, 0, 0, "getCurrentMidiProgram", 9, 0, true, Result::number},
    {effGetMidiProgramCategory, 9, 0, 0, "getMidiProgramCategory", 9, 0, true, Result::number},
    {effHasMidiProgramsChanged, 9, 0, 0, "hasMidiProgramsChanged", 9, 0, false, Result::oneOrZero},
    {effGetMidiKeyName, 9, 0, 0, "getMidiKeyName", 9, 0, true, Result::oneOrZero},
    {effBeginSetProgram, 0, 0, 0, "beginSetProgram", 0, 0, false, Result::oneOrZero},
    {effEndSetProgram, 0, 0, 0, "endSetProgram", 0, 0, false, Result::oneOrZero},
    {effShellGetNextPlugin, 0, 0, 0, "getNextShellPlugin", 0, 0, true, Result::number},
    {effStartProcess, 0, 0, 0, "startProcess", 0, 0, false, Result::number},
    {effStopProcess, 0, 0, 0, "stopProcess", 0, 0, false, Result::number},
    {effSetTotalSampleToProcess, 0, 8, 0, "setTotalSampleToProcess", 8, 0, false, Result::number},
    {effSetPanLaw, 0, 2, 0.25f, "setPanLaw", 2, 0, false, Result::oneOrZero},
    {effBeginLoadBank, 0, 0, 0, "beginLoadBank", 0, 0, true, Result::number},
    {effBeginLoadProgram, 0, 0, 0, "beginLoadProgram", 0, 0, true, Result::number},
    {effSetProcessPrecision, 0, 1, 0, "setProcessPrecision", 1, 0, false, Result::oneOrZero},
    {effGetNumMidiInputChannels, 0, 0, 0, "getNumMidiInputChannels", 0, 0, false, Result::number},
    {effGetNumMidiOutputChannels, 0, 0, 0, "getNumMidiOutputChannels", 0, 0, false, Result::number},
};

TEST_F(Dispatcher, EachOpcodeCallsItsOneOperationWithItsArgumentsAndReportsItsAnswer) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    for (const Route& route : kRoutes) {
        for (const bool answer : {true, false}) {
            SCOPED_TRACE(std::string(route.operation) + " opcode " + std::to_string(route.opcode) +
                         (answer ? " true" : " false"));
            effect.calls.clear();
            effect.boolAnswer = answer;
            effect.intAnswer = answer ? 7 : -3;
            const VstIntPtr result =
                dispatch(r, route.opcode, route.index, route.value, hostBuffer, route.opt);
            const VstIntPtr expected = route.result == Result::zero        ? 0
                                       : route.result == Result::oneOrZero ? (answer ? 1 : 0)
                                                                           : effect.intAnswer;
            EXPECT_EQ(result, expected);
            ASSERT_EQ(effect.calls.size(), 1u);
            const EffectCall& call = effect.calls[0];
            EXPECT_EQ(call.name, route.operation);
            EXPECT_EQ(call.a, route.a);
            EXPECT_EQ(call.b, route.b);
            EXPECT_EQ(call.p, route.passesPtr ? hostBuffer : nullptr);
            EXPECT_EQ(call.f, route.opt);
        }
    }
}

TEST_F(Dispatcher, OpcodesWithTwoPointersOrAFloatPassThemUnchanged) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    EXPECT_EQ(dispatch(r, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(hostBuffer + 8),
                       hostBuffer),
              1);
    EXPECT_EQ(dispatch(r, effGetSpeakerArrangement, 0, kValuePointer, hostBuffer), 1);
    EXPECT_EQ(dispatch(r, effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    ASSERT_EQ(effect.calls.size(), 3u);
    EXPECT_EQ(effect.calls[0].p, hostBuffer + 8);
    EXPECT_EQ(effect.calls[0].p2, hostBuffer);
    EXPECT_EQ(effect.calls[1].p, &hostArrangement);
    EXPECT_EQ(effect.calls[1].p2, hostBuffer);
    EXPECT_EQ(effect.calls[2].name, "setSampleRate");
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
}

TEST_F(Dispatcher, ProgramNumbersAtOrAboveTheProgramCountAreNotPassedOn) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    EXPECT_EQ(dispatch(r, effSetProgram, 0, RecordingEffect::kPrograms), 0);
    EXPECT_EQ(dispatch(r, effSetProgram, 0, 1000), 0);
    EXPECT_TRUE(effect.calls.empty());
}

TEST_F(Dispatcher, UnknownRetiredAndNegativeOpcodesAnswerZeroAndCallNothing) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    const VstInt32 unanswered[] = {effGetVu, 16, 17, 18,  20, 21,        28,       30,
                                   31,       32, 36, 37,  43, 46,        53,       54,
                                   55,       57, 80, 500, -1, INT32_MIN, INT32_MAX};
    for (const VstInt32 opcode : unanswered) {
        EXPECT_EQ(dispatch(r, opcode, 1, 1, hostBuffer, 1.0f), 0) << opcode;
    }
    EXPECT_TRUE(effect.calls.empty());
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST_F(Dispatcher, TheBaseAnswersEveryOpcodeWithItsNeutralDefault) {
    BareEffect& effect = make<BareEffect>();
    AEffect* r = record(effect);
    char text[64];
    std::memset(text, 'x', sizeof text);
    void* chunk = hostBuffer;
    VstSpeakerArrangement* in = hostArrangement;
    VstSpeakerArrangement* out = hostArrangement;

    EXPECT_EQ(dispatch(r, effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(r, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(r, effGetPlugCategory), kPlugCategUnknown);
    EXPECT_EQ(dispatch(r, effGetCurrentMidiProgram, 0, 0, hostBuffer), -1);
    EXPECT_EQ(dispatch(r, effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(dispatch(r, effCanBeAutomated, 4), 1);
    EXPECT_EQ(dispatch(r, effCanDo, 0, 0, const_cast<char*>("bypass")), 0);
    EXPECT_EQ(dispatch(r, effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(dispatch(r, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dispatch(r, effGetParamDisplay, 0, 0, text), 0);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(dispatch(r, effSetProgram, 0, 1), 0);
    EXPECT_EQ(dispatch(r, effGetProgram), 1);
    EXPECT_EQ(dispatch(r, effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(effect.getBlockSize(), 256);

    effect.isSynth();
    EXPECT_EQ(dispatch(r, effGetPlugCategory), kPlugCategSynth);
    EXPECT_TRUE(test_host::get().calls.empty());
}

// Every opcode that reads or writes through ptr, with the answer it gives for a real buffer.
const VstInt32 kPointerOpcodes[] = {
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effString2Parameter,
    effGetProgramNameIndexed,
    effGetInputProperties,
    effGetOutputProperties,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effGetEffectName,
    effGetVendorString,
    effGetProductString,
    effCanDo,
    effGetParameterProperties,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effGetMidiKeyName,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effBeginLoadBank,
    effBeginLoadProgram,
};

TEST_F(Dispatcher, ANullBufferOrRecordIsAnsweredZeroWithoutReachingTheEffect) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    for (const VstInt32 opcode : kPointerOpcodes) {
        EXPECT_EQ(dispatch(r, opcode, 0, kValuePointer, nullptr), 0) << opcode;
    }
    EXPECT_EQ(dispatch(r, effSetSpeakerArrangement, 0, 0, hostBuffer), 0);
    EXPECT_EQ(dispatch(r, effGetSpeakerArrangement, 0, 0, hostBuffer), 0);
    EXPECT_TRUE(effect.calls.empty());

    // The base's own writers are reached the same way and must not crash either.
    AEffect* bare = record(make<BareEffect>());
    for (const VstInt32 opcode : kPointerOpcodes) {
        EXPECT_EQ(dispatch(bare, opcode, 0, kValuePointer, nullptr), 0) << opcode;
    }
    EXPECT_EQ(dispatch(bare, effEditGetRect), 0);
}

TEST_F(Dispatcher, AChunkSizeThatCannotBeAByteCountIsRefused) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    EXPECT_EQ(dispatch(r, effSetChunk, 0, -1, hostBuffer), 0);
    if (sizeof(VstIntPtr) > 4) {
        EXPECT_EQ(dispatch(r, effSetChunk, 0, static_cast<VstIntPtr>(INT64_C(1) << 32), hostBuffer),
                  0);
    }
    EXPECT_TRUE(effect.calls.empty());
    EXPECT_EQ(dispatch(r, effSetChunk, 0, 0, hostBuffer), 7);
}

}  // namespace
