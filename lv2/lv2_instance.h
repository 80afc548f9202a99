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

    // Frames of one call to the plug-in; run() splits longer blocks.
    static constexpr int chunk_frames = 512;

private:
    lv2_instance(std::unique_ptr<axo_factory_i> factory, std::unique_ptr<axo_plugin_i> plugin,
                 int channels);

    void apply_controls();
    void run_chunk(int offset, int frames, bool enabled);
    float* port_buffer(uint32_t port) const;

    // Declared so that destruction takes the plug-in first, then its factory and host.
    dummy_host host_;
    std::unique_ptr<axo_factory_i> factory_;
    std::unique_ptr<axo_plugin_i> plugin_;
    lv2_port_layout layout_;
    axo_meter_i* meter_ = nullptr;
    int latency_ = 0;
    // Frames processed since activation: the plug-in's sample position.
    int64_t position_ = 0;
    std::vector<float*> ports_;
    // The control values last handed to the plug-in, so unchanged ports cost nothing.
    std::vector<float> applied_;
    // Per channel: the last latency_ input frames and then the frames of the current chunk.
    // The plug-in reads its input from here, so outputs may share the inputs' buffers, and a
    // bypassed instance plays it latency_ frames late, as in time as the limited output.
    std::vector<std::vector<float>> dry_;
    // Where the plug-in's output goes while bypassed: it keeps running, so enabling it again
    // continues without a gap.
    std::vector<std::vector<float>> idle_out_;
};
