// The VST 2.4 adapter: one effect object wrapping one AXOI plug-in instance. It translates
// the host's opcodes, parameters, MIDI events, audio calls and state chunks into operations
// of axo_plugin_i, and reaches the plug-in only through that interface and its factory.
//
// Threads, as VST hosts call: processReplacing, process and processEvents on the audio
// thread; setParameter and getParameter on any thread; everything else on the host's main
// or user-interface thread, never at the same time as processing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "glue/auxbuf_t.h"
#include "vst/base/AudioEffectX.h"

class axo_factory_i;
class axo_plugin_i;
class myhost;

// Most audio channels per direction the adapter hands to a plug-in.
constexpr int VSTDSP_MAX_CHANNELS = 16;

class vstdsp : public AudioEffectX {
public:
    // Negotiates the channels, describes the effect in its record and lists the exposed
    // parameters. Once constructed, the adapter owns factory, plugin and host, also when
    // construction_failed() answers true; if the constructor throws, they stay the
    // caller's.
    vstdsp(audioMasterCallback audioMaster, axo_factory_i* factory, axo_plugin_i* plugin,
           VstInt32 num_params, myhost* host);
    ~vstdsp() override;
    vstdsp(const vstdsp&) = delete;
    vstdsp& operator=(const vstdsp&) = delete;

    // True when the construction just made could not produce a working effect; the
    // adapter must then be destroyed without being handed to a host.
    bool construction_failed() const { return construction_failed_; }

    // Processing (audio thread) and its configuration.
    void resume() override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    // Parameters, as normalised values with names, unit labels and display texts.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    void setProgram(VstInt32 program) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    // Saved settings: the plug-in's state records, each framed by its 32-bit length.
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    // Accumulating processing: adds the plug-in's output to what the outputs held.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    // Queues the host's MIDI events for the next processed block; 1.
    VstInt32 processEvents(VstEvents* events) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;

    // Asks an installed editor to redraw at the host's next editor idle call.
    virtual void refresh_editor();

private:
    void negotiate_and_describe();
    void install_editor();
    // Sample position from the host's transport, when the host offers a usable one.
    void take_host_position();
    // Replaces the scratch array by one of at least samples floats; false if it cannot.
    bool replace_scratch(size_t samples);
    // The plug-in parameter behind VST index, or -1 for an invalid index.
    int plugin_param(VstInt32 index) const;
    // Number of options of a selection parameter.
    int option_count(int param) const;
    double map_to_value(int param, double x) const;
    double value_to_normalised(int param, double value) const;

    axo_factory_i* factory_;  // owned
    axo_plugin_i* plugin_;    // owned
    myhost* host_;            // owned
    std::unique_ptr<float[]> scratch_;
    size_t scratch_samples_ = 0;
    std::unique_ptr<unsigned char[]> chunk_;
    auxbuf_t aux_a_;  // host side of the event pipe: MIDI records are written here
    auxbuf_t aux_b_;  // plug-in side: the plug-in reads them from here during process
    int64_t sample_position_ = 0;
    std::vector<int32_t> exposed_;  // entry k: plug-in index behind VST parameter k
    bool construction_failed_ = false;
};
