#include "glue/chunk_runner.h"

#include <algorithm>
#include <cstring>

#include "framework/axo_plugin_i.h"

void chunk_runner::prepare(axo_plugin_i* plugin, int channels) {
    plugin_ = plugin;
    channels_ = channels;
    latency_ = std::max(plugin->get_latency(), 0);
    const auto n = static_cast<size_t>(channels);
    dry_.assign(n, std::vector<float>(static_cast<size_t>(latency_ + chunk_frames)));
    idle_out_.assign(n, std::vector<float>(static_cast<size_t>(chunk_frames)));
    position_ = 0;
}

void chunk_runner::reset() {
    position_ = 0;
    for (auto& channel : dry_) std::fill(channel.begin(), channel.end(), 0.0f);
}

void chunk_runner::run_chunk(const float* const* in, float* const* out, size_t offset, int frames,
                             bool bypassed) {
    float* plugin_in[2] = {};
    float* plugin_out[2] = {};
    const auto bytes = static_cast<size_t>(frames) * sizeof(float);
    for (int c = 0; c < channels_; ++c) {
        float* dry = dry_[static_cast<size_t>(c)].data();
        if (in[c] != nullptr) {
            std::memcpy(dry + latency_, in[c] + offset, bytes);
        } else {
            std::memset(dry + latency_, 0, bytes);
        }
        plugin_in[c] = dry + latency_;
        plugin_out[c] = bypassed ? idle_out_[static_cast<size_t>(c)].data() : out[c] + offset;
    }
    if (channels_ == 1) {
        plugin_in[1] = plugin_in[0];
        plugin_out[1] = plugin_out[0];
    }
    plugin_->process(position_, plugin_in, 1, plugin_out, 1, nullptr, frames);
    position_ += frames;
    for (int c = 0; c < channels_; ++c) {
        float* dry = dry_[static_cast<size_t>(c)].data();
        if (bypassed) std::memcpy(out[c] + offset, dry, bytes);
        // The newest latency_ frames become the history in front of the next chunk.
        std::memmove(dry, dry + frames, static_cast<size_t>(latency_) * sizeof(float));
    }
}
