// The parameter bridge: the plug-in's exposed parameters as CLAP parameters, plain values in
// the unit each kind is shown in (dB, ms, ...), with the display texts every format shares,
// and the bypass parameter, which the adapter itself carries out.
//
// A parameter's id is its plug-in index, stable as long as the plug-in keeps its order;
// the bypass has an id of its own above any index.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "clap/clap_abi.h"

class axo_plugin_i;
struct param_kind;

constexpr clap_id clap_bypass_param_id = 0x10000;

class clap_params {
public:
    // The plug-in's values now are taken as the defaults: pass a fresh instance.
    explicit clap_params(axo_plugin_i* plugin);

    uint32_t count() const { return static_cast<uint32_t>(exposed_.size()) + 1; }
    bool get_info(uint32_t index, clap_param_info_t* info) const;
    bool get_value(clap_id id, double* value) const;
    bool value_to_text(clap_id id, double value, char* text, uint32_t capacity) const;
    bool text_to_value(clap_id id, const char* text, double* value) const;

    // Applies a plain value; unknown ids and NaN are ignored. Allocates nothing and takes no
    // lock but the parameter's own, so the audio thread may call it.
    void set(clap_id id, double value);
    // Applies every parameter value event of a list, whatever its time.
    void apply_all(const clap_input_events_t* events);

    bool bypassed() const { return bypassed_.load(std::memory_order_relaxed); }
    void set_bypassed(bool on) { bypassed_.store(on, std::memory_order_relaxed); }

private:
    struct exposed {
        int index;  // plug-in parameter index, also the CLAP id
        const param_kind* kind;
        double minimum, maximum, default_value;  // in the kind's unit
    };
    const exposed* find(clap_id id) const;
    double clamp(const exposed& p, double value) const;

    axo_plugin_i* plugin_;
    std::vector<exposed> exposed_;
    std::atomic<bool> bypassed_{false};
};

// The parameter value event a list holds at index, or null for anything else: events of
// other spaces or types and records too short for their type are skipped.
const clap_event_param_value_t* clap_param_event(const clap_input_events_t* events, uint32_t index);
// Number of events in a list; 0 for a list without the function.
uint32_t clap_event_count(const clap_input_events_t* events);
