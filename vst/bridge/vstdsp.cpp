// Construction and teardown of the adapter.
#include "vst/bridge/vstdsp.h"

#include <memory>

#include "framework/axo_codes.h"
#include "framework/axo_editor_i.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/exposed_params.h"
#include "glue/rounding_guard.h"
#include "vst/bridge/AXOIEditor.h"
#include "vst/bridge/message_box.h"
#include "vst/bridge/myhost.h"

namespace {

// An answer of get_matching_config meaning "as many inputs as outputs".
constexpr int same_count_as_outputs = -1;

bool is_usable_channel_count(int count) {
    return count >= 1 && count <= VSTDSP_MAX_CHANNELS;
}

}  // namespace

vstdsp::vstdsp(audioMasterCallback audioMaster, axo_factory_i* factory, axo_plugin_i* plugin,
               VstInt32 num_params, myhost* host)
    : AudioEffectX(audioMaster, 1, num_params), factory_(factory), plugin_(plugin), host_(host) {
    rounding_guard guard;
    try {
        plugin_->set_host(host_);
        auxbuf_t::link(aux_a_, aux_b_);
        if (audioMaster != nullptr) {
            negotiate_and_describe();
            if (construction_failed_) return;
        }
        sample_position_ = 0;
        plugin_->reset();
        plugin_->set_bypass(0);
        // A host compensates only the delay it is told about: without this every track
        // through the effect would play late against the others.
        const int latency = plugin_->get_latency();
        setInitialDelay(latency > 0 ? latency : 0);
        if (audioMaster != nullptr) install_editor();
    } catch (...) {
        // The caller still owns factory, plug-in and host services; the editor bridge goes
        // with the effect base.
        host_->detach(plugin_);
        throw;
    }
}

void vstdsp::negotiate_and_describe() {
    int outputs = 2;
    int inputs = plugin_->get_matching_config(AXO_DIR_AUDIO_OUT, outputs);
    if (inputs == 0) {
        outputs = 1;
        inputs = plugin_->get_matching_config(AXO_DIR_AUDIO_OUT, outputs);
    }
    if (inputs == same_count_as_outputs) inputs = outputs;
    // The channel pointer tables hold VSTDSP_MAX_CHANNELS entries; a plug-in wanting more
    // inputs cannot be served.
    if (!is_usable_channel_count(inputs) ||
        plugin_->is_config_supported(AXO_DIR_AUDIO_IN, inputs, outputs) == 0) {
        construction_failed_ = true;
        return;
    }
    if (plugin_->is_config_supported(AXO_DIR_AUDIO_IN, 1, 1) != 0) canMono(true);
    plugin_->set_channel_count(AXO_DIR_AUDIO_IN, inputs);
    plugin_->set_channel_count(AXO_DIR_AUDIO_OUT, outputs);
    // Processing hands the plug-in exactly the host's channel tables, so the plug-in must
    // have taken the counts the record announces.
    if (plugin_->get_channel_count(AXO_DIR_AUDIO_IN) != inputs ||
        plugin_->get_channel_count(AXO_DIR_AUDIO_OUT) != outputs) {
        construction_failed_ = true;
        return;
    }

    hasClip(false);
    hasVu(false);
    canProcessReplacing(true);
    programsAreChunks(true);
    setNumInputs(inputs);
    setNumOutputs(outputs);
    if (plugin_->get_channel_count(AXO_DIR_EVENT_IN) > 0 &&
        plugin_->extension("isfx", nullptr, 0) == 0) {
        isSynth(true);
    }

    const int unique_id = factory_->extension("vstuid", nullptr, 0);
    if (unique_id == 0) {
        show_error_message("AXOI factory should implement vstuid extension!", "AXOI for VST");
        construction_failed_ = true;
        return;
    }
    setUniqueID(unique_id);

    const int total = plugin_->get_param_count();
    for (int i = 0; i < total; ++i) {
        if (is_exposed_param(plugin_, i)) exposed_.push_back(i);
    }
    // The host walks numParams; it must never reach past the list.
    numParams = static_cast<VstInt32>(exposed_.size());
    cEffect.numParams = numParams;
}

void vstdsp::install_editor() {
    axo_factory_i* factory = plugin_->get_factory();
    if (factory == nullptr) return;
    // The probe only tells whether an editor exists; the bridge makes its own when the
    // host opens the editor.
    std::unique_ptr<axo_editor_i> probe(factory->create_editor());
    if (!probe) return;
    auto* bridge = new AXOIEditor(this, plugin_);
    setEditor(bridge);
    host_->offer("effeditor", bridge, 4);
}

vstdsp::~vstdsp() {
    {
        rounding_guard guard;
        if (host_ != nullptr) host_->detach(plugin_);
        // The plug-in's editor object goes before the plug-in and the factory it came from.
        if (editor != nullptr) editor->close();
        delete plugin_;
        delete factory_;
        delete host_;
        scratch_.reset();
        chunk_.reset();
    }
    // The exposed-parameter list and the event pipe go with the members; the effect base
    // then deletes the editor bridge.
}

void vstdsp::refresh_editor() {
    if (editor != nullptr) editor->postUpdate();
}
