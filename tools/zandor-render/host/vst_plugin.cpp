#include "host/vst_plugin.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "render_error.h"

namespace {

// The host whose effect is being created on this thread: the entry point may call back
// before the effect record exists, so its `user` field cannot name the host yet.
thread_local vst_plugin* host_being_created = nullptr;

constexpr double timeline_tempo_bpm = 120.0;
// Larger delays than this (about a minute at 192 kHz) are taken for a broken record.
constexpr int max_latency_frames = 1 << 24;
// Chunks beyond this size are taken for a broken answer rather than a plug-in's state.
constexpr VstIntPtr max_chunk_bytes = 64 << 20;
constexpr int max_channels = 64;

void copy_text(void* destination, const char* text, size_t limit) {
    if (destination == nullptr) return;
    std::strncpy(static_cast<char*>(destination), text, limit - 1);
    static_cast<char*>(destination)[limit - 1] = '\0';
}

}  // namespace

// Answers what an offline renderer can answer; everything else gets 0, the interface's
// "not supported". Each effect reaches its own host through the record's `user` field, so
// effects rendering side by side on several threads each see their own timeline.
VstIntPtr VST_CDECL vst_plugin::host_callback(AEffect* effect, VstInt32 opcode, VstInt32 /*index*/,
                                              VstIntPtr /*value*/, void* ptr, float /*opt*/) {
    vst_plugin* host = effect != nullptr && effect->user != nullptr
                           ? static_cast<vst_plugin*>(effect->user)
                           : host_being_created;
    if (host == nullptr) return opcode == audioMasterVersion ? kVstVersion : 0;
    host_timeline& timeline = host->timeline_;
    switch (opcode) {
        case audioMasterVersion: return kVstVersion;
        case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&timeline.info);
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(timeline.info.sampleRate);
        case audioMasterGetBlockSize: return timeline.block_frames;
        case audioMasterGetCurrentProcessLevel: return kVstProcessLevelOffline;
        case audioMasterWillReplaceOrAccumulate: return 1;
        case audioMasterGetVendorString: copy_text(ptr, "Zandor", kVstMaxVendorStrLen); return 1;
        case audioMasterGetProductString:
            copy_text(ptr, "zandor-render", kVstMaxProductStrLen);
            return 1;
        case audioMasterGetVendorVersion: return 1;
        case audioMasterCanDo:
            return ptr != nullptr &&
                           std::strcmp(static_cast<const char*>(ptr), "sendVstTimeInfo") == 0
                       ? 1
                       : 0;
        default: return 0;
    }
}

namespace {

std::string canonical_path(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

[[noreturn]] void refuse(const std::string& message) {
    throw render_error(exit_status::plugin, message);
}

// Opens the module file; answers its handle and its full path.
void* open_module(const std::string& module_path, std::string& full_path) {
    struct stat st {};
    if (stat(module_path.c_str(), &st) != 0)
        refuse("cannot load plug-in " + module_path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) refuse("cannot load plug-in " + module_path + ": not a file");

    // A bare file name would make dlopen search the library path instead of opening the
    // file the user named.
    full_path = canonical_path(module_path);
    void* module = dlopen(full_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        // dlerror starts with the path it was given; the message names the path once.
        const char* error = dlerror();
        std::string why = error != nullptr ? error : "";
        if (why.rfind(full_path + ": ", 0) == 0) why.erase(0, full_path.size() + 2);
        refuse("cannot load plug-in " + module_path + ": " +
               (why.empty() ? "unknown reason" : why));
    }
    return module;
}

// The module's entry point, or null when it has none.
void* find_entry(void* module, const std::string& full_path) {
    void* entry = dlsym(module, "VSTPluginMain");
    if (entry != nullptr) return entry;
    // Older modules export only "main". Only the module's own "main" will do: a symbol of that
    // name found in one of its dependencies is not an entry point.
    void* old_entry = dlsym(module, "main");
    Dl_info where{};
    if (old_entry != nullptr && dladdr(old_entry, &where) != 0 && where.dli_fname != nullptr &&
        canonical_path(where.dli_fname) == full_path)
        return old_entry;
    return nullptr;
}

// What makes the effect record the entry point answered unusable; empty when it is usable.
// `callable` tells whether its dispatcher may still be called to close it.
std::string effect_problem(const AEffect* effect, const std::string& module_path, bool& callable) {
    callable = effect != nullptr;
    if (effect == nullptr)
        return module_path + " did not create an effect (its entry point answered null)";
    if (effect->magic != kEffectMagic || effect->dispatcher == nullptr) {
        callable = false;  // nothing in it may be called
        return module_path + " is not a VST 2 plug-in: its effect record is not valid";
    }
    if ((effect->flags & effFlagsCanReplacing) == 0 || effect->processReplacing == nullptr)
        return module_path + " cannot process audio with processReplacing";
    if (effect->numInputs < 1 || effect->numOutputs < 1 || effect->numInputs > max_channels ||
        effect->numOutputs > max_channels) {
        return module_path + " has " + std::to_string(effect->numInputs) + " inputs and " +
               std::to_string(effect->numOutputs) + " outputs; an audio effect is needed";
    }
    if (effect->numParams < 0 || effect->setParameter == nullptr || effect->getParameter == nullptr)
        return module_path + " is not a VST 2 plug-in: its parameter entries are missing";
    return {};
}

}  // namespace

vst_plugin::vst_plugin(const std::string& module_path, double rate_hz, int max_block_frames)
    : path_(module_path), max_block_frames_(max_block_frames) {
    std::string full_path;
    module_ = open_module(module_path, full_path);
    void* entry = find_entry(module_, full_path);
    if (entry == nullptr) {
        dlclose(module_);
        refuse(module_path + " is not a VST 2 plug-in: it exports no VSTPluginMain or main");
    }
    create_effect(entry, rate_hz);
    bool callable = false;
    const std::string problem = effect_problem(effect_, module_path, callable);
    if (!problem.empty()) {
        if (callable) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
        dlclose(module_);
        module_ = nullptr;
        refuse(problem);
    }
    open_effect(rate_hz);
}

void vst_plugin::create_effect(void* entry, double rate_hz) {
    host_timeline& timeline = timeline_;
    timeline.info.sampleRate = rate_hz;
    timeline.info.tempo = timeline_tempo_bpm;
    timeline.info.timeSigNumerator = 4;
    timeline.info.timeSigDenominator = 4;
    timeline.info.flags =
        kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    timeline.block_frames = max_block_frames_;

    const auto plugin_main = reinterpret_cast<VstPluginEntryProc>(entry);
    host_being_created = this;
    effect_ = plugin_main(host_callback);
    host_being_created = nullptr;
}

void vst_plugin::open_effect(double rate_hz) {
    effect_->user = this;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate_hz));
    dispatch(effSetBlockSize, 0, max_block_frames_);
    dispatch(effSetProcessPrecision, 0, 0);  // 32-bit float processing

    inputs_.assign(static_cast<size_t>(effect_->numInputs),
                   std::vector<float>(static_cast<size_t>(max_block_frames_), 0.0f));
    outputs_.assign(static_cast<size_t>(effect_->numOutputs),
                    std::vector<float>(static_cast<size_t>(max_block_frames_), 0.0f));
    for (auto& channel : inputs_) input_pointers_.push_back(channel.data());
    for (auto& channel : outputs_) output_pointers_.push_back(channel.data());
}

vst_plugin::~vst_plugin() {
    if (effect_ != nullptr) {
        stop();
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);  // frees the effect
        effect_ = nullptr;
    }
    if (module_ != nullptr) dlclose(module_);
}

VstIntPtr vst_plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string vst_plugin::text_of(VstInt32 opcode, VstInt32 index) {
    // Effects are asked for short strings but often write more than the interface's limits
    // (names of 32 bytes without a terminating zero, for instance); a large zeroed buffer
    // takes whatever they write and still ends in a zero.
    char text[512] = {};
    dispatch(opcode, index, 0, text);
    return std::string(text, strnlen(text, sizeof text - 1));
}

int32_t vst_plugin::vendor_version() {
    return static_cast<int32_t>(dispatch(effGetVendorVersion));
}
std::string vst_plugin::effect_name() {
    return text_of(effGetEffectName, 0);
}
std::string vst_plugin::vendor_name() {
    return text_of(effGetVendorString, 0);
}
std::string vst_plugin::program_name() {
    return text_of(effGetProgramName, 0);
}

int vst_plugin::latency_frames() const {
    const VstInt32 delay = effect_->initialDelay;
    if (delay < 0 || delay > max_latency_frames)
        refuse(path_ + " reports an impossible delay of " + std::to_string(delay) + " frames");
    return delay;
}

std::vector<uint8_t> vst_plugin::get_chunk(bool program) {
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, program ? 1 : 0, 0, &data);
    if (size < 0 || size > max_chunk_bytes || (size > 0 && data == nullptr))
        refuse(path_ + " answered its state with an invalid chunk");
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

void vst_plugin::set_chunk(const std::vector<uint8_t>& chunk, bool program) {
    // The effect may keep neither the pointer nor the bytes, but some write into the buffer
    // they are given; a copy keeps the caller's bytes intact.
    std::vector<uint8_t> copy = chunk;
    dispatch(effSetChunk, program ? 1 : 0, static_cast<VstIntPtr>(copy.size()),
             copy.empty() ? nullptr : copy.data());
}

void vst_plugin::start() {
    if (running_) return;
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    running_ = true;
}

void vst_plugin::stop() {
    if (!running_) return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    running_ = false;
}

void vst_plugin::process(int frames) {
    frames = std::min(frames, max_block_frames_);
    if (frames <= 0) return;
    // An effect that leaves an output untouched produces silence, not the previous block.
    for (auto& channel : outputs_) std::fill(channel.begin(), channel.begin() + frames, 0.0f);
    timeline_.info.ppqPos =
        timeline_.info.samplePos / timeline_.info.sampleRate * timeline_tempo_bpm / 60.0;
    effect_->processReplacing(effect_, input_pointers_.data(), output_pointers_.data(), frames);
    timeline_.info.samplePos += frames;
}

std::string vst_plugin::parameter_name(int index) {
    return text_of(effGetParamName, index);
}
std::string vst_plugin::parameter_display(int index) {
    return text_of(effGetParamDisplay, index);
}

float vst_plugin::parameter_position(int index) {
    return effect_->getParameter(effect_, index);
}

void vst_plugin::set_parameter_position(int index, float position) {
    effect_->setParameter(effect_, index, position);
}

// Settings are the effect's chunk when it keeps its state in chunks (exact), else every
// parameter's position; the first byte says which.
std::vector<uint8_t> vst_plugin::save_settings() {
    std::vector<uint8_t> settings;
    if (uses_chunks()) {
        settings.push_back('C');
        const std::vector<uint8_t> chunk = get_chunk();
        settings.insert(settings.end(), chunk.begin(), chunk.end());
        return settings;
    }
    settings.push_back('P');
    for (int i = 0; i < parameter_count(); ++i) {
        const float position = parameter_position(i);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&position);
        settings.insert(settings.end(), bytes, bytes + sizeof position);
    }
    return settings;
}

void vst_plugin::restore_settings(const std::vector<uint8_t>& settings) {
    if (settings.empty()) return;
    if (settings[0] == 'C') {
        set_chunk(std::vector<uint8_t>(settings.begin() + 1, settings.end()));
        return;
    }
    const size_t count = (settings.size() - 1) / sizeof(float);
    for (size_t i = 0; i < count && i < static_cast<size_t>(parameter_count()); ++i) {
        float position;
        std::memcpy(&position, settings.data() + 1 + i * sizeof position, sizeof position);
        set_parameter_position(static_cast<int>(i), position);
    }
}
