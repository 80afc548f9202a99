// One VST 2.4 effect hosted the way a DAW hosts it: the module is opened with dlopen, its
// VSTPluginMain (or main) is called with this tool's host callback, and everything after that
// goes through the effect record: dispatcher opcodes, setParameter/getParameter and
// processReplacing in blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/parameter_access.h"
#include "vst/base/vst_abi.h"

class vst_plugin : public parameter_access {
public:
    // Loads the module, creates the effect, opens it and announces the sample rate and the
    // largest block. Throws render_error(plugin) with one line saying what went wrong.
    vst_plugin(const std::string& module_path, double rate_hz, int max_block_frames);
    ~vst_plugin() override;
    vst_plugin(const vst_plugin&) = delete;
    vst_plugin& operator=(const vst_plugin&) = delete;

    const std::string& module_path() const { return path_; }
    int inputs() const { return effect_->numInputs; }
    int outputs() const { return effect_->numOutputs; }
    int32_t unique_id() const { return effect_->uniqueID; }
    bool uses_chunks() const { return (effect_->flags & effFlagsProgramChunks) != 0; }
    int32_t vendor_version();
    std::string effect_name();
    std::string vendor_name();
    std::string program_name();

    // The delay the effect reports, in frames. Throws render_error(plugin) for a negative or
    // absurd value, which no delay compensation could honour.
    int latency_frames() const;

    // Opaque state through effGetChunk/effSetChunk (the flag says program rather than bank).
    std::vector<uint8_t> get_chunk(bool program = true);
    void set_chunk(const std::vector<uint8_t>& chunk, bool program = true);

    // Resumes the effect for processing (effMainsChanged 1, effStartProcess) and back.
    void start();
    void stop();

    // The host's channel buffers, each max_block_frames long.
    float* input(int channel) { return inputs_[static_cast<size_t>(channel)].data(); }
    const float* output(int channel) const { return outputs_[static_cast<size_t>(channel)].data(); }
    // One processReplacing call over the first `frames` frames of the buffers; the timeline
    // that the effect sees through audioMasterGetTime advances by as much.
    void process(int frames);

    int parameter_count() override { return effect_->numParams; }
    std::string parameter_name(int index) override;
    std::string parameter_display(int index) override;
    float parameter_position(int index) override;
    void set_parameter_position(int index, float position) override;
    std::vector<uint8_t> save_settings() override;
    void restore_settings(const std::vector<uint8_t>& settings) override;

private:
    // What the host callback answers for this effect. It stays at a fixed address (the host
    // cannot move): the effect keeps the pointer it gets from audioMasterGetTime for the rest
    // of its processing call.
    struct host_timeline {
        VstTimeInfo info{};
        VstIntPtr block_frames = 0;
    };
    static VstIntPtr VST_CDECL host_callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    std::string text_of(VstInt32 opcode, VstInt32 index);
    // Calls the module's entry point with the host's timeline ready for its first questions.
    void create_effect(void* entry, double rate_hz);
    // Opens the effect at the rate and block size, and makes its channel buffers.
    void open_effect(double rate_hz);

    std::string path_;
    host_timeline timeline_;
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    bool running_ = false;
    int max_block_frames_ = 0;
    std::vector<std::vector<float>> inputs_;
    std::vector<std::vector<float>> outputs_;
    std::vector<float*> input_pointers_;
    std::vector<float*> output_pointers_;
};
