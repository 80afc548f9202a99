// The binary interface between a VST 2.4 host and an effect module: integer types, the
// effect record, the records passed through the dispatcher and the host callback, flags,
// opcodes and the function-pointer types. Both sides of the interface include it: the
// effect base, and hosts such as the render tool and the tests. Natural alignment, no
// packing; the layout checks at the end hold on x86-64 and on 32-bit Windows.
#pragma once

#include <cstddef>
#include <cstdint>

// Every function pointer and export of the interface uses the C calling convention. On
// 32-bit Windows that has to be spelt out, since a compiler switch could change the default.
#if defined(_WIN32) && !defined(_WIN64)
#define VST_CDECL __cdecl
#else
#define VST_CDECL
#endif

typedef int16_t VstInt16;
typedef int32_t VstInt32;
typedef int64_t VstInt64;
typedef intptr_t VstIntPtr;

// A four-character code: the first character lands in the most significant byte.
constexpr VstInt32 vstFourCharCode(char a, char b, char c, char d) {
    return static_cast<VstInt32>((static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                 (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                 (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                 static_cast<uint32_t>(static_cast<unsigned char>(d)));
}

// First field of every effect record; a host refuses a record without it.
constexpr VstInt32 kEffectMagic = vstFourCharCode('V', 's', 't', 'P');  // 0x56737450
// Interface version an effect reports for effGetVstVersion.
constexpr VstInt32 kVstVersion = 2400;

// String limits, terminating zero included (hosts often pass larger buffers).
enum VstStringLimit {
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxEffectNameLen = 32,
    kVstMaxLabelLen = 64,
    kVstMaxShortLabelLen = 8,
};

struct AEffect;

typedef VstIntPtr(VST_CDECL* audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                  VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr(VST_CDECL* VstDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* ptr, float opt);
typedef void(VST_CDECL* VstProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                        VstInt32 sampleFrames);
typedef void(VST_CDECL* VstProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                              VstInt32 sampleFrames);
typedef void(VST_CDECL* VstSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float(VST_CDECL* VstGetParameterProc)(AEffect* effect, VstInt32 index);
// The module's entry point: takes the host callback, answers the effect record or null.
typedef AEffect*(VST_CDECL* VstPluginEntryProc)(audioMasterCallback host);

// The record a host holds for each effect instance.
struct AEffect {
    VstInt32 magic;  // kEffectMagic
    VstDispatcherProc dispatcher;
    VstProcessProc process;  // accumulating processing, kept for old hosts
    VstSetParameterProc setParameter;
    VstGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;  // VstEffectFlag bits
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay;  // frames of latency the host should compensate
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void* object;  // the effect object behind the record
    void* user;    // free for the host
    VstInt32 uniqueID;
    VstInt32 version;
    VstProcessProc processReplacing;
    VstProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum VstEffectFlag {
    effFlagsHasEditor = 1,
    effFlagsHasClip = 2,
    effFlagsHasVu = 4,
    effFlagsCanMono = 8,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
    effFlagsNoSoundInStop = 512,
    effFlagsExtIsAsync = 1024,
    effFlagsExtHasBuffer = 2048,
    effFlagsCanDoubleReplacing = 4096,
};

// Opcodes a host sends through the effect's dispatcher. Numbers the interface has retired
// without a name here are kept as effDeprecatedN so that the list has no holes.
enum VstEffectOpcode {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effDeprecated16 = 16,
    effDeprecated17 = 17,
    effDeprecated18 = 18,
    effEditIdle = 19,
    effDeprecated20 = 20,
    effDeprecated21 = 21,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effDeprecated28 = 28,
    effGetProgramNameIndexed = 29,
    effDeprecated30 = 30,
    effDeprecated31 = 31,
    effDeprecated32 = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effDeprecated36 = 36,
    effDeprecated37 = 37,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43,
    effSetBypass = 44,
    effGetEffectName = 45,
    effDeprecated46 = 46,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effDeprecated54 = 54,
    effDeprecated55 = 55,
    effGetParameterProperties = 56,
    effDeprecated57 = 57,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

// Opcodes an effect sends through the host callback.
enum VstHostOpcode {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterDeprecated5 = 5,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterDeprecated8 = 8,
    audioMasterDeprecated9 = 9,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetOutputSpeakerArrangement = 31,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterDeprecated36 = 36,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterDeprecated47 = 47,
    audioMasterGetChunkFile = 48,
    audioMasterGetInputSpeakerArrangement = 49,
};

// The host's answer to audioMasterGetCurrentProcessLevel.
enum VstProcessLevel {
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser = 1,
    kVstProcessLevelRealtime = 2,
    kVstProcessLevelPrefetch = 3,
    kVstProcessLevelOffline = 4,
};

// The effect's answer to effGetPlugCategory.
enum VstPlugCategory {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
    kPlugCategAnalysis = 3,
    kPlugCategMastering = 4,
    kPlugCategSpacializer = 5,
    kPlugCategRoomFx = 6,
    kPlugCategSurroundFx = 7,
    kPlugCategRestoration = 8,
    kPlugCategOfflineProcess = 9,
    kPlugCategShell = 10,
    kPlugCategGenerator = 11,
};

// The host's transport and timeline, answered to audioMasterGetTime. Only the fields whose
// validity bits are set in flags carry meaning.
struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;  // beats per minute
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags;  // VstTimeInfoFlag bits
};

enum VstTimeInfoFlag {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 2,
    kVstTransportCycleActive = 4,
    kVstTransportRecording = 8,
    kVstAutomationWriting = 64,
    kVstAutomationReading = 128,
    kVstNanosValid = 256,
    kVstPpqPosValid = 512,
    kVstTempoValid = 1024,
    kVstBarsValid = 2048,
    kVstCyclePosValid = 4096,
    kVstTimeSigValid = 8192,
    kVstSmpteValid = 16384,
    kVstClockValid = 32768,
};

enum VstEventType {
    kVstMidiType = 1,
    kVstSysExType = 6,
};

// One event of a VstEvents list; type says which record it really is.
struct VstEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;  // frames from the start of the next processed block
    VstInt32 flags;
    char data[16];
};

// A MIDI message. The bytes are stored as char: read them as unsigned.
struct VstMidiEvent {
    VstInt32 type;  // kVstMidiType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4];  // byte 0 is the status byte
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

// The events for the next block. The host allocates the array as long as numEvents needs.
struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

struct VstPinProperties {
    char label[64];
    VstInt32 flags;  // VstPinFlag bits
    VstInt32 arrangementType;
    char shortLabel[8];
    char future[48];
};

enum VstPinFlag {
    kVstPinIsActive = 1,
    kVstPinIsStereo = 2,
    kVstPinUseSpeaker = 4,
};

// Editor rectangle in pixels.
struct ERect {
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};

// A speaker arrangement. The array is declared with 8 entries; a record for c channels is
// really 8 + 112 * c bytes long, so index it only through numChannels.
struct VstSpeakerArrangement {
    VstInt32 type;
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

struct VstParameterProperties {
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[64];
    VstInt32 flags;
    VstInt32 minInteger;
    VstInt32 maxInteger;
    VstInt32 stepInteger;
    VstInt32 largeStepInteger;
    char shortLabel[8];
    VstInt16 displayIndex;
    VstInt16 category;
    VstInt16 numParametersInCategory;
    VstInt16 reserved;
    char categoryLabel[24];
    char future[16];
};

// Records an effect only passes between host and derived effect; nothing here reads them.
struct VstFileSelect;
struct VstPatchChunkInfo;
struct VstAudioFile;
struct VstOfflineTask;
struct VstVariableIo;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstWindow;

// Layout checks: a host built with another compiler reads these records byte by byte.
namespace vstAbiLayout {
constexpr bool wide = sizeof(void*) == 8;
static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "only 32- and 64-bit targets");
static_assert(sizeof(VstInt16) == 2 && sizeof(VstInt32) == 4 && sizeof(VstInt64) == 8, "");
static_assert(sizeof(VstIntPtr) == sizeof(void*), "");

static_assert(sizeof(AEffect) == (wide ? 192 : 144), "AEffect size");
static_assert(offsetof(AEffect, magic) == 0, "");
static_assert(offsetof(AEffect, dispatcher) == (wide ? 8 : 4), "");
static_assert(offsetof(AEffect, process) == (wide ? 16 : 8), "");
static_assert(offsetof(AEffect, setParameter) == (wide ? 24 : 12), "");
static_assert(offsetof(AEffect, getParameter) == (wide ? 32 : 16), "");
static_assert(offsetof(AEffect, numPrograms) == (wide ? 40 : 20), "");
static_assert(offsetof(AEffect, numParams) == (wide ? 44 : 24), "");
static_assert(offsetof(AEffect, numInputs) == (wide ? 48 : 28), "");
static_assert(offsetof(AEffect, numOutputs) == (wide ? 52 : 32), "");
static_assert(offsetof(AEffect, flags) == (wide ? 56 : 36), "");
static_assert(offsetof(AEffect, resvd1) == (wide ? 64 : 40), "");
static_assert(offsetof(AEffect, resvd2) == (wide ? 72 : 44), "");
static_assert(offsetof(AEffect, initialDelay) == (wide ? 80 : 48), "");
static_assert(offsetof(AEffect, realQualities) == (wide ? 84 : 52), "");
static_assert(offsetof(AEffect, offQualities) == (wide ? 88 : 56), "");
static_assert(offsetof(AEffect, ioRatio) == (wide ? 92 : 60), "");
static_assert(offsetof(AEffect, object) == (wide ? 96 : 64), "");
static_assert(offsetof(AEffect, user) == (wide ? 104 : 68), "");
static_assert(offsetof(AEffect, uniqueID) == (wide ? 112 : 72), "");
static_assert(offsetof(AEffect, version) == (wide ? 116 : 76), "");
static_assert(offsetof(AEffect, processReplacing) == (wide ? 120 : 80), "");
static_assert(offsetof(AEffect, processDoubleReplacing) == (wide ? 128 : 84), "");
static_assert(offsetof(AEffect, future) == (wide ? 136 : 88), "");

static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo size");
static_assert(offsetof(VstTimeInfo, tempo) == 32, "");
static_assert(offsetof(VstTimeInfo, cycleEndPos) == 56, "");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "");
static_assert(offsetof(VstTimeInfo, flags) == 84, "");

static_assert(offsetof(VstEvents, reserved) == (wide ? 8 : 4), "");
static_assert(offsetof(VstEvents, events) == (wide ? 16 : 8), "VstEvents array offset");
static_assert(sizeof(VstEvent) == 32, "VstEvent size");
static_assert(offsetof(VstEvent, data) == 16, "");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent size");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "");
static_assert(offsetof(VstMidiEvent, reserved2) == 31, "");

static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties size");
static_assert(offsetof(VstPinProperties, flags) == 64, "");
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "");
static_assert(offsetof(VstPinProperties, future) == 80, "");

static_assert(sizeof(ERect) == 8, "ERect size");
static_assert(offsetof(ERect, right) == 6, "");
static_assert(sizeof(VstKeyCode) == 8, "VstKeyCode size");
static_assert(offsetof(VstKeyCode, virt) == 4 && offsetof(VstKeyCode, modifier) == 5, "");

static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties size");
static_assert(offsetof(VstSpeakerProperties, name) == 16, "");
static_assert(offsetof(VstSpeakerProperties, type) == 80, "");
static_assert(offsetof(VstSpeakerProperties, future) == 84, "");
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8, "");
static_assert(sizeof(VstSpeakerArrangement) == 8 + 8 * 112, "");

static_assert(sizeof(VstParameterProperties) == 152, "VstParameterProperties size");
static_assert(offsetof(VstParameterProperties, label) == 12, "");
static_assert(offsetof(VstParameterProperties, flags) == 76, "");
static_assert(offsetof(VstParameterProperties, shortLabel) == 96, "");
static_assert(offsetof(VstParameterProperties, displayIndex) == 104, "");
static_assert(offsetof(VstParameterProperties, categoryLabel) == 112, "");
static_assert(offsetof(VstParameterProperties, future) == 136, "");
}  // namespace vstAbiLayout
