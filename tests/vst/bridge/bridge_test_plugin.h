// An AXOI plug-in, factory and editor for driving the VST adapter directly: parameters of
// every presentation kind (with a hidden and an internal one among them), configurable
// channel pairings, event inputs and answers, and a record of what the adapter handed it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/axo_codes.h"
#include "framework/axo_editor_i.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_param.h"
#include "framework/axo_records.h"
#include "framework/axo_std_plugin.h"
#include "vst/bridge/vstdsp.h"

using bytes = std::vector<unsigned char>;

struct bridge_options {
    std::vector<axo_config_t> configs = {{AXO_CFG_AUDIO, 2, 2, 0, 0}, {AXO_CFG_AUDIO, 1, 1, 0, 0}};
    int event_inputs = 0;
    int isfx = 0;
    int vstuid = 0x5A747374;  // 'Ztst'
    bool editor = false;
    int editor_open_result = 1;
    std::vector<std::string> info = {"test.id", "Full Test Name", "1.0", "Test", "Vendor"};
    bool custom_state = false;  // save_state writes the records of state instead of its own
    std::vector<bytes> state;
};

// What the plug-in editor objects went through, over all of them.
struct editor_log {
    int created = 0, destroyed = 0, attached = 0, opened = 0, refreshed = 0;
    void* parent = nullptr;
    axo_rect_t rect{};
    static editor_log& get() {
        static editor_log log;
        return log;
    }
};

class test_editor : public axo_editor_i {
public:
    explicit test_editor(int open_result) : open_result_(open_result) {
        ++editor_log::get().created;
    }
    ~test_editor() override { ++editor_log::get().destroyed; }
    void attach(axo_plugin_i*) override { ++editor_log::get().attached; }
    int width() override { return 400; }
    int height() override { return 300; }
    int open(void* parent, axo_rect_t rect) override {
        ++editor_log::get().opened;
        editor_log::get().parent = parent;
        editor_log::get().rect = rect;
        return open_result_;
    }
    void refresh() override { ++editor_log::get().refreshed; }

private:
    int open_result_;
};

// An integer parameter of kind AXO_KIND_INTEGER, _SWITCH or _SELECT.
class int_param : public axo_param {
public:
    int_param(axo_plugin* owner, const char* name, int kind, std::vector<const char*> options = {})
        : axo_param(owner, name), options(std::move(options)) {
        value_type_ = AXO_VALUE_INT;
        kind_ = kind;
    }
    void set_int(int v) override { value_ = v; }
    int get_int() override { return value_; }
    const char* get_option_text(int option) override {
        return option >= 0 && option < static_cast<int>(options.size()) ? options[option] : nullptr;
    }

    std::vector<const char*> options;

private:
    int value_ = 0;
};

class bridge_test_plugin : public axo_std_plugin {
public:
    static constexpr float D = AXO_PARAM_DEFAULT;
    axo_param_volume gain{this, "Gain", 1.0f, 0.0f, 1.0f, D, D, D, AXO_CURVE_LINEAR, D};
    axo_param_float hidden{this, "Hidden", 0.5f, D, D, D, D, D, AXO_CURVE_LINEAR, D};
    axo_param_float internal{this, "Internal", 0.5f, D, D, D, D, D, AXO_CURVE_LINEAR, D};
    int_param mode{
        this, "Mode", AXO_KIND_SELECT, {"One", "Two", "A very long option text of 40 chars!"}};
    int_param toggle{this, "Toggle", AXO_KIND_SWITCH};
    int_param count{this, "Count", AXO_KIND_INTEGER};
    axo_param_float pan{this, "Pan", 0.0f, -1.0f, 1.0f, D, D, D, AXO_CURVE_LINEAR, D};
    axo_param_delay time{this, "Time", 0.2f, 0.001f, 5.0f, D, D, D, AXO_CURVE_EXP, D};
    axo_param_float number{this,
                           "A parameter name of forty characters!!!",
                           0.5f,
                           0.0f,
                           1.0f,
                           D,
                           0.25f,
                           0.75f,
                           AXO_CURVE_LINEAR,
                           D};

    struct call {
        int64_t position;
        int frames;
        float* in[2];
        float* out[2];
        int mode;
    };
    std::vector<call> calls;
    std::vector<bytes> events;  // records found in the event stream, over all calls
    std::vector<bytes> loaded;  // records load_state was handed
    std::vector<float> tempos;
    int resets = 0;

    explicit bridge_test_plugin(const bridge_options& o) : options_(o) {
        hidden.set_visibility(AXO_VISIBILITY_HIDDEN);
        internal.set_kind(AXO_KIND_INTERNAL);
        pan.set_kind(AXO_KIND_PAN);
        number.set_kind(AXO_KIND_NUMBER);
        if (o.event_inputs > 0) set_channel_count(AXO_DIR_EVENT_IN, o.event_inputs);
    }

    void build_config_list() override {
        for (const axo_config_t& c : options_.configs) add_config(c.code, c.a, c.b, c.lo, c.hi);
        if (options_.event_inputs > 0) add_config(AXO_CFG_EVENTS, options_.event_inputs, 1, 0, 0);
    }
    void reset() override { ++resets; }
    int get_latency() override { return 17; }
    int extension(const char* key, void*, int) override {
        return std::string(key) == "isfx" ? options_.isfx : 0;
    }
    void on_tempo_changed() override { tempos.push_back(get_tempo()); }
    int save_state(axo_aux_i* stream) override {
        if (!options_.custom_state) return axo_std_plugin::save_state(stream);
        for (const bytes& r : options_.state) stream->write(r.data());
        return 1;
    }
    int load_state(axo_aux_i* stream) override {
        int size = 0;
        while (stream->read(nullptr, nullptr, &size) != 0) {
            bytes r(static_cast<size_t>(size));
            stream->read(nullptr, r.data(), nullptr);
            loaded.push_back(r);
            stream->pop();
        }
        return 1;
    }
    int process(int64_t position, float** in, int in_stride, float** out, int out_stride,
                axo_aux_i* stream, int frames) override {
        calls.push_back({position, frames, {in[0], in[1]}, {out[0], out[1]}, get_process_mode()});
        // Records due in this block are consumed; later ones stay queued, as a plug-in that
        // splits its block at event times leaves them.
        int size = 0;
        int64_t time = 0;
        while (stream->read(&time, nullptr, &size) != 0) {
            bytes r(static_cast<size_t>(size));
            stream->read(nullptr, r.data(), nullptr);
            events.push_back(r);
            if (time >= position + frames) break;
            stream->pop();
        }
        return axo_std_plugin::process(position, in, in_stride, out, out_stride, nullptr, frames);
    }

private:
    bridge_options options_;
};

class bridge_test_factory : public axo_factory_i {
public:
    explicit bridge_test_factory(bridge_options o) : options_(std::move(o)) {}
    int get_interface_version() override { return 256; }
    const char* get_info(int index) override {
        return index >= 0 && index < static_cast<int>(options_.info.size())
                   ? options_.info[index].c_str()
                   : nullptr;
    }
    axo_plugin_i* create_plugin() override {
        auto* p = new bridge_test_plugin(options_);
        p->set_factory(this);
        return p;
    }
    axo_editor_i* create_editor() override {
        return options_.editor ? new test_editor(options_.editor_open_result) : nullptr;
    }
    int extension(const char* key, void*, int) override {
        return std::string(key) == "vstuid" ? options_.vstuid : 0;
    }

private:
    bridge_options options_;
};

// An adapter built the way the entry point builds one, around a test plug-in.
struct bridge_fixture {
    bridge_test_plugin* plugin;
    std::unique_ptr<vstdsp> fx;
    AEffect* effect;

    explicit bridge_fixture(const bridge_options& o = bridge_options{});
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
};
