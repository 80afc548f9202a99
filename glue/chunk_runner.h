// Runs the plug-in over a host's buffers a chunk at a time, reading the input through a delay
// line as long as the plug-in's latency. The plug-in reads from the line, so a host's outputs
// may share its inputs' buffers; a bypassed instance plays the line's oldest frames, the input
// as late as the limited output would be, while the plug-in keeps running on the input so
// that switching back continues without a gap. Every adapter that offers a bypass keeping the
// latency runs its audio through one of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class axo_plugin_i;

class chunk_runner {
public:
    // Frames of one call to the plug-in; adapters split longer stretches.
    static constexpr int chunk_frames = 512;

    // Sizes the lines for 1 or 2 channels and takes the plug-in's latency. Allocates: called
    // when an instance is made, never while processing.
    void prepare(axo_plugin_i* plugin, int channels);
    // Empties the lines and starts the sample position again at 0.
    void reset();
    int latency() const { return latency_; }

    // Processes `frames` (at most chunk_frames) frames of in[c] + offset into out[c] + offset,
    // for each channel c; a null input channel is silence. Allocates nothing.
    void run_chunk(const float* const* in, float* const* out, size_t offset, int frames,
                   bool bypassed);

private:
    axo_plugin_i* plugin_ = nullptr;
    int channels_ = 0;
    int latency_ = 0;
    int64_t position_ = 0;
    // Per channel: the last latency_ input frames, then the frames of the current chunk.
    std::vector<std::vector<float>> dry_;
    // Where the plug-in's output goes while bypassed.
    std::vector<std::vector<float>> idle_out_;
};
