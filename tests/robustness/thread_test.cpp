// Hosts call setParameter, getParameter and the display texts from their user-interface
// thread while the audio thread processes, and run many effects on many threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "busy_signal.h"
#include "support/vst_effect.h"

namespace {

constexpr VstInt32 param_count = 3;
constexpr VstInt32 block = 256;

// Audio this quiet is never limited, whatever the threshold: the gain stays at unity, so the
// output of a block depends on nothing but the controls in force.
std::vector<float> quiet_block() {
    std::vector<float> v(block);
    for (size_t t = 0; t < v.size(); ++t)
        v[t] = 0.01f * static_cast<float>(std::sin(0.2 * static_cast<double>(t)));
    return v;
}

stereo process_block(vst_effect& fx, const std::vector<float>& audio) {
    stereo in(0);
    in.l = in.r = audio;
    return fx.run(in, {block});
}

TEST(Threads, ParameterCallsDuringProcessingRaceNothingAndTheLastValueSetIsUsed) {
    const float last[param_count] = {0.3f, 0.6f, 0.45f};
    const std::vector<float> audio = quiet_block();
    vst_effect fx;
    fx.start(44100.0f, block);

    // The setter keeps changing the controls until the audio thread has processed many
    // blocks meanwhile, then sets the last values; processing goes on until two whole blocks
    // have begun after that.
    std::atomic<int> blocks_done{0};
    std::atomic<bool> setter_done{false};
    std::atomic<bool> bad_answer{false};
    std::thread setter([&] {
        char text[64];
        for (int round = 0; round < 2000 || blocks_done < 200; ++round) {
            for (VstInt32 i = 0; i < param_count; ++i) {
                fx.set(i, static_cast<float>((round * 7 + i * 13) % 101) / 100.0f);
                const float v = fx.get(i);
                fx.dispatch(effGetParamDisplay, i, 0, text);
                if (!(v >= 0.0f && v <= 1.0f) || text[0] == '\0') bad_answer = true;
            }
        }
        for (VstInt32 i = 0; i < param_count; ++i) fx.set(i, last[i]);
        setter_done = true;
    });

    stereo latest;
    bool all_finite = true;
    int blocks_after = -1;
    while (blocks_after < 2) {
        latest = process_block(fx, audio);
        for (float y : latest.l) all_finite &= std::isfinite(y);
        ++blocks_done;
        if (blocks_after >= 0 || setter_done) ++blocks_after;
    }
    setter.join();
    EXPECT_TRUE(all_finite);
    EXPECT_FALSE(bad_answer);

    vst_effect reference;
    reference.start(44100.0f, block);
    for (VstInt32 i = 0; i < param_count; ++i) reference.set(i, last[i]);
    process_block(reference, audio);
    EXPECT_EQ(latest, process_block(reference, audio));
    for (VstInt32 i = 0; i < param_count; ++i) {
        EXPECT_EQ(fx.get(i), reference.get(i)) << i;
        EXPECT_EQ(fx.display(i), reference.display(i)) << i;
    }
}

TEST(Threads, EffectsOnParallelThreadsProcessAsTheyWouldAlone) {
    constexpr int threads = 4;
    constexpr int blocks = 60;
    const stereo in = busy_signal(static_cast<size_t>(block) * blocks, 5);
    // Each effect is made, set, run and closed on its own thread.
    auto render = [&](int n) {
        vst_effect fx;
        fx.start(44100.0f + 1000.0f * static_cast<float>(n), block);
        fx.set(0, 0.2f * static_cast<float>(n));
        fx.set(2, 0.1f + 0.2f * static_cast<float>(n));
        return fx.run(in, std::vector<VstInt32>(blocks, block));
    };

    std::vector<stereo> parallel(threads);
    std::vector<std::thread> pool;
    for (int n = 0; n < threads; ++n)
        pool.emplace_back([&, n] { parallel[static_cast<size_t>(n)] = render(n); });
    for (std::thread& t : pool) t.join();
    for (int n = 0; n < threads; ++n)
        EXPECT_EQ(parallel[static_cast<size_t>(n)], render(n)) << "effect " << n;
}

}  // namespace
