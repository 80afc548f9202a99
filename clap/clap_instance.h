// One CLAP plug-in instance: wraps one AXOI instance, as lv2_instance does for LV2. The host
// record the host holds (clap_plugin_t) is a member, so the C entry points reach this object
// through its plugin_data.
//
// process() allocates nothing, takes no lock but the parameters' own and works in
// round-to-nearest; parameter value events split the block at their frames.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "clap/clap_abi.h"
#include "clap/clap_params.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_meter_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/chunk_runner.h"
#include "glue/dummy_host.h"

class clap_instance {
public:
    // Null when the plug-in cannot be made or lacks the channel count. Takes ownership of
    // factory; the caller fills in the record's functions.
    static clap_instance* create(axo_factory_i* factory, int channels,
                                 const clap_plugin_descriptor_t* descriptor);
    ~clap_instance();
    clap_instance(const clap_instance&) = delete;
    clap_instance& operator=(const clap_instance&) = delete;

    clap_plugin_t& record() { return record_; }
    int channels() const { return channels_; }
    axo_plugin_i& plugin() { return *plugin_; }
    clap_params& params() { return params_; }
    uint32_t latency() const { return static_cast<uint32_t>(runner_.latency()); }

    // False for a rate the plug-in does not take.
    bool activate(double sample_rate);
    // Clears the delay lines and the gain, keeping the parameters.
    void reset();
    void stop_processing();
    clap_process_status process(const clap_process_t* process);
    // The gain change at the end of the latest block, in dB: 0 when nothing is reduced,
    // bypassed or stopped, negative while limiting.
    double gain_adjustment_db() const { return gain_db_.load(std::memory_order_relaxed); }

private:
    clap_instance(std::unique_ptr<axo_factory_i> factory, std::unique_ptr<axo_plugin_i> plugin,
                  int channels, const clap_plugin_descriptor_t* descriptor);

    // Channel pointers of a block; false when the host gave no usable output.
    bool take_buffers(const clap_process_t* process);
    void render(uint32_t from, uint32_t to);
    void update_meter(bool processed);

    // Declared so that destruction takes the plug-in first, then its factory and host.
    dummy_host host_;
    std::unique_ptr<axo_factory_i> factory_;
    std::unique_ptr<axo_plugin_i> plugin_;
    clap_plugin_t record_{};
    int channels_;
    clap_params params_;
    axo_meter_i* meter_ = nullptr;
    std::atomic<double> gain_db_{0.0};
    // The block being processed; an input without data is taken as silence.
    const float* in_[2] = {};
    float* out_[2] = {};
    // Runs the audio, through the delay line that a bypassed instance plays from.
    chunk_runner runner_;
};
