// Time per stereo frame of the limiter, reached as a native host reaches it, for 512-frame
// blocks of a signal that stays below the threshold and of one limited by 12 dB or more.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"

namespace {

constexpr int block_frames = 512;

void run_blocks(benchmark::State& state, float amplitude) {
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    plugin->set_sample_rate(44100.0f);
    plugin->set_block_size(block_frames);

    // Two sines of unrelated periods, so the peaks fall anywhere in the block.
    std::vector<float> left(block_frames), right(block_frames);
    for (int t = 0; t < block_frames; ++t) {
        left[t] = amplitude * static_cast<float>(std::sin(0.0731 * t));
        right[t] = amplitude * static_cast<float>(std::sin(0.0419 * t + 1.0));
    }
    std::vector<float> out_left(block_frames), out_right(block_frames);
    int64_t position = 0;
    for (auto _ : state) {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {out_left.data(), out_right.data()};
        plugin->process(position, ins, 1, outs, 1, nullptr, block_frames);
        benchmark::DoNotOptimize(out_left.data());
        benchmark::DoNotOptimize(out_right.data());
        benchmark::ClobberMemory();
        position += block_frames;
    }
    const auto frames = static_cast<int64_t>(state.iterations()) * block_frames;
    state.SetItemsProcessed(frames);
    // Seconds per stereo frame ("n" in the output means nanoseconds).
    state.counters["per_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Peaks at 0.9 of the threshold: the gain never moves.
void below_threshold(benchmark::State& state) {
    run_blocks(state, 0.9f);
}
// Peaks at 5.0, 14 dB over the threshold: the peak hold and the gain work on every cycle.
void limited_by_14_db(benchmark::State& state) {
    run_blocks(state, 5.0f);
}

}  // namespace

BENCHMARK(below_threshold);
BENCHMARK(limited_by_14_db);

BENCHMARK_MAIN();
