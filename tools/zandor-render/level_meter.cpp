#include "level_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "render_error.h"

namespace {

double to_db(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

constexpr double measurable_input = 1e-4;  // -80 dBFS

}  // namespace

level_meter::level_meter(int channels, int rate_hz, bool with_true_peak)
    : channels_(channels), with_true_peak_(with_true_peak) {
    state_ = ebur128_init(
        static_cast<unsigned>(channels), static_cast<unsigned long>(rate_hz),
        EBUR128_MODE_I | EBUR128_MODE_LRA | (with_true_peak ? EBUR128_MODE_TRUE_PEAK : 0));
    if (state_ == nullptr)
        throw render_error(exit_status::failure, "cannot set up the loudness meter");
}

level_meter::~level_meter() {
    ebur128_destroy(&state_);
}

void level_meter::add(const float* interleaved, int64_t frames) {
    if (frames <= 0) return;
    const int64_t samples = frames * channels_;
    for (int64_t i = 0; i < samples; ++i)
        sample_peak_ = std::max(sample_peak_, std::fabs(interleaved[i]));
    ebur128_add_frames_float(state_, interleaved, static_cast<size_t>(frames));
}

level_figures level_meter::figures() const {
    double true_peak = 0.0;
    for (int c = 0; with_true_peak_ && c < channels_; ++c) {
        double peak = 0.0;
        if (ebur128_true_peak(state_, static_cast<unsigned>(c), &peak) == EBUR128_SUCCESS)
            true_peak = std::max(true_peak, peak);
    }
    double loudness = -std::numeric_limits<double>::infinity();
    if (ebur128_loudness_global(state_, &loudness) != EBUR128_SUCCESS)
        loudness = -std::numeric_limits<double>::infinity();
    // A true peak can never be below the sample peak; the meter's filter may round a hair
    // under it on a single full-scale sample.
    true_peak = std::max(true_peak, static_cast<double>(sample_peak_));
    double range = 0.0;
    if (ebur128_loudness_range(state_, &range) != EBUR128_SUCCESS || !std::isfinite(range))
        range = 0.0;
    return {to_db(sample_peak_),
            with_true_peak_ ? to_db(true_peak) : -std::numeric_limits<double>::infinity(), loudness,
            range};
}

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
