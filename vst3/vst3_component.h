// One VST3 instance: a single object that is the component, the audio processor and the
// edit controller of one AXOI plug-in instance, so no messages pass between halves. Hosts
// reach it through queryInterface; it counts its references and deletes itself at zero.
// No exception leaves a method.
//
// Threads, as VST3 hosts call: process on the processing thread; setProcessing on either;
// everything else on the UI thread, getState and the parameter calls while audio runs.
#pragma once

#include <atomic>
#include <memory>

#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/dummy_host.h"
#include "vst3/vst3_abi.h"
#include "vst3/vst3_audio.h"
#include "vst3/vst3_params.h"

class vst3_component final : public vst3::IComponent,
                             public vst3::IAudioProcessor,
                             public vst3::IEditController,
                             public vst3::IProcessContextRequirements,
                             public vst3::IParameterFunctionName {
public:
    // A new instance with one reference, in stereo; null when the plug-in cannot be made.
    static vst3_component* create();
    vst3_component(const vst3_component&) = delete;
    vst3_component& operator=(const vst3_component&) = delete;

    // FUnknown
    vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
    vst3::uint32 VST3_CALL addRef() override;
    vst3::uint32 VST3_CALL release() override;

    // IPluginBase, for the component and the controller alike
    vst3::tresult VST3_CALL initialize(vst3::FUnknown* context) override;
    vst3::tresult VST3_CALL terminate() override;

    // IComponent: one audio bus each way; the state serves the controller too.
    vst3::tresult VST3_CALL getControllerClassId(char* classId) override;
    vst3::tresult VST3_CALL setIoMode(vst3::int32 mode) override;
    vst3::int32 VST3_CALL getBusCount(vst3::int32 type, vst3::int32 dir) override;
    vst3::tresult VST3_CALL getBusInfo(vst3::int32 type, vst3::int32 dir, vst3::int32 index,
                                       vst3::BusInfo& bus) override;
    vst3::tresult VST3_CALL getRoutingInfo(vst3::RoutingInfo& in, vst3::RoutingInfo& out) override;
    vst3::tresult VST3_CALL activateBus(vst3::int32 type, vst3::int32 dir, vst3::int32 index,
                                        vst3::TBool state) override;
    vst3::tresult VST3_CALL setActive(vst3::TBool state) override;
    vst3::tresult VST3_CALL setState(vst3::IBStream* state) override;
    vst3::tresult VST3_CALL getState(vst3::IBStream* state) override;

    // IAudioProcessor: mono or stereo, 32-bit samples.
    vst3::tresult VST3_CALL setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                               vst3::SpeakerArrangement* outputs,
                                               vst3::int32 numOuts) override;
    vst3::tresult VST3_CALL getBusArrangement(vst3::int32 dir, vst3::int32 index,
                                              vst3::SpeakerArrangement& arr) override;
    vst3::tresult VST3_CALL canProcessSampleSize(vst3::int32 symbolicSampleSize) override;
    vst3::uint32 VST3_CALL getLatencySamples() override;
    vst3::tresult VST3_CALL setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult VST3_CALL setProcessing(vst3::TBool state) override;
    vst3::tresult VST3_CALL process(vst3::ProcessData& data) override;
    vst3::uint32 VST3_CALL getTailSamples() override;

    // IProcessContextRequirements: the limiter needs no transport.
    vst3::uint32 VST3_CALL getProcessContextRequirements() override;

    // IEditController: the parameter bridge, no editor.
    vst3::tresult VST3_CALL setComponentState(vst3::IBStream* state) override;
    vst3::int32 VST3_CALL getParameterCount() override;
    vst3::tresult VST3_CALL getParameterInfo(vst3::int32 index, vst3::ParameterInfo& info) override;
    vst3::tresult VST3_CALL getParamStringByValue(vst3::ParamID id, vst3::ParamValue normalized,
                                                  vst3::char16* text) override;
    vst3::tresult VST3_CALL getParamValueByString(vst3::ParamID id, vst3::TChar* text,
                                                  vst3::ParamValue& normalized) override;
    vst3::ParamValue VST3_CALL normalizedParamToPlain(vst3::ParamID id,
                                                      vst3::ParamValue normalized) override;
    vst3::ParamValue VST3_CALL plainParamToNormalized(vst3::ParamID id,
                                                      vst3::ParamValue plain) override;
    vst3::ParamValue VST3_CALL getParamNormalized(vst3::ParamID id) override;
    vst3::tresult VST3_CALL setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult VST3_CALL setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* VST3_CALL createView(vst3::FIDString name) override;

    // IParameterFunctionName: the meter answers to the gain-reduction function.
    vst3::tresult VST3_CALL getParameterIDFromFunctionName(vst3::int32 unitId, vst3::FIDString name,
                                                           vst3::ParamID& id) override;

private:
    vst3_component(std::unique_ptr<axo_factory_i> factory, std::unique_ptr<axo_plugin_i> plugin);
    ~vst3_component();

    std::atomic<vst3::uint32> references_{1};
    // Declared so that destruction takes the plug-in first, then its factory and host.
    dummy_host host_;
    std::unique_ptr<axo_factory_i> factory_;
    std::unique_ptr<axo_plugin_i> plugin_;
    vst3_params params_;
    vst3_audio audio_;
    vst3::IComponentHandler* handler_ = nullptr;
    bool active_ = false;
};
