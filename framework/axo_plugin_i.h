// One plug-in instance. An outside host calls through this table, so the order of the
// operations is part of the binary interface. Out-of-range parameter indices are answered
// with 0, 0.0, null or -1 and ignored by setters.
#pragma once

#include <cstdint>

class axo_factory_i;
class axo_host_i;
class axo_aux_i;

class axo_plugin_i {
public:
    virtual ~axo_plugin_i() = default;
    // The factory that created the instance.
    virtual axo_factory_i* get_factory() = 0;
    // Replaces the host-services object, detaching the old one and attaching the new one.
    virtual void set_host(axo_host_i* host) = 0;
    // Delay of the output behind the input, in frames.
    virtual int get_latency() = 0;
    // Reads and applies one state block; 0 when it belongs to another plug-in.
    virtual int load_state(axo_aux_i* stream) = 0;
    // Writes one state block; 1.
    virtual int save_state(axo_aux_i* stream) = 0;
    // Stores the process mode (AXO_MODE_...); 1.
    virtual int set_process_mode(int mode) = 0;
    virtual int get_process_mode() = 0;
    virtual int get_param_count() = 0;
    // Kind code (AXO_KIND_...); 0 out of range.
    virtual int get_param_kind(int index) = 0;
    // Group index, -1 for none; 0 out of range.
    virtual int get_param_group(int index) = 0;
    // Object registered for a group; null out of range.
    virtual void* get_group(int group) = 0;
    // Stores an integer for a group; answers the group index it was given.
    virtual int set_group_value(int group, int value) = 0;
    // The group's integer; -1 out of range.
    virtual int get_group_value(int group) = 0;
    // Index of the parameter registered under key; -1 if none.
    virtual int find_param(const char* key) = 0;
    // -1 hides the parameter from hosts; 0 out of range.
    virtual int get_param_visibility(int index) = 0;
    virtual const char* get_param_name(int index) = 0;
    // Text of one option of a selection parameter; null when the option does not exist.
    virtual const char* get_param_option_text(int index, int option) = 0;
    // One bound of the parameter (AXO_RANGE_...).
    virtual float get_param_range(int index, int selector) = 0;
    virtual float get_param_step(int index) = 0;
    virtual int get_param_curve(int index) = 0;
    virtual float get_param_factor(int index) = 0;
    // Sets a real parameter; the parameter clamps the value.
    virtual void set_param_value(int index, float value) = 0;
    virtual float get_param_value(int index) = 0;
    virtual void set_param_int(int index, int value) = 0;
    virtual int get_param_int(int index) = 0;
    virtual int get_param_flags(int index) = 0;
    // Accepts a count only if a configuration record matches; 0 when rejected.
    virtual int set_channel_count(int direction, int count) = 0;
    virtual int get_channel_count(int direction) = 0;
    // The count on the other side of a configuration whose count in direction equals count.
    virtual int get_matching_config(int direction, int count) = 0;
    // 1 if the list holds exactly this pairing for the direction's kind.
    virtual int is_config_supported(int direction, int inputs, int outputs) = 0;
    // 1 if pin 0 of a two-channel audio direction is the left of a stereo pair; else -1.
    virtual int get_stereo_partner(int direction, int pin) = 0;
    // 1 if a rate record or range of the configuration list admits the rate.
    virtual int is_sample_rate_supported(float rate) = 0;
    virtual int reserved_1() = 0;
    virtual int reserved_2() = 0;
    // Rejects an unsupported rate with 0; otherwise stores it and answers non-zero.
    virtual int set_sample_rate(float rate) = 0;
    virtual float get_sample_rate() = 0;
    // Stores the tempo in beats per minute, raised to at least 10.
    virtual int set_tempo(float bpm) = 0;
    virtual float get_tempo() = 0;
    // Largest number of frames the host has announced for one process call.
    virtual int get_block_size() = 0;
    virtual int set_block_size(int frames) = 0;
    // Clears all processing state (delay lines, envelopes).
    virtual void reset() = 0;
    virtual int get_bypass() = 0;
    // Stores 1 for any non-zero argument, else 0; answers the stored value.
    virtual int set_bypass(int on) = 0;
    // Query by string key ("isfx"); 0 means not supported.
    virtual int extension(const char* key, void* data, int size) = 0;
    // No role fixed; resets and answers 0.
    virtual int reserved_3(int a, int b) = 0;
    // Processes frames starting at sample position, applying the timed records of events
    // (may be null) at their positions; channel pointers advance by their stride per frame.
    virtual int process(int64_t position, float** inputs, int input_stride, float** outputs,
                        int output_stride, axo_aux_i* events, int frames) = 0;
    virtual int get_tag() = 0;
    virtual void set_tag(int tag) = 0;
};
