// A CLAP host calls the main-thread functions (values, texts, state) while its audio thread
// processes, and may init and deinit the module from several threads; run under
// ThreadSanitizer by the tsan preset.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "clap/clap_params.h"
#include "support/clap_host.h"

TEST(ClapThreads, MainThreadCallsDuringProcessingRaceNothingAndStatesStayWhole) {
    clap_session s;
    ASSERT_TRUE(s.start(44100.0, 256));
    const bytes good = s.save();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        const channels in = clap_signal(2, 256, 1.0f);
        for (int b = 0; !done || b < 200; ++b) {
            s.process(in, {clap_param_value(0, -3.0 * (b % 7), static_cast<uint32_t>(b % 256)),
                           clap_param_value(clap_bypass_param_id, (b / 50) % 2, 100)});
        }
    });
    const auto* params = s.extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    bool whole = true;
    for (int round = 0; round < 300; ++round) {
        char text[64];
        for (clap_id id : {0u, 1u, 2u, clap_bypass_param_id}) {
            params->value_to_text(s.get(), id, s.value(id), text, sizeof text);
        }
        whole = whole && s.load(s.save()) && s.load(good, 5);
    }
    done = true;
    audio.join();
    EXPECT_TRUE(whole);
}

TEST(ClapThreads, NestedInitAndDeinitFromTwoThreadsKeepTheModuleUsable) {
    const clap_plugin_entry_t* entry = clap_limiter_entry();
    auto pairs = [entry] {
        for (int i = 0; i < 200; ++i) {
            if (entry->init("")) entry->deinit();
        }
    };
    std::thread other(pairs);
    pairs();
    other.join();
    clap_session s(clap_mono_id);
    EXPECT_NE(s.get(), nullptr);
}
