// Measures one stream of interleaved frames: sample peak, true peak and integrated loudness.
#pragma once

#include <ebur128.h>

#include <cstdint>

struct level_figures {
    double sample_peak_dbfs;   // -inf for digital silence
    double true_peak_dbtp;     // 4x oversampled peak, -inf for silence
    double loudness_lufs;      // integrated loudness, -inf when too short or too quiet to gate
    double loudness_range_lu;  // spread of short-term loudness; 0 when too short to tell
};

class level_meter {
public:
    // Throws render_error(failure) when the loudness meter cannot be set up.
    level_meter(int channels, int rate_hz) : level_meter(channels, rate_hz, true) {}
    // Without true peak, for passes that need loudness only; true_peak_dbtp is then -inf.
    level_meter(int channels, int rate_hz, bool with_true_peak);
    ~level_meter();
    level_meter(const level_meter&) = delete;
    level_meter& operator=(const level_meter&) = delete;

    void add(const float* interleaved, int64_t frames);
    level_figures figures() const;

private:
    int channels_;
    bool with_true_peak_;
    ebur128_state* state_ = nullptr;
    float sample_peak_ = 0.0f;
};

// How much a limiter turned its input down, measured on aligned pairs of input and output
// frames. Where the limiter does not act, output = input × reference gain (its make-up from
// threshold to ceiling); the gain reduction of a frame is how far below that it is, taken on
// the frame's louder channel. Frames whose input is below -80 dBFS carry too little signal to
// measure and are left out.
class gain_reduction_meter {
public:
    explicit gain_reduction_meter(double reference_gain_db);
    void add(const float* input_frame, const float* output_frame, int channels);
    double largest_db() const { return largest_db_; }
    double average_db() const {
        return measured_ == 0 ? 0.0 : sum_db_ / static_cast<double>(measured_);
    }

private:
    double reference_gain_;
    double largest_db_ = 0.0;
    double sum_db_ = 0.0;
    int64_t measured_ = 0;
};
