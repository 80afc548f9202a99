// One running LV2 plug-in: wraps one AXOI instance, as vstdsp does for VST. The host connects
// ports (their buffers may move between calls) and calls run() on its audio thread; run()
// allocates nothing, takes no lock but the parameters' own, and works in round-to-nearest.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/axo_factory_i.h"
#include "framework/axo_meter_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/chunk_runner.h"
#include "glue/dummy_host.h"
#include "lv2/lv2_port_layout.h"

class lv2_instance {
public:
    // Null when the plug-in cannot be made, lacks this channel configuration or does not
    // accept the sample rate. Takes ownership of factory.
    static lv2_instance* create(axo_factory_i* factory, const lv2_variant& variant,
                                double sample_rate);
    ~lv2_instance();
    lv2_instance(const lv2_instance&) = delete;
    lv2_instance& operator=(const lv2_instance&) = delete;

    // Stores the buffer of a port; ports out of range are ignored.
    void connect_port(uint32_t port, void* data);
    // Clears the delay lines and the gain, before processing starts again.
    void activate();
    void run(uint32_t frames);

private:
    lv2_instance(std::unique_ptr<axo_factory_i> factory, std::unique_ptr<axo_plugin_i> plugin,
                 int channels);

    void apply_controls();
    float* port_buffer(uint32_t port) const;

    // Declared so that destruction takes the plug-in first, then its factory and host.
    dummy_host host_;
    std::unique_ptr<axo_factory_i> factory_;
    std::unique_ptr<axo_plugin_i> plugin_;
    lv2_port_layout layout_;
    axo_meter_i* meter_ = nullptr;
    // Runs the audio, through the delay line that a bypassed instance plays from.
    chunk_runner runner_;
    std::vector<float*> ports_;
    // The control values last handed to the plug-in, so unchanged ports cost nothing.
    std::vector<float> applied_;
};
