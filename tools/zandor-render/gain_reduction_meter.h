// How much a limiter turned its input down, measured on aligned pairs of input and output
// frames. Where the limiter does not act, output = input × reference gain (its make-up from
// threshold to ceiling); the gain reduction of a frame is how far below that it is, taken on
// the frame's louder channel. Frames whose input is below -80 dBFS carry too little signal to
// measure and are left out.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class gain_reduction_meter {
public:
    explicit gain_reduction_meter(double reference_gain_db);
    // One input frame and the output frame it became.
    void add(const float* input_frame, const float* output_frame, int channels) {
        add_frames(input_frame, output_frame, 1, channels);
    }
    // Frames side by side, interleaved. Called for every frame of a render, so written here,
    // where the render loop sees it whole.
    void add_frames(const float* input, const float* output, int64_t frames, int channels) {
        // The sums stay in registers for the whole run.
        double largest_ratio = largest_ratio_;
        double product = product_;
        int64_t measured = measured_;
        int64_t silenced = silenced_;
        for (int64_t f = 0; f < frames; ++f) {
            const float* input_frame = input + f * channels;
            float in = std::fabs(input_frame[0]);
            int loudest = 0;
            for (int c = 1; c < channels; ++c) {
                if (std::fabs(input_frame[c]) > in) {
                    in = std::fabs(input_frame[c]);
                    loudest = c;
                }
            }
            if (!(static_cast<double>(in) >= measurable_input)) continue;
            const double out = std::fabs(static_cast<double>(output[f * channels + loudest]));
            const double expected = in * reference_gain_;
            ++measured;
            if (!(out > 0.0)) {
                ++silenced;
                continue;
            }
            // Rounding makes an untouched frame come out a hair above or below; that is no
            // reduction. (Taken without a branch: which way the rounding goes is a coin toss
            // that the processor could not predict.)
            const double ratio = at_least_one(expected / out);
            largest_ratio = std::max(largest_ratio, ratio);
            product *= ratio;
            // One ratio of a finite frame stays below 2^400, so the product never overflows.
            if (product > 0x1p512) product = renormalise(product);
        }
        largest_ratio_ = largest_ratio;
        product_ = product;
        measured_ = measured;
        silenced_ = silenced;
    }

    // The largest and the average reduction of the frames measured so far, in dB.
    double largest_db() const;
    double average_db() const;

private:
    static constexpr double measurable_input = 1e-4;  // -80 dBFS

    static double at_least_one(double ratio) {
#if defined(__SSE2__)
        return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(ratio), _mm_set_sd(1.0)));
#else
        return ratio > 1.0 ? ratio : 1.0;
#endif
    }
    // Moves the product's binary exponent into product_exponent_.
    double renormalise(double product);

    double reference_gain_;
    double largest_ratio_ = 1.0;  // the largest of expected / actual so far
    // The product of every measured frame's ratio, kept as product_ × 2^product_exponent_: its
    // logarithm is the sum of the frames' reductions, without a logarithm per frame.
    double product_ = 1.0;
    int64_t product_exponent_ = 0;
    int64_t silenced_ = 0;  // frames that came out as nothing: 120 dB each
    int64_t measured_ = 0;
};
