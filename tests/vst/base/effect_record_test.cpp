// The effect record as a host receives it, and the C entries stored in it.
#include <cstring>
#include <functional>

#include "vst/base/test_effect.h"

namespace {

using EffectRecord = HostedEffectTest;

TEST_F(EffectRecord, AFreshRecordCarriesTheMagicEntriesAndDefaults) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    EXPECT_EQ(r->magic, 0x56737450);
    EXPECT_NE(r->dispatcher, nullptr);
    EXPECT_NE(r->process, nullptr);
    EXPECT_NE(r->setParameter, nullptr);
    EXPECT_NE(r->getParameter, nullptr);
    EXPECT_NE(r->processReplacing, nullptr);
    EXPECT_NE(r->processDoubleReplacing, nullptr);
    EXPECT_EQ(r->numPrograms, RecordingEffect::kPrograms);
    EXPECT_EQ(r->numParams, RecordingEffect::kParams);
    EXPECT_EQ(r->numInputs, 1);
    EXPECT_EQ(r->numOutputs, 2);
    EXPECT_EQ(r->flags, effFlagsCanReplacing);
    EXPECT_EQ(r->ioRatio, 1.0f);
    EXPECT_EQ(r->object, static_cast<void*>(static_cast<AudioEffect*>(&effect)));
    EXPECT_EQ(r->uniqueID, 0x4E6F4566);
    EXPECT_EQ(r->version, 1);
    EXPECT_EQ(r->resvd1, 0);
    EXPECT_EQ(r->resvd2, 0);
    EXPECT_EQ(r->initialDelay, 0);
    EXPECT_EQ(r->realQualities, 0);
    EXPECT_EQ(r->offQualities, 0);
    EXPECT_EQ(r->user, nullptr);
    const char zeros[sizeof r->future] = {};
    EXPECT_EQ(std::memcmp(r->future, zeros, sizeof zeros), 0);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getEditor(), nullptr);
    EXPECT_TRUE(effect.calls.empty());
}

TEST_F(EffectRecord, EveryCEntryForwardsToTheOperationOfTheSameName) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    float left[4] = {}, right[4] = {};
    float* ins[] = {left};
    float* outs[] = {left, right};
    double dl[4] = {};
    double* dins[] = {dl};
    double* douts[] = {dl};

    r->processReplacing(r, ins, outs, 4);
    r->process(r, ins, outs, 3);
    r->processDoubleReplacing(r, dins, douts, 2);
    r->setParameter(r, 2, 0.75f);
    effect.intAnswer = 4;
    EXPECT_EQ(r->getParameter(r, 1), 0.5f);

    ASSERT_EQ(effect.calls.size(), 5u);
    EXPECT_EQ(effect.calls[0].name, "processReplacing");
    EXPECT_EQ(effect.calls[0].a, 4);
    EXPECT_EQ(effect.calls[0].p, ins);
    EXPECT_EQ(effect.calls[0].p2, outs);
    EXPECT_EQ(effect.calls[1].name, "process");
    EXPECT_EQ(effect.calls[1].a, 3);
    EXPECT_EQ(effect.calls[2].name, "processDoubleReplacing");
    EXPECT_EQ(effect.calls[2].p2, douts);
    EXPECT_EQ(effect.calls[3].name, "setParameter");
    EXPECT_EQ(effect.calls[3].a, 2);
    EXPECT_EQ(effect.calls[3].f, 0.75f);
    EXPECT_EQ(effect.calls[4].name, "getParameter");
    EXPECT_EQ(effect.calls[4].a, 1);
}

TEST_F(EffectRecord, ProcessingEntriesIgnoreAMissingOutputArrayOrANegativeFrameCount) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    float buffer[2] = {};
    float* outs[] = {buffer, buffer};
    r->processReplacing(r, outs, nullptr, 2);
    r->process(r, outs, nullptr, 2);
    r->processDoubleReplacing(r, nullptr, nullptr, 2);
    r->processReplacing(r, outs, outs, -1);
    EXPECT_TRUE(effect.calls.empty());
    r->processReplacing(r, outs, outs, 0);
    EXPECT_EQ(effect.calls.size(), 1u);
}

TEST(EffectClose, AnswersOneAndFreesTheEffectAndItsEditorWhileTheVirtualDispatcherAnswersZero) {
    auto* effect = new RecordingEffect;
    effect->setEditor(new RecordingEditor(effect));
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    ASSERT_EQ(RecordingEffect::live, 1);

    AEffect* r = effect->getAeffect();
    EXPECT_EQ(dispatch(r, effClose), 1);
    EXPECT_EQ(RecordingEffect::live, 0);
    EXPECT_EQ(RecordingEditor::live, 0);
}

TEST(EffectClose, StillFreesTheEffectWhenItsCloseThrows) {
    auto* effect = new RecordingEffect;
    effect->throwing = true;
    EXPECT_EQ(dispatch(effect->getAeffect(), effClose), 1);
    EXPECT_EQ(RecordingEffect::live, 0);
}

TEST_F(EffectRecord, NoExceptionFromTheEffectCrossesACEntry) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    effect.throwing = true;
    float buffer[1] = {};
    float* chans[] = {buffer, buffer};
    double dbuffer[1] = {};
    double* dchans[] = {dbuffer, dbuffer};
    char text[64] = {};

    EXPECT_EQ(dispatch(r, effGetVendorVersion), 0);
    EXPECT_EQ(dispatch(r, effGetProgramName, 0, 0, text), 0);
    EXPECT_EQ(r->getParameter(r, 0), 0.0f);
    EXPECT_NO_THROW(r->setParameter(r, 0, 1.0f));
    EXPECT_NO_THROW(r->processReplacing(r, chans, chans, 1));
    EXPECT_NO_THROW(r->process(r, chans, chans, 1));
    EXPECT_NO_THROW(r->processDoubleReplacing(r, dchans, dchans, 1));
    EXPECT_EQ(effect.calls.size(), 7u);
    effect.throwing = false;
}

TEST_F(EffectRecord, FlagSettersSetAndClearOnlyTheirOwnBit) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    const std::pair<std::function<void(bool)>, VstInt32> setters[] = {
        {[&](bool s) { effect.canProcessReplacing(s); }, effFlagsCanReplacing},
        {[&](bool s) { effect.canDoubleReplacing(s); }, effFlagsCanDoubleReplacing},
        {[&](bool s) { effect.programsAreChunks(s); }, effFlagsProgramChunks},
        {[&](bool s) { effect.hasVu(s); }, effFlagsHasVu},
        {[&](bool s) { effect.hasClip(s); }, effFlagsHasClip},
        {[&](bool s) { effect.canMono(s); }, effFlagsCanMono},
        {[&](bool s) { effect.isSynth(s); }, effFlagsIsSynth},
        {[&](bool s) { effect.noTail(s); }, effFlagsNoSoundInStop},
        {[&](bool s) { effect.wantAsyncOperation(s); }, effFlagsExtIsAsync},
        {[&](bool s) { effect.hasExternalBuffer(s); }, effFlagsExtHasBuffer},
    };
    for (const auto& [set, flag] : setters) {
        r->flags = ~0 & ~flag;
        set(true);
        EXPECT_EQ(r->flags, ~0) << flag;
        r->flags = 0;
        set(true);
        EXPECT_EQ(r->flags, flag) << flag;
        r->flags = ~0;
        set(false);
        EXPECT_EQ(r->flags, ~flag) << flag;
    }
}

}  // namespace
