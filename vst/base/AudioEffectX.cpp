#include "vst/base/AudioEffectX.h"

#include "vst/base/AEffEditor.h"

const char* const kHostCapabilities[kHostCapabilityCount] = {
    "sendVstEvents",
    "sendVstMidiEvent",
    "sendVstTimeInfo",
    "receiveVstEvents",
    "receiveVstMidiEvent",
    "reportConnectionChanges",
    "acceptIOChanges",
    "sizeWindow",
    "offline",
    "openFileSelector",
    "closeFileSelector",
    "startStopProcess",
    "shellCategory",
    "sendVstMidiEventFlagIsRealtime",
};

const char* const kPlugCapabilities[kPlugCapabilityCount] = {
    "sendVstEvents",      "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
    "receiveVstTimeInfo", "offline",          "midiProgramNames", "bypass",
};

namespace {

// Opcodes whose ptr is a buffer or record that the effect reads or writes. A host that
// passes null for one of them is answered 0 and nothing is touched.
bool needsPointer(VstInt32 opcode) {
    switch (opcode) {
        case effProcessEvents:
        case effString2Parameter:
        case effGetProgramNameIndexed:
        case effGetInputProperties:
        case effGetOutputProperties:
        case effOfflineNotify:
        case effOfflinePrepare:
        case effOfflineRun:
        case effProcessVarIo:
        case effSetSpeakerArrangement:
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString:
        case effCanDo:
        case effGetParameterProperties:
        case effGetMidiProgramName:
        case effGetCurrentMidiProgram:
        case effGetMidiProgramCategory:
        case effGetMidiKeyName:
        case effGetSpeakerArrangement:
        case effShellGetNextPlugin:
        case effBeginLoadBank:
        case effBeginLoadProgram: return true;
        default: return false;
    }
}

// The two speaker-arrangement opcodes carry a second record in value.
bool needsPointerInValue(VstInt32 opcode) {
    return opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement;
}

VstIntPtr oneOrZero(bool answer) {
    return answer ? 1 : 0;
}

char* textOf(void* ptr) {
    return static_cast<char*>(ptr);
}

template <typename Record>
Record* recordOf(void* ptr) {
    return static_cast<Record*>(ptr);
}

template <typename Record>
Record* recordOf(VstIntPtr value) {
    return reinterpret_cast<Record*>(value);
}

// Low byte of a host float, truncated toward zero; values no integer holds give 0.
unsigned char lowByteOf(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<unsigned char>(static_cast<VstInt32>(value));
}

}  // namespace

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms,
                           VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams) {}

AudioEffectX::~AudioEffectX() = default;

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    if (needsPointer(opcode) && !ptr) return 0;
    if (needsPointerInValue(opcode) && value == 0) return 0;
    switch (opcode) {
        case effProcessEvents: return processEvents(recordOf<VstEvents>(ptr));
        case effCanBeAutomated: return oneOrZero(canParameterBeAutomated(index));
        case effString2Parameter: return oneOrZero(string2parameter(index, textOf(ptr)));
        case effGetProgramNameIndexed:
            return oneOrZero(
                getProgramNameIndexed(static_cast<VstInt32>(value), index, textOf(ptr)));
        case effGetInputProperties:
            return oneOrZero(getInputProperties(index, recordOf<VstPinProperties>(ptr)));
        case effGetOutputProperties:
            return oneOrZero(getOutputProperties(index, recordOf<VstPinProperties>(ptr)));
        case effGetPlugCategory: return getPlugCategory();
        case effOfflineNotify:
            return oneOrZero(offlineNotify(recordOf<VstAudioFile>(ptr),
                                           static_cast<VstInt32>(value), index != 0));
        case effOfflinePrepare:
            return oneOrZero(
                offlinePrepare(recordOf<VstOfflineTask>(ptr), static_cast<VstInt32>(value)));
        case effOfflineRun:
            return oneOrZero(
                offlineRun(recordOf<VstOfflineTask>(ptr), static_cast<VstInt32>(value)));
        case effProcessVarIo: return oneOrZero(processVariableIo(recordOf<VstVariableIo>(ptr)));
        case effSetSpeakerArrangement:
            return oneOrZero(setSpeakerArrangement(recordOf<VstSpeakerArrangement>(value),
                                                   recordOf<VstSpeakerArrangement>(ptr)));
        case effSetBypass: return oneOrZero(setBypass(value != 0));
        case effGetEffectName: return oneOrZero(getEffectName(textOf(ptr)));
        case effGetVendorString: return oneOrZero(getVendorString(textOf(ptr)));
        case effGetProductString: return oneOrZero(getProductString(textOf(ptr)));
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return canDo(textOf(ptr));
        case effGetTailSize: return getGetTailSize();
        case effGetParameterProperties:
            return oneOrZero(getParameterProperties(index, recordOf<VstParameterProperties>(ptr)));
        case effGetVstVersion: return getVstVersion();
        case effEditKeyDown: return dispatchEditKey(true, index, value, opt);
        case effEditKeyUp: return dispatchEditKey(false, index, value, opt);
        case effSetEditKnobMode: return dispatchSetEditKnobMode(value);
        case effGetMidiProgramName:
            return getMidiProgramName(index, recordOf<MidiProgramName>(ptr));
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram(index, recordOf<MidiProgramName>(ptr));
        case effGetMidiProgramCategory:
            return getMidiProgramCategory(index, recordOf<MidiProgramCategory>(ptr));
        case effHasMidiProgramsChanged: return oneOrZero(hasMidiProgramsChanged(index));
        case effGetMidiKeyName: return oneOrZero(getMidiKeyName(index, recordOf<MidiKeyName>(ptr)));
        case effBeginSetProgram: return oneOrZero(beginSetProgram());
        case effEndSetProgram: return oneOrZero(endSetProgram());
        case effGetSpeakerArrangement:
            return oneOrZero(getSpeakerArrangement(recordOf<VstSpeakerArrangement*>(value),
                                                   recordOf<VstSpeakerArrangement*>(ptr)));
        case effShellGetNextPlugin: return getNextShellPlugin(textOf(ptr));
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effSetTotalSampleToProcess:
            return setTotalSampleToProcess(static_cast<VstInt32>(value));
        case effSetPanLaw: return oneOrZero(setPanLaw(static_cast<VstInt32>(value), opt));
        case effBeginLoadBank: return beginLoadBank(recordOf<VstPatchChunkInfo>(ptr));
        case effBeginLoadProgram: return beginLoadProgram(recordOf<VstPatchChunkInfo>(ptr));
        case effSetProcessPrecision:
            return oneOrZero(setProcessPrecision(static_cast<VstInt32>(value)));
        case effGetNumMidiInputChannels: return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

VstIntPtr AudioEffectX::dispatchEditKey(bool down, VstInt32 index, VstIntPtr value, float opt) {
    if (!editor) return 0;
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<unsigned char>(value & 0xFF);
    key.modifier = lowByteOf(opt);
    return oneOrZero(down ? editor->onKeyDown(key) : editor->onKeyUp(key));
}

VstIntPtr AudioEffectX::dispatchSetEditKnobMode(VstIntPtr value) {
    return editor ? oneOrZero(editor->setKnobMode(static_cast<VstInt32>(value))) : 0;
}

// Neutral answers a derived effect overrides.

bool AudioEffectX::canParameterBeAutomated(VstInt32) {
    return true;
}

bool AudioEffectX::string2parameter(VstInt32, char*) {
    return false;
}

bool AudioEffectX::getParameterProperties(VstInt32, VstParameterProperties*) {
    return false;
}

bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32, char*) {
    return false;
}

bool AudioEffectX::beginSetProgram() {
    return false;
}

bool AudioEffectX::endSetProgram() {
    return false;
}

VstInt32 AudioEffectX::beginLoadBank(VstPatchChunkInfo*) {
    return 0;
}

VstInt32 AudioEffectX::beginLoadProgram(VstPatchChunkInfo*) {
    return 0;
}

bool AudioEffectX::getInputProperties(VstInt32, VstPinProperties*) {
    return false;
}

bool AudioEffectX::getOutputProperties(VstInt32, VstPinProperties*) {
    return false;
}

bool AudioEffectX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
    return false;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                         VstSpeakerArrangement** pluginOutput) {
    if (pluginInput) *pluginInput = nullptr;
    if (pluginOutput) *pluginOutput = nullptr;
    return false;
}

bool AudioEffectX::setBypass(bool) {
    return false;
}

bool AudioEffectX::setPanLaw(VstInt32, float) {
    return false;
}

bool AudioEffectX::setProcessPrecision(VstInt32) {
    return false;
}

VstInt32 AudioEffectX::getNumMidiInputChannels() {
    return 0;
}

VstInt32 AudioEffectX::getNumMidiOutputChannels() {
    return 0;
}

VstInt32 AudioEffectX::processEvents(VstEvents*) {
    return 0;
}

VstInt32 AudioEffectX::startProcess() {
    return 0;
}

VstInt32 AudioEffectX::stopProcess() {
    return 0;
}

bool AudioEffectX::processVariableIo(VstVariableIo*) {
    return false;
}

VstInt32 AudioEffectX::setTotalSampleToProcess(VstInt32 value) {
    return value;
}

VstInt32 AudioEffectX::getGetTailSize() {
    return 0;
}

bool AudioEffectX::getEffectName(char*) {
    return false;
}

bool AudioEffectX::getVendorString(char*) {
    return false;
}

bool AudioEffectX::getProductString(char*) {
    return false;
}

VstInt32 AudioEffectX::getVendorVersion() {
    return 0;
}

VstIntPtr AudioEffectX::vendorSpecific(VstInt32, VstIntPtr, void*, float) {
    return 0;
}

VstInt32 AudioEffectX::canDo(char*) {
    return 0;
}

VstInt32 AudioEffectX::getVstVersion() {
    return kVstVersion;
}

VstInt32 AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

VstInt32 AudioEffectX::getMidiProgramName(VstInt32, MidiProgramName*) {
    return 0;
}

VstInt32 AudioEffectX::getCurrentMidiProgram(VstInt32, MidiProgramName*) {
    return -1;
}

VstInt32 AudioEffectX::getMidiProgramCategory(VstInt32, MidiProgramCategory*) {
    return 0;
}

bool AudioEffectX::hasMidiProgramsChanged(VstInt32) {
    return false;
}

bool AudioEffectX::getMidiKeyName(VstInt32, MidiKeyName*) {
    return false;
}

VstInt32 AudioEffectX::getNextShellPlugin(char*) {
    return 0;
}

bool AudioEffectX::offlineNotify(VstAudioFile*, VstInt32, bool) {
    return false;
}

bool AudioEffectX::offlinePrepare(VstOfflineTask*, VstInt32) {
    return false;
}

bool AudioEffectX::offlineRun(VstOfflineTask*, VstInt32) {
    return false;
}

VstInt32 AudioEffectX::offlineGetNumPasses() {
    return 0;
}

VstInt32 AudioEffectX::offlineGetNumMetaPasses() {
    return 0;
}

VstInt32 AudioEffectX::getNumCategories() {
    return 1;
}

bool AudioEffectX::copyProgram(VstInt32) {
    return false;
}

void AudioEffectX::inputConnected(VstInt32, bool) {}

void AudioEffectX::outputConnected(VstInt32, bool) {}

VstInt32 AudioEffectX::reportCurrentPosition() {
    return 0;
}

float* AudioEffectX::reportDestinationBuffer() {
    return nullptr;
}

void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
    blockSize = newBlockSize;
    sampleRate = newSampleRate;
}

bool AudioEffectX::getErrorText(char*) {
    return false;
}

void* AudioEffectX::getIcon() {
    return nullptr;
}

bool AudioEffectX::setViewPosition(VstInt32, VstInt32) {
    return false;
}

VstInt32 AudioEffectX::fxIdle() {
    return 0;
}

bool AudioEffectX::keysRequired() {
    return false;
}

// Flag setters.

void AudioEffectX::isSynth(bool state) {
    setFlag(effFlagsIsSynth, state);
}

void AudioEffectX::noTail(bool state) {
    setFlag(effFlagsNoSoundInStop, state);
}

void AudioEffectX::wantAsyncOperation(bool state) {
    setFlag(effFlagsExtIsAsync, state);
}

void AudioEffectX::hasExternalBuffer(bool state) {
    setFlag(effFlagsExtHasBuffer, state);
}
