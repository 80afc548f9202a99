// Time per stereo frame of the limiter, reached as a native host reaches it, in one run:
// the frame-by-frame model, the plug-in on each of its code paths (alone and with its
// gain-reduction meter read after every call), and a plain copy of the same buffers as the
// floor. Blocks of 32, 64, 512 and 4096 frames, on a signal that stays
// below the threshold and on one limited by 14 dB.
//
// Read the "per_frame" column: nanoseconds per stereo frame. Timings depend on the machine
// and its load, so compare only figures from the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_meter_i.h"
#include "framework/axo_plugin_i.h"
#include "limiter/limitZ_signal_path.h"
#include "limiter/limiter_model.h"  // tests/limiter

namespace {

// The blocks step through a signal this long, so that small blocks do not repeat one
// fragment over and over.
constexpr int signal_frames = 4096;

struct stereo_signal {
    std::vector<float> left, right;
};

// Two sines of unrelated periods, so the peaks fall anywhere in a block.
stereo_signal make_signal(float amplitude) {
    stereo_signal s{std::vector<float>(signal_frames), std::vector<float>(signal_frames)};
    for (int t = 0; t < signal_frames; ++t) {
        s.left[t] = amplitude * static_cast<float>(std::sin(0.0731 * t));
        s.right[t] = amplitude * static_cast<float>(std::sin(0.0419 * t + 1.0));
    }
    return s;
}

// Peaks at 0.9 of the threshold: the gain never moves.
const stereo_signal& below_threshold() {
    static const stereo_signal s = make_signal(0.9f);
    return s;
}
// Peaks at 5.0, 14 dB over the threshold: the peak hold and the gain work all the time.
const stereo_signal& limited() {
    static const stereo_signal s = make_signal(5.0f);
    return s;
}

void report(benchmark::State& state, int block) {
    const auto frames = static_cast<int64_t>(state.iterations()) * block;
    state.SetItemsProcessed(frames);
    // Seconds per stereo frame ("n" in the output means nanoseconds).
    state.counters["per_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Calls fn(offset) for successive blocks of the signal, forever (until the state stops).
template <class F>
void over_blocks(benchmark::State& state, int block, F fn) {
    int offset = 0;
    for (auto _ : state) {
        fn(offset);
        benchmark::ClobberMemory();
        offset += block;
        if (offset + block > signal_frames) offset = 0;
    }
    report(state, block);
}

// With read_meter, the gain-reduction meter is read after every call, as an adapter that
// shows it does.
void run_plugin(benchmark::State& state, const stereo_signal* signal, int block, limitZ_path path,
                bool read_meter) {
    if (!limitZ_select_path(path)) {
        state.SkipWithError("this processor lacks the path");
        return;
    }
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
    plugin->set_sample_rate(44100.0f);
    plugin->set_block_size(block);
    axo_meter_i* meter = nullptr;
    if (read_meter && plugin->extension(AXO_METER_KEY, &meter, sizeof meter) != 1) {
        state.SkipWithError("the plug-in offers no meter");
        return;
    }
    float lowest = 1.0f;
    std::vector<float> out_left(signal_frames), out_right(signal_frames);
    int64_t position = 0;
    over_blocks(state, block, [&](int offset) {
        float* ins[2] = {const_cast<float*>(signal->left.data()) + offset,
                         const_cast<float*>(signal->right.data()) + offset};
        float* outs[2] = {out_left.data() + offset, out_right.data() + offset};
        plugin->process(position, ins, 1, outs, 1, nullptr, block);
        if (meter != nullptr) lowest = meter->take_lowest_gain();
        position += block;
    });
    benchmark::DoNotOptimize(lowest);
    limitZ_select_path(limitZ_path::automatic);
}

void run_model(benchmark::State& state, const stereo_signal* signal, int block) {
    limiter_model model;
    std::vector<float> out_left(signal_frames), out_right(signal_frames);
    over_blocks(state, block, [&](int offset) {
        model.process(signal->left.data() + offset, signal->right.data() + offset,
                      out_left.data() + offset, out_right.data() + offset, block, 2, 1.0f, 1.0f,
                      0.2f, 44100.0f);
    });
}

void run_copy(benchmark::State& state, const stereo_signal* signal, int block) {
    std::vector<float> out_left(signal_frames), out_right(signal_frames);
    const size_t bytes = static_cast<size_t>(block) * sizeof(float);
    over_blocks(state, block, [&](int offset) {
        std::memcpy(out_left.data() + offset, signal->left.data() + offset, bytes);
        std::memcpy(out_right.data() + offset, signal->right.data() + offset, bytes);
    });
}

void register_all() {
    const struct {
        const char* name;
        const stereo_signal& signal;
    } signals[] = {{"limited", limited()}, {"below_threshold", below_threshold()}};
    const struct {
        const char* name;
        limitZ_path path;
    } paths[] = {
        {"scalar", limitZ_path::scalar}, {"sse2", limitZ_path::sse2}, {"avx2", limitZ_path::avx2}};
    for (const auto& s : signals) {
        for (int block : {32, 64, 512, 4096}) {
            const std::string prefix = std::string(s.name) + "/" + std::to_string(block) + "/";
            const stereo_signal* signal = &s.signal;
            benchmark::RegisterBenchmark((prefix + "model").c_str(), run_model, signal, block);
            for (const auto& p : paths) {
                benchmark::RegisterBenchmark((prefix + p.name).c_str(), run_plugin, signal, block,
                                             p.path, false);
                benchmark::RegisterBenchmark((prefix + p.name + "+meter").c_str(), run_plugin,
                                             signal, block, p.path, true);
            }
            benchmark::RegisterBenchmark((prefix + "copy").c_str(), run_copy, signal, block);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    register_all();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
