// Base implementation of axo_plugin_i: host and factory references, transport values,
// bypass, channel counts, the parameter registry with keys and groups, and the
// configuration list. A concrete plug-in derives from axo_std_plugin, which adds process().
#pragma once

#include <map>
#include <string>
#include <vector>

#include "axo_plugin_i.h"
#include "axo_records.h"

class axo_param;

class axo_plugin : public axo_plugin_i {
public:
    axo_plugin();
    ~axo_plugin() override;
    axo_plugin(const axo_plugin&) = delete;
    axo_plugin& operator=(const axo_plugin&) = delete;

    axo_factory_i* get_factory() override;
    void set_host(axo_host_i* host) override;
    int get_latency() override;
    int load_state(axo_aux_i* stream) override;
    int save_state(axo_aux_i* stream) override;
    int set_process_mode(int mode) override;
    int get_process_mode() override;
    int get_param_count() override;
    int get_param_kind(int index) override;
    int get_param_group(int index) override;
    void* get_group(int group) override;
    int set_group_value(int group, int value) override;
    int get_group_value(int group) override;
    int find_param(const char* key) override;
    int get_param_visibility(int index) override;
    const char* get_param_name(int index) override;
    const char* get_param_option_text(int index, int option) override;
    float get_param_range(int index, int selector) override;
    float get_param_step(int index) override;
    int get_param_curve(int index) override;
    float get_param_factor(int index) override;
    void set_param_value(int index, float value) override;
    float get_param_value(int index) override;
    void set_param_int(int index, int value) override;
    int get_param_int(int index) override;
    int get_param_flags(int index) override;
    int set_channel_count(int direction, int count) override;
    int get_channel_count(int direction) override;
    int get_matching_config(int direction, int count) override;
    int is_config_supported(int direction, int inputs, int outputs) override;
    int get_stereo_partner(int direction, int pin) override;
    int is_sample_rate_supported(float rate) override;
    int reserved_2() override;
    int set_sample_rate(float rate) override;
    float get_sample_rate() override;
    int set_tempo(float bpm) override;
    float get_tempo() override;
    int get_block_size() override;
    int set_block_size(int frames) override;
    int get_bypass() override;
    int set_bypass(int on) override;
    int extension(const char* key, void* data, int size) override;
    int reserved_3(int a, int b) override;
    int get_tag() override;
    void set_tag(int tag) override;

    // Called by the creating factory right after construction.
    void set_factory(axo_factory_i* factory) { factory_ = factory; }
    // Called by a parameter's constructor: appends it and answers its index.
    int add_param(axo_param* param);
    // The parameter at index, or null when out of range.
    axo_param* param_at(int index) const;

protected:
    virtual int register_group(void* object, int value);
    virtual int add_to_group(axo_param* param);
    virtual int end_group();
    virtual int register_param_key(axo_param* param, const char* key);
    // Called by save_state just before the end record; the base writes nothing.
    virtual int save_extra_state(axo_aux_i* stream);
    // Applies the front record of a stream without removing it: 0 when the stream is empty,
    // the type unknown or the record damaged (not applied), 1 for tempo and bypass records,
    // 2 for the other known types. A begin record is the exception: the whole block through
    // its end record is loaded and removed, so the caller must not pop after it.
    virtual int handle_event(axo_aux_i* stream);
    virtual void on_sample_rate_changed();
    virtual void on_tempo_changed();
    virtual void on_channel_count_changed(int direction, int count);
    // Called before the new size is stored: get_block_size still answers the old one.
    virtual void on_block_size_changed(int frames);
    virtual int reserved_4(int a, int b);
    // 1 when two rates are within 1 Hz of each other.
    virtual int rates_match(float a, float b);
    // Appends the plug-in's configuration records (add_config).
    virtual void build_config_list() = 0;

    void add_config(int32_t code, int32_t a, int32_t b, float lo, float hi);

private:
    void ensure_config_list();
    // The identifier that tags this plug-in's state: the factory's information string 0.
    std::string own_identifier();
    int apply_extension_record(axo_aux_i* stream);

    int tag_ = 0;
    axo_host_i* host_ = nullptr;
    axo_factory_i* factory_ = nullptr;
    float sample_rate_ = 44100.0f;
    float tempo_ = 120.0f;
    int process_mode_ = 0;
    int block_size_ = 0;
    int bypass_ = 0;
    int channels_[4] = {2, 2, 0, 0};
    std::vector<axo_param*> params_;
    std::vector<void*> groups_;
    std::vector<axo_config_t> configs_;
    std::vector<int> group_values_;
    std::map<std::string, int> keys_;
    int current_group_ = -1;
};
