// How much a limiter turned its input down, measured on aligned pairs of input and output
// frames. Where the limiter does not act, output = input × reference gain (its make-up from
// threshold to ceiling); the gain reduction of a frame is how far below that it is, taken on
// the frame's louder channel. Frames whose input is below -80 dBFS carry too little signal to
// measure and are left out.
#pragma once

#include <cmath>
#include <cstdint>

class gain_reduction_meter {
public:
    explicit gain_reduction_meter(double reference_gain_db);
    // Called for every frame, so written here, where the render loop sees it whole.
    void add(const float* input_frame, const float* output_frame, int channels) {
        float in = std::fabs(input_frame[0]);
        int loudest = 0;
        for (int c = 1; c < channels; ++c) {
            if (std::fabs(input_frame[c]) > in) {
                in = std::fabs(input_frame[c]);
                loudest = c;
            }
        }
        if (!(static_cast<double>(in) >= measurable_input)) return;
        const double out = std::fabs(static_cast<double>(output_frame[loudest]));
        const double expected = in * reference_gain_;
        ++measured_;
        if (!(out > 0.0)) {
            ++silenced_;
            return;
        }
        // Rounding makes an untouched frame come out a hair above or below; that is no
        // reduction.
        if (expected > out) record(expected / out);
    }
    double largest_db() const;
    double average_db() const;

private:
    static constexpr double measurable_input = 1e-4;  // -80 dBFS

    void record(double ratio);

    double reference_gain_;
    double largest_ratio_ = 1.0;  // the largest of expected / actual so far
    // The product of every measured frame's ratio, kept as product_ × 2^product_exponent_: its
    // logarithm is the sum of the frames' reductions, without a logarithm per frame.
    double product_ = 1.0;
    int64_t product_exponent_ = 0;
    int64_t silenced_ = 0;  // frames that came out as nothing: 120 dB each
    int64_t measured_ = 0;
};
