// A small effect for driving the effect base as a host would, through the effect record's C
// entries and the recording test host.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_host.h"
#include "vst/base/AEffEditor.h"
#include "vst/base/AudioEffectX.h"

// One operation the dispatcher or a C entry reached, with its arguments in order.
struct EffectCall {
    std::string name;
    VstIntPtr a = 0;
    VstIntPtr b = 0;
    const void* p = nullptr;
    float f = 0.0f;
    const void* p2 = nullptr;
};

// Records every operation a host can reach and answers boolAnswer or intAnswer. With
// throwing set, every recorded operation throws after recording.
class RecordingEffect : public AudioEffectX {
public:
    static inline int live = 0;
    static constexpr VstInt32 kPrograms = 4;
    static constexpr VstInt32 kParams = 3;

    explicit RecordingEffect(audioMasterCallback host = test_host::callback)
        : AudioEffectX(host, kPrograms, kParams) {
        ++live;
    }
    ~RecordingEffect() override { --live; }

    std::vector<EffectCall> calls;
    bool boolAnswer = true;
    VstInt32 intAnswer = 7;
    bool throwing = false;

    void note(const char* name, VstIntPtr a = 0, VstIntPtr b = 0, const void* p = nullptr,
              float f = 0.0f, const void* p2 = nullptr) {
        calls.push_back({name, a, b, p, f, p2});
        if (throwing) throw std::runtime_error(name);
    }
    bool yes(const char* name, VstIntPtr a = 0, VstIntPtr b = 0, const void* p = nullptr,
             float f = 0.0f, const void* p2 = nullptr) {
        note(name, a, b, p, f, p2);
        return boolAnswer;
    }
    VstInt32 number(const char* name, VstIntPtr a = 0, VstIntPtr b = 0, const void* p = nullptr,
                    float f = 0.0f) {
        note(name, a, b, p, f);
        return intAnswer;
    }

    // The record's C entries.
    void processReplacing(float** in, float** out, VstInt32 n) override {
        note("processReplacing", n, 0, in, 0.0f, out);
    }
    void processDoubleReplacing(double** in, double** out, VstInt32 n) override {
        note("processDoubleReplacing", n, 0, in, 0.0f, out);
    }
    void process(float** in, float** out, VstInt32 n) override {
        note("process", n, 0, in, 0.0f, out);
    }
    void setParameter(VstInt32 i, float v) override { note("setParameter", i, 0, nullptr, v); }
    float getParameter(VstInt32 i) override { return number("getParameter", i) * 0.125f; }

    // Opcodes 0 to 24.
    void open() override { note("open"); }
    void close() override { note("close"); }
    void suspend() override { note("suspend"); }
    void resume() override { note("resume"); }
    void setSampleRate(float r) override {
        note("setSampleRate", 0, 0, nullptr, r);
        AudioEffectX::setSampleRate(r);
    }
    void setBlockSize(VstInt32 n) override {
        note("setBlockSize", n);
        AudioEffectX::setBlockSize(n);
    }
    VstInt32 getProgram() override { return number("getProgram"); }
    void setProgram(VstInt32 p) override { note("setProgram", p); }
    void setProgramName(char* t) override { note("setProgramName", 0, 0, t); }
    void getProgramName(char* t) override { note("getProgramName", 0, 0, t); }
    void getParameterLabel(VstInt32 i, char* t) override { note("getParameterLabel", i, 0, t); }
    void getParameterDisplay(VstInt32 i, char* t) override { note("getParameterDisplay", i, 0, t); }
    void getParameterName(VstInt32 i, char* t) override { note("getParameterName", i, 0, t); }
    VstInt32 getChunk(void** d, bool preset) override { return number("getChunk", preset, 0, d); }
    VstInt32 setChunk(void* d, VstInt32 n, bool preset) override {
        return number("setChunk", n, preset, d);
    }

    // Opcodes 25 to 79.
    VstInt32 processEvents(VstEvents* e) override { return number("processEvents", 0, 0, e); }
    bool canParameterBeAutomated(VstInt32 i) override { return yes("canParameterBeAutomated", i); }
    bool string2parameter(VstInt32 i, char* t) override { return yes("string2parameter", i, 0, t); }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char* t) override {
        return yes("getProgramNameIndexed", c, i, t);
    }
    bool getInputProperties(VstInt32 i, VstPinProperties* p) override {
        return yes("getInputProperties", i, 0, p);
    }
    bool getOutputProperties(VstInt32 i, VstPinProperties* p) override {
        return yes("getOutputProperties", i, 0, p);
    }
    VstInt32 getPlugCategory() override { return number("getPlugCategory"); }
    bool offlineNotify(VstAudioFile* f, VstInt32 n, bool start) override {
        return yes("offlineNotify", n, start, f);
    }
    bool offlinePrepare(VstOfflineTask* t, VstInt32 n) override {
        return yes("offlinePrepare", n, 0, t);
    }
    bool offlineRun(VstOfflineTask* t, VstInt32 n) override { return yes("offlineRun", n, 0, t); }
    bool processVariableIo(VstVariableIo* v) override { return yes("processVariableIo", 0, 0, v); }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return yes("setSpeakerArrangement", 0, 0, in, 0.0f, out);
    }
    bool setBypass(bool on) override { return yes("setBypass", on); }
    bool getEffectName(char* t) override { return yes("getEffectName", 0, 0, t); }
    bool getVendorString(char* t) override { return yes("getVendorString", 0, 0, t); }
    bool getProductString(char* t) override { return yes("getProductString", 0, 0, t); }
    VstInt32 getVendorVersion() override { return number("getVendorVersion"); }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) override {
        return number("vendorSpecific", a, b, p, f);
    }
    VstInt32 canDo(char* t) override { return number("canDo", 0, 0, t); }
    VstInt32 getGetTailSize() override { return number("getGetTailSize"); }
    bool getParameterProperties(VstInt32 i, VstParameterProperties* p) override {
        return yes("getParameterProperties", i, 0, p);
    }
    VstInt32 getVstVersion() override { return number("getVstVersion"); }
    VstInt32 getMidiProgramName(VstInt32 c, MidiProgramName* p) override {
        return number("getMidiProgramName", c, 0, p);
    }
    VstInt32 getCurrentMidiProgram(VstInt32 c, MidiProgramName* p) override {
        return number("getCurrentMidiProgram", c, 0, p);
    }
    VstInt32 getMidiProgramCategory(VstInt32 c, MidiProgramCategory* p) override {
        return number("getMidiProgramCategory", c, 0, p);
    }
    bool hasMidiProgramsChanged(VstInt32 c) override { return yes("hasMidiProgramsChanged", c); }
    bool getMidiKeyName(VstInt32 c, MidiKeyName* k) override {
        return yes("getMidiKeyName", c, 0, k);
    }
    bool beginSetProgram() override { return yes("beginSetProgram"); }
    bool endSetProgram() override { return yes("endSetProgram"); }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return yes("getSpeakerArrangement", 0, 0, in, 0.0f, out);
    }
    VstInt32 getNextShellPlugin(char* t) override { return number("getNextShellPlugin", 0, 0, t); }
    VstInt32 startProcess() override { return number("startProcess"); }
    VstInt32 stopProcess() override { return number("stopProcess"); }
    VstInt32 setTotalSampleToProcess(VstInt32 v) override {
        return number("setTotalSampleToProcess", v);
    }
    bool setPanLaw(VstInt32 t, float v) override { return yes("setPanLaw", t, 0, nullptr, v); }
    VstInt32 beginLoadBank(VstPatchChunkInfo* p) override {
        return number("beginLoadBank", 0, 0, p);
    }
    VstInt32 beginLoadProgram(VstPatchChunkInfo* p) override {
        return number("beginLoadProgram", 0, 0, p);
    }
    bool setProcessPrecision(VstInt32 p) override { return yes("setProcessPrecision", p); }
    VstInt32 getNumMidiInputChannels() override { return number("getNumMidiInputChannels"); }
    VstInt32 getNumMidiOutputChannels() override { return number("getNumMidiOutputChannels"); }

    // Operations behind retired opcodes: no opcode may reach them.
    float getVu() override { return number("getVu"); }
    VstInt32 getNumCategories() override { return number("getNumCategories"); }
    bool copyProgram(VstInt32 d) override { return yes("copyProgram", d); }
    void inputConnected(VstInt32 i, bool s) override { note("inputConnected", i, s); }
    void outputConnected(VstInt32 i, bool s) override { note("outputConnected", i, s); }
    VstInt32 reportCurrentPosition() override { return number("reportCurrentPosition"); }
    float* reportDestinationBuffer() override {
        note("reportDestinationBuffer");
        return nullptr;
    }
    void setBlockSizeAndSampleRate(VstInt32 n, float r) override {
        note("setBlockSizeAndSampleRate", n, 0, nullptr, r);
    }
    bool getErrorText(char* t) override { return yes("getErrorText", 0, 0, t); }
    void* getIcon() override {
        note("getIcon");
        return nullptr;
    }
    bool setViewPosition(VstInt32 x, VstInt32 y) override { return yes("setViewPosition", x, y); }
    VstInt32 fxIdle() override { return number("fxIdle"); }
    bool keysRequired() override { return yes("keysRequired"); }

    // Exposed for checks of the stored values.
    using AudioEffect::setEditor;
};

// An effect that overrides nothing but the one operation every effect must supply, so that
// every other answer is the base's own.
class BareEffect : public AudioEffectX {
public:
    static inline int live = 0;
    explicit BareEffect(audioMasterCallback host = test_host::callback) : AudioEffectX(host, 2, 5) {
        ++live;
    }
    ~BareEffect() override { --live; }
    void processReplacing(float**, float**, VstInt32) override {}
};

// An editor that counts its redraws and records the key codes it is given.
class RecordingEditor : public AEffEditor {
public:
    static inline int live = 0;
    explicit RecordingEditor(AudioEffect* effect) : AEffEditor(effect) { ++live; }
    ~RecordingEditor() override { --live; }

    int updates = 0;
    bool keyAnswer = true;
    std::vector<VstKeyCode> keys;
    VstInt32 knobMode = -1;

    void update() override { ++updates; }
    bool onKeyDown(VstKeyCode& key) override {
        keys.push_back(key);
        return keyAnswer;
    }
    bool onKeyUp(VstKeyCode& key) override {
        keys.push_back(key);
        return keyAnswer;
    }
    bool setKnobMode(VstInt32 mode) override {
        knobMode = mode;
        return keyAnswer;
    }
};

inline VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// Opens effects as a host does and closes every one of them through effClose afterwards,
// checking that nothing outlives its record.
class HostedEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_host::reset();
        test_host::get().record = true;
        test_host::get().answer = 0;
    }
    void TearDown() override {
        for (AEffect* effect : open_) EXPECT_EQ(dispatch(effect, effClose), 1);
        EXPECT_EQ(RecordingEffect::live, 0);
        EXPECT_EQ(BareEffect::live, 0);
        EXPECT_EQ(RecordingEditor::live, 0);
    }

    template <typename Effect = RecordingEffect>
    Effect& make(audioMasterCallback host = test_host::callback) {
        auto* effect = new Effect(host);
        open_.push_back(effect->getAeffect());
        return *effect;
    }
    AEffect* record(AudioEffect& effect) { return effect.getAeffect(); }

private:
    std::vector<AEffect*> open_;
};
