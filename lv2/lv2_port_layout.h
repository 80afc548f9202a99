// The ports of one LV2 plug-in variant, worked out from the plug-in's own AXOI answers: the
// Turtle generator describes them and the running adapter serves them, so both always agree.
//
// LV2 fixes port counts, so each channel configuration is a plug-in of its own. Port order:
// the audio inputs, the audio outputs, one control input per exposed parameter (in the
// plug-in's order), then enable, latency and gain_reduction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "glue/param_kind.h"

class axo_factory_i;
class axo_plugin_i;

// A channel configuration offered as a plug-in: its URI is the plug-in's web address with
// "#" and the name.
struct lv2_variant {
    const char* name;
    int channels;  // audio inputs, and as many outputs
};
constexpr lv2_variant lv2_variants[] = {{"stereo", 2}, {"mono", 1}};
constexpr int lv2_variant_count = static_cast<int>(sizeof lv2_variants / sizeof lv2_variants[0]);

// Factory information string that gives the plug-ins' base URI (the web address).
constexpr int lv2_uri_info = 5;
std::string lv2_plugin_uri(axo_factory_i* factory, const lv2_variant& variant);

// One control input: a plug-in parameter shown in its kind's unit.
struct lv2_control {
    int param;  // plug-in parameter index
    const param_kind* kind;
    std::string symbol;  // the name in lower case, other characters as '_'
    std::string name;
    float minimum;  // in the kind's unit
    float maximum;
    float default_value;
    bool logarithmic;                  // the parameter maps a host's position exponentially
    std::vector<std::string> options;  // texts of a selection's options
};

class lv2_port_layout {
public:
    // plugin must already have channels audio inputs and outputs; its current values are
    // taken as the defaults, so pass a freshly created instance.
    lv2_port_layout(axo_plugin_i* plugin, int channels);

    int channels() const { return channels_; }
    const std::vector<lv2_control>& controls() const { return controls_; }

    uint32_t audio_in(int channel) const { return static_cast<uint32_t>(channel); }
    uint32_t audio_out(int channel) const { return static_cast<uint32_t>(channels_ + channel); }
    uint32_t control(int k) const { return static_cast<uint32_t>(2 * channels_ + k); }
    uint32_t enable() const { return control(static_cast<int>(controls_.size())); }
    uint32_t latency() const { return enable() + 1; }
    uint32_t gain_reduction() const { return enable() + 2; }
    uint32_t port_count() const { return enable() + 3; }

private:
    int channels_;
    std::vector<lv2_control> controls_;
};

// A port value in a control's unit as the parameter's own value, and back.
double lv2_to_param(const lv2_control& control, float port_value);
float lv2_from_param(const lv2_control& control, double value);
