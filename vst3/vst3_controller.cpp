// The object as edit controller: the parameter bridge and the saved state.
#include <cstring>
#include <vector>

#include "vst3/vst3_component.h"
#include "vst3/vst3_guard.h"
#include "vst3/vst3_state.h"

using namespace vst3;

tresult vst3_component::setState(IBStream* state) {
    return vst3_guarded(kInternalError, [&] {
        std::vector<unsigned char> bytes;
        bool bypassed = false;
        if (!read_state_stream(state, bytes) ||
            !load_vst3_state(*factory_, *plugin_, bytes, bypassed)) {
            return kResultFalse;
        }
        params_.set_normalized(vst3_bypass_id, bypassed ? 1.0 : 0.0);
        return kResultOk;
    });
}

tresult vst3_component::getState(IBStream* state) {
    return vst3_guarded(kInternalError, [&] {
        const std::vector<unsigned char> bytes = save_vst3_state(*plugin_, params_.bypassed());
        return write_state_stream(state, bytes) ? kResultOk : kResultFalse;
    });
}

// The component's state is this object's own, already applied by setState; a host that
// hands it over again gets the same result.
tresult vst3_component::setComponentState(IBStream* state) {
    return setState(state);
}

int32 vst3_component::getParameterCount() {
    return params_.count();
}

tresult vst3_component::getParameterInfo(int32 index, ParameterInfo& info) {
    return vst3_guarded(kInternalError,
                        [&] { return params_.info(index, info) ? kResultOk : kInvalidArgument; });
}

tresult vst3_component::getParamStringByValue(ParamID id, ParamValue normalized, char16* text) {
    return vst3_guarded(kInternalError, [&] {
        if (text == nullptr) return kInvalidArgument;
        return params_.text_of(id, normalized, text) ? kResultOk : kInvalidArgument;
    });
}

tresult vst3_component::getParamValueByString(ParamID id, TChar* text, ParamValue& normalized) {
    return vst3_guarded(kInternalError, [&] {
        if (text == nullptr) return kInvalidArgument;
        return params_.value_of(id, text, normalized) ? kResultOk : kResultFalse;
    });
}

ParamValue vst3_component::normalizedParamToPlain(ParamID id, ParamValue normalized) {
    return vst3_guarded(0.0, [&] { return params_.to_plain(id, normalized); });
}

ParamValue vst3_component::plainParamToNormalized(ParamID id, ParamValue plain) {
    return vst3_guarded(0.0, [&] { return params_.to_normalized(id, plain); });
}

ParamValue vst3_component::getParamNormalized(ParamID id) {
    return vst3_guarded(0.0, [&] { return params_.normalized(id); });
}

// Values set here, processing or not, reach the plug-in at once. The host also hands back
// the meter's readings, which this object already holds.
tresult vst3_component::setParamNormalized(ParamID id, ParamValue value) {
    return vst3_guarded(kInternalError, [&] {
        if (!params_.is_known(id)) return kInvalidArgument;
        params_.set_normalized(id, value);
        return kResultOk;
    });
}

tresult vst3_component::setComponentHandler(IComponentHandler* handler) {
    if (handler == handler_) return kResultOk;
    if (handler != nullptr) handler->addRef();
    if (handler_ != nullptr) handler_->release();
    handler_ = handler;
    return kResultOk;
}

IPlugView* vst3_component::createView(FIDString) {
    return nullptr;
}

tresult vst3_component::getParameterIDFromFunctionName(int32, FIDString name, ParamID& id) {
    if (name != nullptr && std::strcmp(name, kCompGainReduction) == 0) {
        id = vst3_meter_id;
        return kResultOk;
    }
    id = kNoParamId;
    return kResultFalse;
}
