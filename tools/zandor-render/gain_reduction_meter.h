// How much a limiter turned its input down, measured on aligned pairs of input and output
// frames. Where the limiter does not act, output = input × reference gain (its make-up from
// threshold to ceiling); the gain reduction of a frame is how far below that it is, taken on
// the frame's louder channel. Frames whose input is below -80 dBFS carry too little signal to
// measure and are left out.
#pragma once

#include <cstdint>

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
