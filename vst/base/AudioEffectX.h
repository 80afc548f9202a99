// The extended effect: answers the opcodes of the interface's second version (25 to 79)
// with neutral defaults a derived effect overrides, wraps the extended host calls, and
// offers flag setters and speaker-arrangement tools. It adds no data. The order of the
// virtual operations is fixed: derived effects rely on it.
#pragma once

#include "vst/base/AudioEffect.h"

// Capability names a host is asked about through canHostDo.
constexpr int kHostCapabilityCount = 14;
extern const char* const kHostCapabilities[kHostCapabilityCount];
// Capability names an effect's canDo answers to.
constexpr int kPlugCapabilityCount = 8;
extern const char* const kPlugCapabilities[kPlugCapabilityCount];

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    ~AudioEffectX() override;

    // Answers opcodes 25 to 79; every other opcode goes to AudioEffect::dispatcher.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    virtual bool canParameterBeAutomated(VstInt32 index);
    // Sets a parameter from text the user typed; true when the text was understood.
    virtual bool string2parameter(VstInt32 index, char* text);
    virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p);
    // Tell the host that the user grabbed (beginEdit) or let go of (endEdit) a control.
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    // Writes the name of program index; false when there is no such program.
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text);
    // The host brackets a program or bank change with these.
    virtual bool beginSetProgram();
    virtual bool endSetProgram();
    virtual VstInt32 beginLoadBank(VstPatchChunkInfo* ptr);
    virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* ptr);

    // Host calls. Each answers its fallback, and calls nothing, without a host callback.
    // Tells the host that channel counts or the initial delay changed.
    virtual bool ioChanged();
    // Asks the host for its rate and block size and keeps positive answers.
    virtual double updateSampleRate();
    virtual VstInt32 updateBlockSize();
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();

    // Fills the pin record of one input or output; false when there is no such pin.
    virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties);
    virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties);
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                       VstSpeakerArrangement* pluginOutput);
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                       VstSpeakerArrangement** pluginOutput);
    // True when the effect bypasses itself; false asks the host to do it.
    virtual bool setBypass(bool onOff);
    virtual bool setPanLaw(VstInt32 type, float val);
    virtual bool setProcessPrecision(VstInt32 precision);
    virtual VstInt32 getNumMidiInputChannels();
    virtual VstInt32 getNumMidiOutputChannels();

    // The host's transport for the current block, or null.
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
    // VstProcessLevel of the calling thread as the host sees it.
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    // Events for the next processed block; called on the audio thread.
    virtual VstInt32 processEvents(VstEvents* events);
    virtual VstInt32 startProcess();
    virtual VstInt32 stopProcess();
    virtual bool processVariableIo(VstVariableIo* varIo);
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value);

    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                         float floatArg);
    // 1 when the host claims the capability text (see kHostCapabilities), else 0.
    virtual VstInt32 canHostDo(char* text);
    virtual VstInt32 getHostLanguage();

    virtual void isSynth(bool state = true);
    // The effect is silent once its input stops.
    virtual void noTail(bool state = true);
    virtual VstInt32 getGetTailSize();
    virtual void* getDirectory();

    // Descriptive texts for the host; true when written.
    virtual bool getEffectName(char* name);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual VstInt32 getVendorVersion();
    virtual VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg);
    // 1 for a claimed capability text (see kPlugCapabilities), -1 denied, 0 unknown.
    virtual VstInt32 canDo(char* text);
    virtual VstInt32 getVstVersion();
    virtual VstInt32 getPlugCategory();

    virtual VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* midiProgramName);
    virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* currentProgram);
    virtual VstInt32 getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category);
    virtual bool hasMidiProgramsChanged(VstInt32 channel);
    virtual bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName);

    // Asks the host to refresh what it shows of this effect (names, parameter texts).
    virtual bool updateDisplay();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual bool openFileSelector(VstFileSelect* ptr);
    virtual bool closeFileSelector(VstFileSelect* ptr);
    virtual VstInt32 getNextShellPlugin(char* name);

    // Speaker-arrangement records of 8 + 112 * channels bytes, allocated and freed here.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels);
    virtual bool deleteArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    // Makes *to a copy of from, allocated anew.
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

    // Offline processing through the host.
    virtual bool offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, VstInt32 option);
    virtual bool offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles);
    virtual VstInt32 offlineGetCurrentPass();
    virtual VstInt32 offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* ptr, VstInt32 numAudioFiles, bool start);
    virtual bool offlinePrepare(VstOfflineTask* offline, VstInt32 count);
    virtual bool offlineRun(VstOfflineTask* offline, VstInt32 count);
    virtual VstInt32 offlineGetNumPasses();
    virtual VstInt32 offlineGetNumMetaPasses();

    // Operations kept for old hosts. No opcode reaches those that answer an opcode the
    // interface retired.
    // Asks the host for MIDI events (filter 1: all of them).
    virtual void wantEvents(VstInt32 filter = 1);
    virtual VstInt32 tempoAt(VstInt32 pos);
    virtual VstInt32 getNumAutomatableParameters();
    virtual VstInt32 getParameterQuantization();
    virtual VstInt32 getNumCategories();
    virtual bool copyProgram(VstInt32 destination);
    virtual bool needIdle();
    virtual AEffect* getPreviousPlug(VstInt32 input);
    virtual AEffect* getNextPlug(VstInt32 output);
    virtual void inputConnected(VstInt32 index, bool state);
    virtual void outputConnected(VstInt32 index, bool state);
    virtual VstInt32 willProcessReplacing();
    virtual void wantAsyncOperation(bool state = true);
    virtual void hasExternalBuffer(bool state = true);
    virtual VstInt32 reportCurrentPosition();
    virtual float* reportDestinationBuffer();
    virtual void setOutputSamplerate(float samplerate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual VstInt32 openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate);
    virtual bool getErrorText(char* text);
    virtual void* getIcon();
    virtual bool setViewPosition(VstInt32 x, VstInt32 y);
    virtual VstInt32 fxIdle();
    virtual bool keysRequired();
    virtual bool getChunkFile(void* nativePath);

private:
    VstIntPtr dispatchEditKey(bool down, VstInt32 index, VstIntPtr value, float opt);
    VstIntPtr dispatchSetEditKnobMode(VstIntPtr value);
};
