#include "vst/base/AudioEffect.h"

#include <cstdint>

#include "vst/base/AEffEditor.h"

namespace {

// Unique identifier of an effect that has not chosen its own.
constexpr VstInt32 kDefaultUniqueId = vstFourCharCode('N', 'o', 'E', 'f');
// Answer to effIdentify, by which old hosts recognise an effect.
constexpr VstInt32 kIdentifyAnswer = vstFourCharCode('N', 'v', 'E', 'f');

// The effect object behind a record the host hands back. Every C entry goes through here.
AudioEffect* effectOf(AEffect* effect) {
    return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

// The C entry points stored in the record. A host is C code: no exception may reach it, so
// each entry catches everything and answers as if nothing had been done.
VstIntPtr VST_CDECL dispatcherEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                    void* ptr, float opt) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0;
    VstIntPtr result = 0;
    try {
        result = effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        result = 0;
    }
    if (opcode == effClose) {
        // The host gives the record up with this call; the effect and the record go together.
        delete effect;
        return 1;
    }
    return result;
}

// An output array the host did not pass, or a negative frame count, leaves nothing to do.
bool canProcess(float** outputs, VstInt32 sampleFrames) {
    return outputs && sampleFrames >= 0;
}

void VST_CDECL processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    AudioEffect* effect = effectOf(e);
    if (!effect || !canProcess(outputs, sampleFrames)) return;
    try {
        effect->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VST_CDECL processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                     VstInt32 sampleFrames) {
    AudioEffect* effect = effectOf(e);
    if (!effect || !canProcess(outputs, sampleFrames)) return;
    try {
        effect->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VST_CDECL processDoubleReplacingEntry(AEffect* e, double** inputs, double** outputs,
                                           VstInt32 sampleFrames) {
    AudioEffect* effect = effectOf(e);
    if (!effect || !outputs || sampleFrames < 0) return;
    try {
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VST_CDECL setParameterEntry(AEffect* e, VstInt32 index, float value) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return;
    try {
        effect->setParameter(index, value);
    } catch (...) {
    }
}

float VST_CDECL getParameterEntry(AEffect* e, VstInt32 index) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0.0f;
    try {
        return effect->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

// Opcodes whose ptr is a buffer or record that the effect reads or writes. A host that
// passes null for one of them is answered 0 and nothing is touched.
bool needsPointer(VstInt32 opcode) {
    switch (opcode) {
        case effSetProgramName:
        case effGetProgramName:
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
        case effEditGetRect:
        case effGetChunk:
        case effSetChunk: return true;
        default: return false;
    }
}

char* textOf(void* ptr) {
    return static_cast<char*>(ptr);
}

void clearText(char* text) {
    if (text) text[0] = 0;
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster),
      editor(nullptr),
      sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(numPrograms),
      numParams(numParams),
      curProgram(0),
      cEffect() {
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatcherEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kDefaultUniqueId;
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
    cEffect.processDoubleReplacing = processDoubleReplacingEntry;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    if (needsPointer(opcode) && !ptr) return 0;
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram: return dispatchSetProgram(value);
        case effGetProgram: return getProgram();
        case effSetProgramName: setProgramName(textOf(ptr)); return 0;
        case effGetProgramName: getProgramName(textOf(ptr)); return 0;
        case effGetParamLabel: getParameterLabel(index, textOf(ptr)); return 0;
        case effGetParamDisplay: getParameterDisplay(index, textOf(ptr)); return 0;
        case effGetParamName: getParameterName(index, textOf(ptr)); return 0;
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
        case effMainsChanged: return dispatchMainsChanged(value);
        case effEditGetRect: return dispatchEditGetRect(ptr);
        case effEditOpen: return dispatchEditOpen(ptr);
        case effEditClose: return dispatchEditClose();
        case effEditIdle: return dispatchEditIdle();
        case effIdentify: return kIdentifyAnswer;
        case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return dispatchSetChunk(index, value, ptr);
        default: return 0;
    }
}

VstIntPtr AudioEffect::dispatchSetProgram(VstIntPtr program) {
    if (program < numPrograms) setProgram(static_cast<VstInt32>(program));
    return 0;
}

VstIntPtr AudioEffect::dispatchMainsChanged(VstIntPtr on) {
    if (on == 0) {
        suspend();
    } else {
        resume();
    }
    return 0;
}

VstIntPtr AudioEffect::dispatchEditGetRect(void* ptr) {
    return editor && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
}

VstIntPtr AudioEffect::dispatchEditOpen(void* ptr) {
    return editor && editor->open(ptr) ? 1 : 0;
}

VstIntPtr AudioEffect::dispatchEditClose() {
    if (editor) editor->close();
    return 0;
}

VstIntPtr AudioEffect::dispatchEditIdle() {
    if (editor) editor->idle();
    return 0;
}

VstIntPtr AudioEffect::dispatchSetChunk(VstInt32 index, VstIntPtr byteSize, void* data) {
    // A size that does not fit the chunk operation's byte count cannot describe a real block.
    if (byteSize < 0 || byteSize > INT32_MAX) return 0;
    return setChunk(data, static_cast<VstInt32>(byteSize), index != 0);
}

void AudioEffect::open() {}

void AudioEffect::close() {}

void AudioEffect::suspend() {}

void AudioEffect::resume() {}

void AudioEffect::setSampleRate(float newSampleRate) {
    sampleRate = newSampleRate;
}

void AudioEffect::setBlockSize(VstInt32 newBlockSize) {
    blockSize = newBlockSize;
}

void AudioEffect::processDoubleReplacing(double**, double**, VstInt32) {}

void AudioEffect::setParameter(VstInt32, float) {}

float AudioEffect::getParameter(VstInt32) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getProgram() {
    return curProgram;
}

void AudioEffect::setProgram(VstInt32 program) {
    curProgram = program;
}

void AudioEffect::setProgramName(char*) {}

void AudioEffect::getProgramName(char* name) {
    clearText(name);
}

void AudioEffect::getParameterLabel(VstInt32, char* label) {
    clearText(label);
}

void AudioEffect::getParameterDisplay(VstInt32, char* text) {
    clearText(text);
}

void AudioEffect::getParameterName(VstInt32, char* text) {
    clearText(text);
}

VstInt32 AudioEffect::getChunk(void**, bool) {
    return 0;
}

VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
    return 0;
}

void AudioEffect::setUniqueID(VstInt32 iD) {
    cEffect.uniqueID = iD;
}

void AudioEffect::setNumInputs(VstInt32 inputs) {
    cEffect.numInputs = inputs;
}

void AudioEffect::setNumOutputs(VstInt32 outputs) {
    cEffect.numOutputs = outputs;
}

void AudioEffect::canProcessReplacing(bool state) {
    setFlag(effFlagsCanReplacing, state);
}

void AudioEffect::canDoubleReplacing(bool state) {
    setFlag(effFlagsCanDoubleReplacing, state);
}

void AudioEffect::programsAreChunks(bool state) {
    setFlag(effFlagsProgramChunks, state);
}

void AudioEffect::setInitialDelay(VstInt32 delay) {
    cEffect.initialDelay = delay;
}

AEffEditor* AudioEffect::getEditor() {
    return editor;
}

AEffect* AudioEffect::getAeffect() {
    return &cEffect;
}

float AudioEffect::getSampleRate() {
    return sampleRate;
}

VstInt32 AudioEffect::getBlockSize() {
    return blockSize;
}

VstInt32 AudioEffect::getMasterVersion() {
    const auto version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version != 0 ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

void AudioEffect::process(float**, float**, VstInt32) {}

float AudioEffect::getVu() {
    return 0.0f;
}

void AudioEffect::hasVu(bool state) {
    setFlag(effFlagsHasVu, state);
}

void AudioEffect::hasClip(bool state) {
    setFlag(effFlagsHasClip, state);
}

void AudioEffect::canMono(bool state) {
    setFlag(effFlagsCanMono, state);
}

void AudioEffect::setRealtimeQualities(VstInt32 qualities) {
    cEffect.realQualities = qualities;
}

void AudioEffect::setOfflineQualities(VstInt32 qualities) {
    cEffect.offQualities = qualities;
}

bool AudioEffect::isInputConnected(VstInt32 input) {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    if (newEditor) cEffect.flags |= effFlagsHasEditor;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state) {
        cEffect.flags |= flag;
    } else {
        cEffect.flags &= ~flag;
    }
}
