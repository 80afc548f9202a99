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
    // One input frame and the output frame it became.
    void add(const float* input_frame, const float* output_frame, int channels) {
        add_frames(input_frame, output_frame, 1, channels);
    }
    // Frames side by side, interleaved.
    void add_frames(const float* input, const float* output, int64_t frames, int channels);

    // The largest and the average reduction of the frames measured so far, in dB.
    double largest_db() const;
    double average_db() const;

private:
    // Moves the product's binary exponent into product_exponent_.
    double renormalise(double product);
    // Stereo frames four at a time; answers how many it took (a multiple of four, 0 where
    // there are no vector instructions). add_frames measures the rest.
    int64_t add_stereo(const float* input, const float* output, int64_t frames);

    double reference_gain_;
    double largest_ratio_ = 1.0;  // the largest of expected / actual so far
    // The product of every measured frame's ratio, kept as product_ × 2^product_exponent_: its
    // logarithm is the sum of the frames' reductions, without a logarithm per frame.
    double product_ = 1.0;
    int64_t product_exponent_ = 0;
    int64_t silenced_ = 0;  // frames that came out as nothing: 120 dB each
    int64_t measured_ = 0;
};
