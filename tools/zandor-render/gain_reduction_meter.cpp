#include "gain_reduction_meter.h"

#include <algorithm>
#include <cmath>

namespace {

double to_db(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

constexpr double measurable_input = 1e-4;  // -80 dBFS

}  // namespace

gain_reduction_meter::gain_reduction_meter(double reference_gain_db)
    : reference_gain_(std::pow(10.0, reference_gain_db / 20.0)) {}

void gain_reduction_meter::add(const float* input_frame, const float* output_frame, int channels) {
    int loudest = 0;
    for (int c = 1; c < channels; ++c) {
        if (std::fabs(input_frame[c]) > std::fabs(input_frame[loudest])) loudest = c;
    }
    const double in = std::fabs(static_cast<double>(input_frame[loudest]));
    if (!(in >= measurable_input)) return;
    const double out = std::fabs(static_cast<double>(output_frame[loudest]));
    const double expected = in * reference_gain_;
    // Rounding makes an untouched frame come out a hair above or below; that is no reduction.
    const double reduction_db = out > 0.0 ? std::max(0.0, to_db(expected / out)) : 120.0;
    largest_db_ = std::max(largest_db_, reduction_db);
    sum_db_ += reduction_db;
    ++measured_;
}
