// The portable code path, one frame per "vector": the path of processors without a vector
// path of their own, held to the same bits as the others. Also the state's reset and the
// separate clip stage.
#include "limitZ_signal.h"

#include "limitZ_signal_engine.h"

namespace {

struct scalar_lanes {
    using reg = float;
    static constexpr int lanes = 1;

    static reg load(const float* p) { return *p; }
    static void store(float* p, reg x) { *p = x; }
    static reg load_strided(const float* p, std::ptrdiff_t) { return *p; }
    static reg set1(float x) { return x; }
    static reg zero() { return 0.0f; }
    static reg add(reg a, reg b) { return a + b; }
    static reg mul(reg a, reg b) { return a * b; }
    static reg div(reg a, reg b) { return a / b; }
    static reg max(reg a, reg b) { return a > b ? a : b; }
    static bool all_equal(reg a, reg b) { return a == b; }
    static reg prefix_max(reg x) { return x; }
    static reg suffix_max(reg x) { return x; }
    static reg broadcast_first(reg x) { return x; }
    static reg broadcast_last(reg x) { return x; }
    static reg drive(reg x, reg drive, reg& magnitude) {
        return engine::drive_sample(x, drive, magnitude);
    }
    static reg clip_scale(reg y, reg ceiling) { return engine::clip_sample(y, ceiling); }
};

}  // namespace

void limitZ_run_scalar(limitZ_signal_state& state, const limitZ_job& job) {
    engine::run<scalar_lanes, 4>(state, job);
}

void limitZ_reset_signal(limitZ_signal_state& s) {
    s.gain_env = engine::envelope_at_reset;
    s.lowest_env = 1.0f;
    s.base = 0;
    s.env_base = 0;
    // The whole history, not only the window: vectors reading past the last frame of a
    // stretch then meet ordinary finite numbers.
    for (auto& copy : s.env_history) {
        for (float& e : copy) e = engine::unity_gain;
    }
    for (auto& channel : s.delay) {
        for (float& d : channel) d = 0.0f;
    }
    // No peak has been seen: anything up to full scale holds nothing.
    for (float& p : s.peak_history) p = 0.0f;
    for (float& w : s.work) w = 0.0f;
    for (float& h : s.held) h = engine::full_scale;
    s.steady_length = 0;
    s.constant_env = 0.0f;
    s.constant_gain = 0.0f;
    s.constant_mode = 0;
    s.constant_known = false;
}

void limitZ_clip_and_scale(float* samples, std::ptrdiff_t step, int frames, float ceiling_gain) {
    for (int frame = 0; frame < frames; ++frame, samples += step) {
        *samples = engine::clip_sample(*samples, ceiling_gain);
    }
}
