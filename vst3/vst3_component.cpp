// The object's identity, lifetime, buses and processing.
#include "vst3/vst3_component.h"

#include <cfloat>
#include <cstring>
#include <utility>

#include "framework/axo_codes.h"
#include "framework/axo_entry.h"
#include "vst3/vst3_guard.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

bool same_uid(const char* iid, const uid& known) {
    return std::memcmp(iid, known.bytes, sizeof known.bytes) == 0;
}

SpeakerArrangement arrangement_of(int channels) {
    return channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
}

int channels_of(SpeakerArrangement arrangement) {
    if (arrangement == kSpeakerArrMono) return 1;
    return arrangement == kSpeakerArrStereo ? 2 : 0;
}

}  // namespace

vst3_component* vst3_component::create() {
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    if (!factory) return nullptr;
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    if (!plugin || plugin->set_channel_count(AXO_DIR_AUDIO_IN, 2) == 0 ||
        plugin->set_channel_count(AXO_DIR_AUDIO_OUT, 2) == 0) {
        return nullptr;
    }
    plugin->set_block_size(chunk_runner::chunk_frames);
    return new vst3_component(std::move(factory), std::move(plugin));
}

vst3_component::vst3_component(std::unique_ptr<axo_factory_i> factory,
                               std::unique_ptr<axo_plugin_i> plugin)
    : factory_(std::move(factory)),
      plugin_(std::move(plugin)),
      params_(plugin_.get()),
      audio_(plugin_.get(), &params_) {
    plugin_->set_host(&host_);
}

vst3_component::~vst3_component() {
    if (handler_ != nullptr) handler_->release();
    plugin_->set_host(nullptr);
    plugin_.reset();
}

tresult vst3_component::queryInterface(const char* iid, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (iid == nullptr) return kNoInterface;
    // FUnknown and IPluginBase always answer the component's address.
    if (same_uid(iid, FUnknown_iid) || same_uid(iid, IPluginBase_iid) ||
        same_uid(iid, IComponent_iid)) {
        *obj = static_cast<IComponent*>(this);
    } else if (same_uid(iid, IAudioProcessor_iid)) {
        *obj = static_cast<IAudioProcessor*>(this);
    } else if (same_uid(iid, IEditController_iid)) {
        *obj = static_cast<IEditController*>(this);
    } else if (same_uid(iid, IProcessContextRequirements_iid)) {
        *obj = static_cast<IProcessContextRequirements*>(this);
    } else if (same_uid(iid, IParameterFunctionName_iid)) {
        *obj = static_cast<IParameterFunctionName*>(this);
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

uint32 vst3_component::addRef() {
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 vst3_component::release() {
    const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

tresult vst3_component::initialize(FUnknown*) {
    return kResultOk;
}

tresult vst3_component::terminate() {
    return vst3_guarded(kInternalError, [this] { return setComponentHandler(nullptr); });
}

// A single object: there is no separate controller class.
tresult vst3_component::getControllerClassId(char*) {
    return kNotImplemented;
}

tresult vst3_component::setIoMode(int32) {
    return kResultOk;
}

int32 vst3_component::getBusCount(int32 type, int32 dir) {
    return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult vst3_component::getBusInfo(int32 type, int32 dir, int32 index, BusInfo& bus) {
    if (getBusCount(type, dir) <= index || index < 0) return kInvalidArgument;
    std::memset(&bus, 0, sizeof bus);
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = audio_.channels();
    copy_utf16(bus.name, dir == kInput ? "Input" : "Output", 128);
    bus.busType = kMain;
    bus.flags = kDefaultActive;
    return kResultOk;
}

tresult vst3_component::getRoutingInfo(RoutingInfo&, RoutingInfo&) {
    return kNotImplemented;
}

tresult vst3_component::activateBus(int32 type, int32 dir, int32 index, TBool) {
    return getBusCount(type, dir) > index && index >= 0 ? kResultOk : kInvalidArgument;
}

tresult vst3_component::setActive(TBool state) {
    return vst3_guarded(kInternalError, [&] {
        if (state != 0 && !active_) audio_.activate();
        active_ = state != 0;
        return kResultOk;
    });
}

tresult vst3_component::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                           SpeakerArrangement* outputs, int32 numOuts) {
    return vst3_guarded(kInternalError, [&] {
        if (active_ || numIns != 1 || numOuts != 1 || inputs == nullptr || outputs == nullptr ||
            inputs[0] != outputs[0] || channels_of(inputs[0]) == 0) {
            return kResultFalse;
        }
        const int n = channels_of(inputs[0]);
        if (plugin_->set_channel_count(AXO_DIR_AUDIO_IN, n) == 0 ||
            plugin_->set_channel_count(AXO_DIR_AUDIO_OUT, n) == 0) {
            return kResultFalse;
        }
        audio_.set_channels(n);
        return kResultTrue;
    });
}

tresult vst3_component::getBusArrangement(int32 dir, int32 index, SpeakerArrangement& arr) {
    if (getBusCount(kAudio, dir) <= index || index < 0) return kInvalidArgument;
    arr = arrangement_of(audio_.channels());
    return kResultOk;
}

tresult vst3_component::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

uint32 vst3_component::getLatencySamples() {
    return vst3_guarded(0u, [this] {
        const int latency = plugin_->get_latency();
        return latency > 0 ? static_cast<uint32>(latency) : 0u;
    });
}

tresult vst3_component::setupProcessing(ProcessSetup& setup) {
    return vst3_guarded(kInternalError, [&] {
        // The plug-in judges the rate, but only a rate a float can hold reaches it.
        const double rate = setup.sampleRate;
        if (active_ || setup.symbolicSampleSize != kSample32 || !(rate > 0.0 && rate <= FLT_MAX) ||
            plugin_->is_sample_rate_supported(static_cast<float>(rate)) == 0 ||
            plugin_->set_sample_rate(static_cast<float>(rate)) == 0) {
            return kResultFalse;
        }
        plugin_->set_process_mode(setup.processMode == kOffline ? AXO_MODE_OFFLINE
                                                                : AXO_MODE_REALTIME);
        return kResultOk;
    });
}

tresult vst3_component::setProcessing(TBool) {
    return kResultOk;
}

tresult vst3_component::process(ProcessData& data) {
    return vst3_guarded(kInternalError, [&] {
        audio_.process(data);
        return kResultOk;
    });
}

// The delay line still holds input when the input stops.
uint32 vst3_component::getTailSamples() {
    return getLatencySamples();
}

uint32 vst3_component::getProcessContextRequirements() {
    return 0;
}
