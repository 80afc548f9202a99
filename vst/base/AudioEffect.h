// Base of the module's VST effect object. It owns the effect record the host holds, fills
// it with the C entry points, and turns every call arriving through the record into a
// virtual operation. The order of the virtual operations is fixed: derived effects and
// tools rely on it.
#pragma once

#include "vst/base/vst_abi.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // Deletes the attached editor.
    virtual ~AudioEffect();

    // Answers one opcode of the interface's first version (0 to 24); 0 for any other.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    // The host created or is about to destroy the instance.
    virtual void open();
    virtual void close();
    // Processing stops (suspend) or starts again (resume); sent through effMainsChanged.
    virtual void suspend();
    virtual void resume();

    virtual void setSampleRate(float sampleRate);
    // Largest number of frames the host will pass to one processing call.
    virtual void setBlockSize(VstInt32 blockSize);

    // Replaces the outputs with sampleFrames processed frames; called on the audio thread.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames);

    // Normalised parameter values in 0..1; from the audio or the user-interface thread.
    virtual void setParameter(VstInt32 index, float value);
    virtual float getParameter(VstInt32 index);
    // Sets a parameter and tells the host, which records the change as automation.
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram();
    virtual void setProgram(VstInt32 program);
    virtual void setProgramName(char* name);
    // Text writers: the host's buffer holds at least the interface's string limit.
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);

    // Hands the host the state block in *data; answers its size in bytes, 0 for none.
    virtual VstInt32 getChunk(void** data, bool isPreset = false);
    // Restores a state block the host stored; answers non-zero when it was accepted.
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false);

    // Setters of the effect record.
    virtual void setUniqueID(VstInt32 iD);
    virtual void setNumInputs(VstInt32 inputs);
    virtual void setNumOutputs(VstInt32 outputs);
    virtual void canProcessReplacing(bool state = true);
    virtual void canDoubleReplacing(bool state = true);
    virtual void programsAreChunks(bool state = true);
    virtual void setInitialDelay(VstInt32 delay);

    virtual AEffEditor* getEditor();
    // The record the host holds.
    virtual AEffect* getAeffect();
    virtual float getSampleRate();
    virtual VstInt32 getBlockSize();

    // Host queries; each has an answer without a host.
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();

    // Display texts for derived effects. Each writes at most maxLen characters and a zero at
    // text[maxLen], so text must hold maxLen + 1 bytes.
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

    // Operations kept for old hosts.
    // Accumulating processing: adds the processed frames to the outputs.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual float getVu();
    virtual void hasVu(bool state = true);
    virtual void hasClip(bool state = true);
    virtual void canMono(bool state = true);
    virtual void setRealtimeQualities(VstInt32 qualities);
    virtual void setOfflineQualities(VstInt32 qualities);
    // True unless the host says that the pin is not connected.
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    // Attaches the editor, which this effect then owns; a non-null editor makes the host
    // offer an editor window.
    void setEditor(AEffEditor* editor);

protected:
    // Calls the host with this effect's record; 0 when there is no host callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // Sets or clears bits of the record's flags.
    void setFlag(VstInt32 flag, bool state);

    audioMasterCallback audioMaster;
    AEffEditor* editor;
    float sampleRate;
    VstInt32 blockSize;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram;
    AEffect cEffect;

private:
    VstIntPtr dispatchSetProgram(VstIntPtr program);
    VstIntPtr dispatchMainsChanged(VstIntPtr on);
    VstIntPtr dispatchEditGetRect(void* ptr);
    VstIntPtr dispatchEditOpen(void* ptr);
    VstIntPtr dispatchEditClose();
    VstIntPtr dispatchEditIdle();
    VstIntPtr dispatchSetChunk(VstInt32 index, VstIntPtr byteSize, void* data);
};
