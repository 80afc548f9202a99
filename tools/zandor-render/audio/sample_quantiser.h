// Turns the effect's float output into the integers of an integer file: rounded to nearest,
// optionally with triangular dither, and never beyond a bound (the ceiling or the true-peak
// target), so that quantising cannot lift a sample past the level the render was set to.
#pragma once

#include <cstdint>

// Dither added before rounding: none, or triangular noise of one step peak to peak.
enum class dither_kind { none, tpdf };

class sample_quantiser {
public:
    // `bits` from 2 to 32; `bound` is the largest magnitude allowed, linear (1.0: full scale).
    // The dither generator starts from the same seed every time, so a render is repeatable.
    sample_quantiser(int bits, dither_kind dither, double bound);

    // Quantises `samples` values. `words` receives them as libsndfile's 32-bit integers (the
    // value in the top `bits` bits); `decoded` the floats a reader of the file gets back.
    void quantise(const float* in, int32_t* words, float* decoded, int64_t samples);

    int64_t highest() const { return highest_; }
    int64_t lowest() const { return lowest_; }

private:
    double next_dither();

    int shift_;
    double scale_;
    dither_kind dither_;
    int64_t highest_;
    int64_t lowest_;
    uint64_t state_ = 0x9E3779B97F4A7C15ull;
};
