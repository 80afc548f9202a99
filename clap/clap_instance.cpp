#include "clap/clap_instance.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <utility>

#include "framework/axo_codes.h"
#include "glue/param_kind.h"

clap_instance* clap_instance::create(axo_factory_i* factory, int channels,
                                     const clap_plugin_descriptor_t* descriptor) {
    std::unique_ptr<axo_factory_i> owned(factory);
    if (!owned) return nullptr;
    std::unique_ptr<axo_plugin_i> plugin(owned->create_plugin());
    if (!plugin) return nullptr;
    if (plugin->set_channel_count(AXO_DIR_AUDIO_IN, channels) == 0 ||
        plugin->set_channel_count(AXO_DIR_AUDIO_OUT, channels) == 0 ||
        plugin->get_channel_count(AXO_DIR_AUDIO_IN) != channels ||
        plugin->get_channel_count(AXO_DIR_AUDIO_OUT) != channels) {
        return nullptr;
    }
    plugin->set_block_size(chunk_runner::chunk_frames);
    return new clap_instance(std::move(owned), std::move(plugin), channels, descriptor);
}

clap_instance::clap_instance(std::unique_ptr<axo_factory_i> factory,
                             std::unique_ptr<axo_plugin_i> plugin, int channels,
                             const clap_plugin_descriptor_t* descriptor)
    : factory_(std::move(factory)),
      plugin_(std::move(plugin)),
      channels_(channels),
      params_(plugin_.get()) {
    record_.desc = descriptor;
    record_.plugin_data = this;
    plugin_->set_host(&host_);
    if (plugin_->extension(AXO_METER_KEY, &meter_, sizeof meter_) != 1) meter_ = nullptr;
    runner_.prepare(plugin_.get(), channels);
}

clap_instance::~clap_instance() {
    plugin_->set_host(nullptr);
    plugin_.reset();
}

bool clap_instance::activate(double sample_rate) {
    // The plug-in judges the rate, but only a rate a float can hold reaches it.
    if (!(sample_rate > 0.0 && sample_rate <= FLT_MAX)) return false;
    const auto rate = static_cast<float>(sample_rate);
    if (plugin_->is_sample_rate_supported(rate) == 0 || plugin_->set_sample_rate(rate) == 0) {
        return false;
    }
    reset();
    return true;
}

void clap_instance::reset() {
    plugin_->reset();
    runner_.reset();
    if (meter_ != nullptr) meter_->take_lowest_gain();
    gain_db_ = 0.0;
}

void clap_instance::stop_processing() {
    gain_db_ = 0.0;
}

bool clap_instance::take_buffers(const clap_process_t* p) {
    const clap_audio_buffer_t* in = p->audio_inputs_count > 0 ? p->audio_inputs : nullptr;
    const clap_audio_buffer_t* out = p->audio_outputs_count > 0 ? p->audio_outputs : nullptr;
    const auto n = static_cast<uint32_t>(channels_);
    const bool has_in = in != nullptr && in->data32 != nullptr && in->channel_count >= n;
    if (out == nullptr || out->data32 == nullptr || out->channel_count < n) return false;
    for (int c = 0; c < channels_; ++c) {
        in_[c] = has_in ? in->data32[c] : nullptr;
        out_[c] = out->data32[c];
        if (out_[c] == nullptr) return false;
    }
    // No output channel is flagged constant: the limiter's output is whatever it is.
    for (uint32_t port = 0; port < p->audio_outputs_count; ++port) {
        p->audio_outputs[port].constant_mask = 0;
    }
    return true;
}

clap_process_status clap_instance::process(const clap_process_t* p) {
    if (p == nullptr) return CLAP_PROCESS_ERROR;
    const bool usable = take_buffers(p);
    const uint32_t frames = p->frames_count;
    const uint32_t events = clap_event_count(p->in_events);
    uint32_t done = 0;
    for (uint32_t i = 0; i < events; ++i) {
        const clap_event_param_value_t* e = clap_param_event(p->in_events, i);
        if (e == nullptr) continue;
        // A change takes effect at its frame; one out of order or past the end at once.
        const uint32_t at = std::min(e->header.time, frames);
        if (usable && at > done) render(done, at);
        done = std::max(done, at);
        params_.set(e->param_id, e->value);
    }
    if (usable && frames > done) render(done, frames);
    update_meter(usable && frames > 0);
    return CLAP_PROCESS_CONTINUE;
}

void clap_instance::render(uint32_t from, uint32_t to) {
    const bool bypassed = params_.bypassed();
    while (from < to) {
        const int n = static_cast<int>(std::min<uint32_t>(to - from, chunk_runner::chunk_frames));
        runner_.run_chunk(in_, out_, from, n, bypassed);
        from += static_cast<uint32_t>(n);
    }
}

void clap_instance::update_meter(bool processed) {
    if (meter_ == nullptr || !processed) return;
    // The first call ends the block's measurement, the second reads the gain it ended on.
    meter_->take_lowest_gain();
    const float gain = meter_->take_lowest_gain();
    // A bypassed limiter reduces nothing that is heard.
    gain_db_ = params_.bypassed() || !(gain < 1.0f)
                   ? 0.0
                   : find_param_kind(AXO_KIND_GAIN)->to_unit(static_cast<double>(gain));
}
