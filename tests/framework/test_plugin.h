// A small plug-in on the framework: three real parameters, one internal parameter and one
// switch, a configuration list a test may replace before the first query, and a record of
// every hook and process_block call.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "framework/axo_factory.h"
#include "framework/axo_param.h"
#include "framework/axo_std_plugin.h"
#include "support/record_queue.h"

constexpr float DEF = AXO_PARAM_DEFAULT;
constexpr int DEF_CURVE = AXO_PARAM_DEFAULT_CURVE;

// An integer parameter; the framework itself has no such class.
class test_switch : public axo_param {
public:
    test_switch(axo_plugin* owner, const char* name) : axo_param(owner, name) {
        value_type_ = AXO_VALUE_INT;
        kind_ = AXO_KIND_SWITCH;
    }
    void set_int(int v) override { value_ = v; }
    int get_int() override { return value_; }

private:
    int value_ = 0;
};

class test_plugin : public axo_std_plugin {
public:
    axo_param_volume gain{this, "Gain", 1.0f, 0.0f, 2.0f, DEF, DEF, DEF, AXO_CURVE_EXP, DEF};
    axo_param_delay time{this, "Time", 0.1f, 0.001f, 5.0f, DEF, DEF, DEF, DEF_CURVE, DEF};
    axo_param_float mix{this, "Mix", 0.5f, DEF, DEF, DEF, DEF, DEF, DEF_CURVE, DEF};
    axo_param_float internal{this, "Internal", 0.0f, DEF, DEF, DEF, DEF, DEF, DEF_CURVE, DEF};
    test_switch toggle{this, "Toggle"};

    // Pairings without inputs or outputs come first: a match answering 0 reads as "none",
    // so it must not be the last match for 2 channels.
    std::vector<axo_config_t> configs = {
        {AXO_CFG_AUDIO, 0, 2, 0, 0},    {AXO_CFG_AUDIO, 2, 0, 0, 0},
        {AXO_CFG_AUDIO, 1, 1, 0, 0},    {AXO_CFG_AUDIO, 2, 2, 0, 0},
        {AXO_CFG_AUDIO, 1, 2, 0, 0},    {AXO_CFG_AUDIO, 2, 1, 0, 0},
        {AXO_CFG_RATE, 0, 0, 44100, 0}, {AXO_CFG_RATE_RANGE, 0, 0, 4000, 192000},
    };

    struct block {
        int64_t position;
        int frames;
        float gain;
        friend bool operator==(const block& a, const block& b) {
            return a.position == b.position && a.frames == b.frames && a.gain == b.gain;
        }
        friend std::ostream& operator<<(std::ostream& os, const block& b) {
            return os << "{" << b.position << ", " << b.frames << ", " << b.gain << "}";
        }
    };
    std::vector<block> blocks;
    std::vector<std::string> hooks;
    int resets = 0;
    int block_size_in_hook = -1;
    std::string extension_key;
    std::vector<unsigned char> extension_data;

    test_plugin() {
        internal.set_kind(AXO_KIND_INTERNAL);
        register_param_key(&gain, "gain");
        register_param_key(&time, "time");
    }

    using axo_plugin::add_to_group;
    using axo_plugin::end_group;
    using axo_plugin::handle_event;
    using axo_plugin::register_group;
    using axo_plugin::register_param_key;

    void reset() override { ++resets; }
    void build_config_list() override {
        for (const axo_config_t& c : configs) add_config(c.code, c.a, c.b, c.lo, c.hi);
    }
    int process_block(int64_t position, float** in, int in_stride, float** out, int out_stride,
                      int frames) override {
        blocks.push_back({position, frames, gain.get_value()});
        return axo_std_plugin::process_block(position, in, in_stride, out, out_stride, frames);
    }
    int extension(const char* key, void* data, int size) override {
        extension_key = key;
        const auto* p = static_cast<const unsigned char*>(data);
        extension_data.assign(p, p + size);
        return 1;
    }
    void on_sample_rate_changed() override { hooks.push_back("rate"); }
    void on_tempo_changed() override { hooks.push_back("tempo"); }
    void on_channel_count_changed(int direction, int count) override {
        hooks.push_back("channels " + std::to_string(direction) + " " + std::to_string(count));
    }
    void on_block_size_changed(int) override { block_size_in_hook = get_block_size(); }
};

// The factory the tests' get_axoi hands out, and one for a plug-in with another identifier.
extern const axo_plugin_info test_plugin_info;
extern const axo_plugin_info other_plugin_info;
