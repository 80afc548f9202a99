// The CLAP binary interface, as far as the adapter and its test host use it: C records of
// fields and function pointers, in natural layout. The offsets and sizes are part of the
// interface, so each is checked below for 64-bit targets and 32-bit Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) || defined(__CYGWIN__)
#define CLAP_ABI __cdecl
#define CLAP_EXPORT __declspec(dllexport)
#else
#define CLAP_ABI
#define CLAP_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

using clap_id = uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;
constexpr uint32_t CLAP_NAME_SIZE = 256;
constexpr uint32_t CLAP_PATH_SIZE = 1024;

struct clap_version_t {
    uint32_t major, minor, revision;
};
// The interface version the module is built against; any 1.x host loads it.
constexpr clap_version_t CLAP_VERSION = {1, 2, 10};

struct clap_host_t;
struct clap_plugin_t;
struct clap_process_t;

struct clap_plugin_entry_t {
    clap_version_t clap_version;
    bool(CLAP_ABI* init)(const char* plugin_path);
    void(CLAP_ABI* deinit)(void);
    const void*(CLAP_ABI* get_factory)(const char* factory_id);
};

constexpr const char* CLAP_PLUGIN_FACTORY_ID = "clap.plugin-factory";

struct clap_plugin_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated
};

struct clap_plugin_factory_t {
    uint32_t(CLAP_ABI* get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t*(CLAP_ABI* get_plugin_descriptor)(
        const clap_plugin_factory_t* factory, uint32_t index);
    const clap_plugin_t*(CLAP_ABI* create_plugin)(const clap_plugin_factory_t* factory,
                                                  const clap_host_t* host, const char* plugin_id);
};

struct clap_host_t {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void*(CLAP_ABI* get_extension)(const clap_host_t* host, const char* extension_id);
    void(CLAP_ABI* request_restart)(const clap_host_t* host);
    void(CLAP_ABI* request_process)(const clap_host_t* host);
    void(CLAP_ABI* request_callback)(const clap_host_t* host);
};

using clap_process_status = int32_t;
constexpr clap_process_status CLAP_PROCESS_ERROR = 0;
constexpr clap_process_status CLAP_PROCESS_CONTINUE = 1;

struct clap_plugin_t {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool(CLAP_ABI* init)(const clap_plugin_t* plugin);
    void(CLAP_ABI* destroy)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* activate)(const clap_plugin_t* plugin, double sample_rate,
                             uint32_t min_frames_count, uint32_t max_frames_count);
    void(CLAP_ABI* deactivate)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* start_processing)(const clap_plugin_t* plugin);
    void(CLAP_ABI* stop_processing)(const clap_plugin_t* plugin);
    void(CLAP_ABI* reset)(const clap_plugin_t* plugin);
    clap_process_status(CLAP_ABI* process)(const clap_plugin_t* plugin,
                                           const clap_process_t* process);
    const void*(CLAP_ABI* get_extension)(const clap_plugin_t* plugin, const char* id);
    void(CLAP_ABI* on_main_thread)(const clap_plugin_t* plugin);
};

struct clap_event_header_t {
    uint32_t size;  // of the whole event
    uint32_t time;  // frame offset in the block
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
};
constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
constexpr uint16_t CLAP_EVENT_PARAM_VALUE = 5;

struct clap_event_param_value_t {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index, channel, key;
    double value;  // in the parameter's units
};

struct clap_input_events_t {
    void* ctx;
    uint32_t(CLAP_ABI* size)(const clap_input_events_t* list);
    const clap_event_header_t*(CLAP_ABI* get)(const clap_input_events_t* list, uint32_t index);
};

struct clap_output_events_t {
    void* ctx;
    bool(CLAP_ABI* try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

struct clap_audio_buffer_t {
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;
};

struct clap_process_t {
    int64_t steady_time;
    uint32_t frames_count;
    const void* transport;  // never read
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};

constexpr const char* CLAP_EXT_AUDIO_PORTS = "clap.audio-ports";
constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1;
constexpr const char* CLAP_PORT_MONO = "mono";
constexpr const char* CLAP_PORT_STEREO = "stereo";

struct clap_audio_port_info_t {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t {
    uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);
    bool(CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                        clap_audio_port_info_t* info);
};

constexpr const char* CLAP_EXT_PARAMS = "clap.params";
constexpr uint32_t CLAP_PARAM_IS_STEPPED = 1u << 0;
constexpr uint32_t CLAP_PARAM_IS_BYPASS = 1u << 4;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE = 1u << 5;

struct clap_param_info_t {
    clap_id id;
    uint32_t flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params_t {
    uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* get_info)(const clap_plugin_t* plugin, uint32_t param_index,
                             clap_param_info_t* param_info);
    bool(CLAP_ABI* get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool(CLAP_ABI* value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value,
                                  char* out_buffer, uint32_t out_buffer_capacity);
    bool(CLAP_ABI* text_to_value)(const clap_plugin_t* plugin, clap_id param_id,
                                  const char* param_value_text, double* out_value);
    void(CLAP_ABI* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                          const clap_output_events_t* out);
};

constexpr const char* CLAP_EXT_STATE = "clap.state";

struct clap_istream_t {
    void* ctx;
    int64_t(CLAP_ABI* read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};

struct clap_ostream_t {
    void* ctx;
    int64_t(CLAP_ABI* write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};

struct clap_plugin_state_t {
    bool(CLAP_ABI* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool(CLAP_ABI* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};

constexpr const char* CLAP_EXT_LATENCY = "clap.latency";

struct clap_plugin_latency_t {
    uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
};

// A draft extension: its identifier carries the revision, so a changed layout would come
// under another identifier and this one keeps meaning this record.
constexpr const char* CLAP_EXT_GAIN_ADJUSTMENT_METERING = "clap.gain-adjustment-metering/0";

struct clap_plugin_gain_adjustment_metering_t {
    double(CLAP_ABI* get)(const clap_plugin_t* plugin);
};

}  // extern "C"

#if UINTPTR_MAX == UINT64_MAX
#define CLAP_LAYOUT(type, field, at64, at32) \
    static_assert(offsetof(type, field) == (at64), #type "." #field)
#define CLAP_SIZE(type, size64, size32) static_assert(sizeof(type) == (size64), #type)
#elif defined(_WIN32)
#define CLAP_LAYOUT(type, field, at64, at32) \
    static_assert(offsetof(type, field) == (at32), #type "." #field)
#define CLAP_SIZE(type, size64, size32) static_assert(sizeof(type) == (size32), #type)
#else
// Other 32-bit targets align 64-bit fields differently; their layout is not checked here.
#define CLAP_LAYOUT(type, field, at64, at32) static_assert(true, "")
#define CLAP_SIZE(type, size64, size32) static_assert(true, "")
#endif

CLAP_SIZE(clap_version_t, 12, 12);
CLAP_SIZE(clap_plugin_entry_t, 40, 24);
CLAP_LAYOUT(clap_plugin_entry_t, init, 16, 12);
CLAP_LAYOUT(clap_plugin_entry_t, get_factory, 32, 20);
CLAP_SIZE(clap_plugin_descriptor_t, 88, 48);
CLAP_LAYOUT(clap_plugin_descriptor_t, id, 16, 12);
CLAP_LAYOUT(clap_plugin_descriptor_t, features, 80, 44);
CLAP_SIZE(clap_plugin_factory_t, 24, 12);
CLAP_SIZE(clap_host_t, 88, 48);
CLAP_LAYOUT(clap_host_t, name, 24, 16);
CLAP_LAYOUT(clap_host_t, get_extension, 56, 32);
CLAP_LAYOUT(clap_host_t, request_callback, 80, 44);
CLAP_SIZE(clap_plugin_t, 96, 48);
CLAP_LAYOUT(clap_plugin_t, process, 72, 36);
CLAP_LAYOUT(clap_plugin_t, on_main_thread, 88, 44);
CLAP_SIZE(clap_process_t, 64, 40);
CLAP_LAYOUT(clap_process_t, frames_count, 8, 8);
CLAP_LAYOUT(clap_process_t, audio_inputs, 24, 16);
CLAP_LAYOUT(clap_process_t, audio_inputs_count, 40, 24);
CLAP_LAYOUT(clap_process_t, in_events, 48, 32);
CLAP_LAYOUT(clap_process_t, out_events, 56, 36);
CLAP_SIZE(clap_audio_buffer_t, 32, 24);
CLAP_LAYOUT(clap_audio_buffer_t, channel_count, 16, 8);
CLAP_LAYOUT(clap_audio_buffer_t, constant_mask, 24, 16);
CLAP_SIZE(clap_event_header_t, 16, 16);
CLAP_LAYOUT(clap_event_header_t, space_id, 8, 8);
CLAP_LAYOUT(clap_event_header_t, type, 10, 10);
CLAP_SIZE(clap_event_param_value_t, 56, 48);
CLAP_LAYOUT(clap_event_param_value_t, param_id, 16, 16);
CLAP_LAYOUT(clap_event_param_value_t, cookie, 24, 20);
CLAP_LAYOUT(clap_event_param_value_t, note_id, 32, 24);
CLAP_LAYOUT(clap_event_param_value_t, key, 40, 32);
CLAP_LAYOUT(clap_event_param_value_t, value, 48, 40);
CLAP_SIZE(clap_input_events_t, 24, 12);
CLAP_SIZE(clap_output_events_t, 16, 8);
CLAP_SIZE(clap_audio_port_info_t, 288, 276);
CLAP_LAYOUT(clap_audio_port_info_t, flags, 260, 260);
CLAP_LAYOUT(clap_audio_port_info_t, port_type, 272, 268);
CLAP_LAYOUT(clap_audio_port_info_t, in_place_pair, 280, 272);
CLAP_SIZE(clap_param_info_t, 1320, 1320);
CLAP_LAYOUT(clap_param_info_t, name, 16, 12);
CLAP_LAYOUT(clap_param_info_t, module, 272, 268);
CLAP_LAYOUT(clap_param_info_t, min_value, 1296, 1296);
CLAP_LAYOUT(clap_param_info_t, default_value, 1312, 1312);
CLAP_SIZE(clap_plugin_params_t, 48, 24);
CLAP_SIZE(clap_istream_t, 16, 8);
CLAP_SIZE(clap_ostream_t, 16, 8);

#undef CLAP_LAYOUT
#undef CLAP_SIZE
