#include "clap/clap_calls.h"

#include <cstring>

#include "clap/clap_instance.h"
#include "clap/clap_state.h"
#include "glue/bounded_text.h"
#include "glue/rounding_guard.h"

namespace {

clap_instance* as_instance(const clap_plugin_t* plugin) {
    return plugin != nullptr ? static_cast<clap_instance*>(plugin->plugin_data) : nullptr;
}

// Runs call on the instance behind plugin in round-to-nearest; fallback when there is none or
// the call throws.
template <typename R, typename F>
R guarded(const clap_plugin_t* plugin, R fallback, F call) {
    clap_instance* instance = as_instance(plugin);
    if (instance == nullptr) return fallback;
    rounding_guard guard;
    try {
        return call(*instance);
    } catch (...) {
        return fallback;
    }
}

// Audio ports: one main input and one main output, processed in place if the host likes.
uint32_t CLAP_ABI port_count(const clap_plugin_t* plugin, bool) {
    return as_instance(plugin) != nullptr ? 1 : 0;
}

bool CLAP_ABI port_get(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                       clap_audio_port_info_t* info) {
    const clap_instance* instance = as_instance(plugin);
    if (instance == nullptr || index != 0 || info == nullptr) return false;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    copy_bounded_text(info->name, is_input ? "Input" : "Output", sizeof info->name);
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = static_cast<uint32_t>(instance->channels());
    info->port_type = instance->channels() == 1 ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
    info->in_place_pair = 0;
    return true;
}

const clap_plugin_audio_ports_t audio_ports = {port_count, port_get};

uint32_t CLAP_ABI param_count(const clap_plugin_t* plugin) {
    return guarded(plugin, 0u, [](clap_instance& i) { return i.params().count(); });
}

bool CLAP_ABI param_info(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info) {
    return guarded(plugin, false,
                   [&](clap_instance& i) { return i.params().get_info(index, info); });
}

bool CLAP_ABI param_value(const clap_plugin_t* plugin, clap_id id, double* value) {
    return guarded(plugin, false,
                   [&](clap_instance& i) { return i.params().get_value(id, value); });
}

bool CLAP_ABI param_to_text(const clap_plugin_t* plugin, clap_id id, double value, char* text,
                            uint32_t capacity) {
    return guarded(plugin, false, [&](clap_instance& i) {
        return i.params().value_to_text(id, value, text, capacity);
    });
}

bool CLAP_ABI param_from_text(const clap_plugin_t* plugin, clap_id id, const char* text,
                              double* value) {
    return guarded(plugin, false,
                   [&](clap_instance& i) { return i.params().text_to_value(id, text, value); });
}

// Outside processing the values are simply taken: there is no block for them to split.
void CLAP_ABI param_flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                          const clap_output_events_t*) {
    guarded(plugin, 0, [&](clap_instance& i) {
        i.params().apply_all(in);
        return 0;
    });
}

const clap_plugin_params_t params = {param_count,   param_info,      param_value,
                                     param_to_text, param_from_text, param_flush};

bool CLAP_ABI state_save(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
    return guarded(plugin, false, [&](clap_instance& i) {
        return clap_save_state(i.plugin(), i.params(), stream);
    });
}

bool CLAP_ABI state_load(const clap_plugin_t* plugin, const clap_istream_t* stream) {
    return guarded(plugin, false, [&](clap_instance& i) {
        return clap_load_state(i.plugin(), i.params(), stream);
    });
}

const clap_plugin_state_t state = {state_save, state_load};

uint32_t CLAP_ABI latency_get(const clap_plugin_t* plugin) {
    const clap_instance* instance = as_instance(plugin);
    return instance != nullptr ? instance->latency() : 0;
}

const clap_plugin_latency_t latency = {latency_get};

double CLAP_ABI gain_adjustment_get(const clap_plugin_t* plugin) {
    const clap_instance* instance = as_instance(plugin);
    return instance != nullptr ? instance->gain_adjustment_db() : 0.0;
}

const clap_plugin_gain_adjustment_metering_t gain_adjustment = {gain_adjustment_get};

const void* CLAP_ABI get_extension(const clap_plugin_t*, const char* id) {
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &audio_ports;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &state;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latency;
    if (std::strcmp(id, CLAP_EXT_GAIN_ADJUSTMENT_METERING) == 0) return &gain_adjustment;
    return nullptr;
}

bool CLAP_ABI init(const clap_plugin_t* plugin) {
    return as_instance(plugin) != nullptr;
}

void CLAP_ABI destroy(const clap_plugin_t* plugin) {
    guarded(plugin, 0, [](clap_instance& i) {
        delete &i;
        return 0;
    });
}

bool CLAP_ABI activate(const clap_plugin_t* plugin, double rate, uint32_t, uint32_t) {
    return guarded(plugin, false, [&](clap_instance& i) { return i.activate(rate); });
}

void CLAP_ABI deactivate(const clap_plugin_t*) {}

bool CLAP_ABI start_processing(const clap_plugin_t* plugin) {
    return as_instance(plugin) != nullptr;
}

void CLAP_ABI stop_processing(const clap_plugin_t* plugin) {
    guarded(plugin, 0, [](clap_instance& i) {
        i.stop_processing();
        return 0;
    });
}

void CLAP_ABI reset(const clap_plugin_t* plugin) {
    guarded(plugin, 0, [](clap_instance& i) {
        i.reset();
        return 0;
    });
}

clap_process_status CLAP_ABI process(const clap_plugin_t* plugin, const clap_process_t* p) {
    return guarded(plugin, CLAP_PROCESS_ERROR, [&](clap_instance& i) { return i.process(p); });
}

void CLAP_ABI on_main_thread(const clap_plugin_t*) {}

}  // namespace

void clap_fill_record(clap_plugin_t& record) {
    record.init = init;
    record.destroy = destroy;
    record.activate = activate;
    record.deactivate = deactivate;
    record.start_processing = start_processing;
    record.stop_processing = stop_processing;
    record.reset = reset;
    record.process = process;
    record.get_extension = get_extension;
    record.on_main_thread = on_main_thread;
}
