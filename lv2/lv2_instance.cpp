#include "lv2/lv2_instance.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <utility>

#include "framework/axo_codes.h"
#include "glue/rounding_guard.h"

lv2_instance* lv2_instance::create(axo_factory_i* factory, const lv2_variant& variant,
                                   double sample_rate) {
    std::unique_ptr<axo_factory_i> owned(factory);
    if (!owned) return nullptr;
    std::unique_ptr<axo_plugin_i> plugin(owned->create_plugin());
    if (!plugin) return nullptr;
    // The plug-in judges the rate, but only a rate a float can hold reaches it.
    if (!(sample_rate > 0.0 && sample_rate <= FLT_MAX)) return nullptr;
    const auto rate = static_cast<float>(sample_rate);
    const int n = variant.channels;
    if (plugin->set_channel_count(AXO_DIR_AUDIO_IN, n) == 0 ||
        plugin->set_channel_count(AXO_DIR_AUDIO_OUT, n) == 0 ||
        plugin->get_channel_count(AXO_DIR_AUDIO_IN) != n ||
        plugin->get_channel_count(AXO_DIR_AUDIO_OUT) != n ||
        plugin->is_sample_rate_supported(rate) == 0 || plugin->set_sample_rate(rate) == 0) {
        return nullptr;
    }
    plugin->set_block_size(chunk_runner::chunk_frames);
    return new lv2_instance(std::move(owned), std::move(plugin), n);
}

lv2_instance::lv2_instance(std::unique_ptr<axo_factory_i> factory,
                           std::unique_ptr<axo_plugin_i> plugin, int channels)
    : factory_(std::move(factory)), plugin_(std::move(plugin)), layout_(plugin_.get(), channels) {
    plugin_->set_host(&host_);
    if (plugin_->extension(AXO_METER_KEY, &meter_, sizeof meter_) != 1) meter_ = nullptr;
    runner_.prepare(plugin_.get(), channels);
    ports_.assign(layout_.port_count(), nullptr);
    // NaN: no value handed over yet, so the first run applies every control.
    applied_.assign(layout_.controls().size(), std::nanf(""));
}

lv2_instance::~lv2_instance() {
    plugin_->set_host(nullptr);
    plugin_.reset();
}

void lv2_instance::connect_port(uint32_t port, void* data) {
    if (port < ports_.size()) ports_[port] = static_cast<float*>(data);
}

float* lv2_instance::port_buffer(uint32_t port) const {
    return ports_[port];
}

void lv2_instance::activate() {
    rounding_guard guard;
    plugin_->reset();
    runner_.reset();
    if (meter_ != nullptr) meter_->take_lowest_gain();
}

void lv2_instance::apply_controls() {
    const auto& controls = layout_.controls();
    for (size_t k = 0; k < controls.size(); ++k) {
        const float* port = port_buffer(layout_.control(static_cast<int>(k)));
        if (port == nullptr) continue;
        const float v = *port;
        // A NaN from the host changes nothing; an unchanged value needs no lock.
        if (v != v || v == applied_[k]) continue;
        applied_[k] = v;
        const lv2_control& c = controls[k];
        if (has_real_value(c.kind->kind)) {
            plugin_->set_param_value(c.param, static_cast<float>(lv2_to_param(c, v)));
        } else {
            const float clamped = v < c.minimum ? c.minimum : (v > c.maximum ? c.maximum : v);
            plugin_->set_param_int(c.param, static_cast<int>(std::lround(clamped)));
        }
    }
}

void lv2_instance::run(uint32_t frames) {
    rounding_guard guard;
    apply_controls();
    // Values at or below 0 disable; anything else, NaN included, enables.
    const float* enable = port_buffer(layout_.enable());
    const bool enabled = enable == nullptr || !(*enable <= 0.0f);

    bool connected = true;
    const float* in[2] = {};
    float* out[2] = {};
    for (int c = 0; c < layout_.channels(); ++c) {
        in[c] = port_buffer(layout_.audio_in(c));
        out[c] = port_buffer(layout_.audio_out(c));
        connected = connected && in[c] != nullptr && out[c] != nullptr;
    }
    float lowest = 1.0f;
    if (connected) {
        const int total = frames > 0x7fffffffu ? 0x7fffffff : static_cast<int>(frames);
        for (int offset = 0; offset < total; offset += chunk_runner::chunk_frames) {
            const int n = std::min(total - offset, chunk_runner::chunk_frames);
            runner_.run_chunk(in, out, offset, n, !enabled);
            if (meter_ != nullptr) {
                const float g = meter_->take_lowest_gain();
                if (g < lowest) lowest = g;
            }
        }
    }

    if (float* port = port_buffer(layout_.latency())) *port = static_cast<float>(runner_.latency());
    if (float* port = port_buffer(layout_.gain_reduction())) {
        // A bypassed limiter reduces nothing that is heard.
        *port = enabled && lowest < 1.0f
                    ? static_cast<float>(-find_param_kind(AXO_KIND_GAIN)->to_unit(lowest))
                    : 0.0f;
    }
}
