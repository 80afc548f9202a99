// VST3 hosts set parameters, read texts and save or load state on their UI thread while
// the processing thread runs, which may change between calls; under ThreadSanitizer this
// finds any access the two sides share without the parameters' locks or atomics.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "support/vst3_host.h"

using namespace vst3;

TEST(Vst3Threads, UiCallsDuringProcessingRaceNothingAndTheLastValuesHold) {
    vst3_module module;
    vst3_instance i(module);
    ASSERT_TRUE(i.start(2, 44100.0, 256));
    std::vector<std::vector<float>> in(2, std::vector<float>(256));
    for (size_t t = 0; t < 256; ++t)
        in[0][t] = in[1][t] = 1.5f * std::sin(0.05f * static_cast<float>(t));

    std::atomic<bool> ui_done{false};
    std::atomic<int> blocks{0};
    std::thread ui([&] {
        const bytes saved = i.state();
        String128 text{};
        for (int round = 0; round < 300 || blocks < 100; ++round) {
            for (ParamID id : {0u, 1u, 2u, 1000u}) {
                i.set(id,
                      static_cast<double>((round * 7 + static_cast<int>(id) * 13) % 101) / 100.0);
                i.controller->getParamStringByValue(id, i.controller->getParamNormalized(id), text);
            }
            i.controller->getParamNormalized(1001);
            if (round % 50 == 0) {
                EXPECT_EQ(i.set_state(saved), kResultOk);
            }
            EXPECT_FALSE(i.state().empty());
        }
        i.set(2, 0.25);
        ui_done = true;
    });
    // Blocks go on until two have begun after the last value was set.
    for (int after = 0; after < 2; ++blocks) {
        if (ui_done) ++after;
        std::thread audio([&] {
            std::vector<std::vector<float>> out = in;
            EXPECT_EQ(i.process(in, out), kResultOk);
        });
        audio.join();
    }
    ui.join();
    EXPECT_NEAR(i.controller->getParamNormalized(2), 0.25, 1e-6);
}
