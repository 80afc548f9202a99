// The parameter bridge: the host's list of parameters with IDs, normalised values 0..1,
// plain values in the unit a host shows, and texts both ways, over the plug-in's typed
// parameters. The plug-in's exposed parameters come first, in its order, with ID k for the
// k-th; then the bypass switch and the read-only gain-reduction meter, which live here.
//
// Threads: the host sets values from its UI thread and from process (automation); the
// plug-in's parameters take their own locks, bypass and meter are atomics.
#pragma once

#include <atomic>
#include <vector>

#include "vst3/vst3_abi.h"

class axo_plugin_i;

constexpr vst3::ParamID vst3_bypass_id = 1000;
constexpr vst3::ParamID vst3_meter_id = 1001;

class vst3_params {
public:
    // plugin's current values become the defaults hosts reset to: pass a fresh instance.
    explicit vst3_params(axo_plugin_i* plugin);

    vst3::int32 count() const { return static_cast<vst3::int32>(exposed_.size()) + 2; }
    // Fills info for a list position; false for a position out of range.
    bool info(vst3::int32 index, vst3::ParameterInfo& info) const;
    bool is_known(vst3::ParamID id) const;

    // The value in the unit a host shows (dB, ms, an option's index), and back; both
    // clamp to the parameter's range.
    double to_plain(vst3::ParamID id, double normalized) const;
    double to_normalized(vst3::ParamID id, double plain) const;
    // The display text of a normalised value, into 128 UTF-16 units; false for an unknown ID.
    bool text_of(vst3::ParamID id, double normalized, vst3::char16* text) const;
    // The normalised value a typed text means; false when it means none.
    bool value_of(vst3::ParamID id, const vst3::char16* text, double& normalized) const;

    double normalized(vst3::ParamID id) const;
    // Applies a value at once; the meter, being read-only, ignores it.
    void set_normalized(vst3::ParamID id, double normalized);

    bool bypassed() const { return bypass_.load(std::memory_order_relaxed); }
    // The meter's reading, in dB of reduction.
    void set_meter_db(double reduction_db);
    double meter_normalized() const { return meter_.load(std::memory_order_relaxed); }

private:
    // The plug-in parameter behind an ID, or -1.
    int param_of(vst3::ParamID id) const;
    // Discrete positions a parameter without a real value has, minus one; 0 for real ones.
    int step_count(int param) const;
    // The parameter's own value at a normalised position, and the position of a value.
    double plain_value(int param, double normalized) const;
    double unmap(int param, double value) const;

    axo_plugin_i* plugin_;
    std::vector<int> exposed_;      // entry k: the plug-in index behind ID k
    std::vector<double> defaults_;  // entry k: ID k's normalised default
    std::atomic<bool> bypass_{false};
    std::atomic<double> meter_{0.0};
};
