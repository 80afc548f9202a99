// The meter's true peak against the ideal reconstruction (true_peak_reference.h) on the kinds
// of signal a delivery meets, at the common rates: never more than 0.02 dB below it, nor more
// than 0.1 dB above. And the margin the meter allows its fast scan, shown to hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "precise_error_bound.h"
#include "precise_peak.h"
#include "true_peak_meter.h"
#include "true_peak_reference.h"
#include "true_peak_scan.h"

namespace {

constexpr double pi = 3.14159265358979323846;

double db(double gain) {
    return 20.0 * std::log10(gain);
}

// A quarter of a second of one kind of signal at `rate` Hz, seeded by the rate so that each rate
// meets different samples.
using signal_maker = std::function<std::vector<double>(int rate)>;

std::vector<double> white(int rate, double level) {
    std::mt19937 random(static_cast<unsigned>(rate));
    std::normal_distribution<double> noise(0.0, level);
    std::vector<double> x(static_cast<size_t>(rate / 4));
    for (double& v : x) v = noise(random);
    return x;
}

// Pink by a sum of one-pole filters an octave or so apart.
std::vector<double> pink(int rate, double level) {
    std::vector<double> x = white(rate, level);
    double b[5] = {};
    for (double& v : x) {
        const double w = v;
        b[0] = 0.99886 * b[0] + w * 0.0555179;
        b[1] = 0.99332 * b[1] + w * 0.0750759;
        b[2] = 0.96900 * b[2] + w * 0.1538520;
        b[3] = 0.86650 * b[3] + w * 0.3104856;
        b[4] = 0.55000 * b[4] + w * 0.5329522;
        v = (b[0] + b[1] + b[2] + b[3] + b[4] + w * 0.5362) * 0.25;
    }
    return x;
}

// 30 ms bursts of white noise, hard-edged, 70 ms apart.
std::vector<double> bursts(int rate) {
    std::vector<double> x = white(rate, 0.25);
    const int period = rate / 10, on = rate * 3 / 100;
    for (size_t n = 0; n < x.size(); ++n)
        if (static_cast<int>(n) % period >= on) x[n] = 0.0;
    return x;
}

// A square or saw of `hz` from every harmonic below half the rate.
std::vector<double> additive(int rate, double hz, bool odd_only) {
    std::vector<double> x(static_cast<size_t>(rate / 4));
    for (int h = 1; h * hz < rate / 2.0; h += odd_only ? 2 : 1)
        for (size_t n = 0; n < x.size(); ++n)
            x[n] += 0.5 / h * std::sin(2.0 * pi * h * hz * static_cast<double>(n) / rate);
    return x;
}

// A steady tone with DC, faded in and out over 10 ms so that its spectrum stays below half
// the rate: an abrupt start at 0.49 fs rings far above the tone's amplitude, and a tone is
// what this case is about.
std::vector<double> sine(int rate, double cycles_per_sample, double dc) {
    std::vector<double> x(static_cast<size_t>(rate / 4));
    const size_t fade = static_cast<size_t>(rate / 100);
    for (size_t n = 0; n < x.size(); ++n) {
        const size_t edge = std::min(n, x.size() - 1 - n);
        const double gain =
            edge < fade ? 0.5 - 0.5 * std::cos(pi * static_cast<double>(edge) / fade) : 1.0;
        x[n] = gain *
               (dc + 0.5 * std::sin(2.0 * pi * cycles_per_sample * static_cast<double>(n) + 0.7));
    }
    return x;
}

// Low rumble, a bright tone, a bass note and hiss under a moving level.
std::vector<double> programme(int rate) {
    std::vector<double> x = white(rate, 1.0);
    double low = 0.0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        low = 0.98 * low + 0.1 * x[n];
        const double level = 0.4 + 0.3 * std::sin(2.0 * pi * 3.0 * t);
        x[n] = level * (low + 0.3 * std::sin(2.0 * pi * 3000.0 * t) +
                        0.4 * std::sin(2.0 * pi * 55.0 * t) + 0.1 * x[n]);
    }
    return x;
}

// Programme driven into a ceiling: many crests at nearly one height, as a limiter leaves
// them, and the sharp corners of clipping.
std::vector<double> limited(int rate) {
    std::vector<double> x = programme(rate);
    for (double& v : x) v = std::clamp(3.0 * v, -0.8, 0.8);
    return x;
}

struct signal_case {
    std::string name;
    signal_maker make;
    // A steady tone so close to half the rate that some of its crests fall between samples
    // near zero, where no short filter follows it: the fast scan reads those crests far low,
    // and the meter finds the tone's peak at its other crests.
    bool near_half_rate = false;
};

const std::vector<signal_case>& signal_cases() {
    static const std::vector<signal_case> cases{
        {"white noise", [](int r) { return white(r, 0.2); }},
        {"quiet pink noise", [](int r) { return pink(r, 0.02); }},
        {"noise bursts", bursts},
        {"band-limited square", [](int r) { return additive(r, 997.0, true); }},
        {"band-limited saw", [](int r) { return additive(r, 1234.0, false); }},
        {"sine at 0.49 fs", [](int r) { return sine(r, 0.49, 0.0); }, true},
        {"sine at 0.46 fs with DC", [](int r) { return sine(r, 0.46, 0.3); }},
        {"sine at 0.3 fs with DC", [](int r) { return sine(r, 0.3, -0.2); }},
        {"sine at 0.02 fs", [](int r) { return sine(r, 0.02, 0.0); }},
        {"programme", programme},
        {"limited programme", limited},
    };
    return cases;
}

// The meter's reading, fed in calls of `step`, 3 * step + 1, ... frames; 0 for one call.
double meter_peak(const std::vector<double>& x, size_t step) {
    std::vector<float> samples(x.begin(), x.end());
    true_peak_meter meter(1);
    for (size_t at = 0; at < samples.size(); step = step * 3 + 1) {
        const size_t n = step == 0 ? samples.size() : std::min(step, samples.size() - at);
        meter.add(samples.data() + at, static_cast<int64_t>(n));
        at += n;
    }
    return meter.peak();
}

std::vector<float> as_float(const std::vector<double>& x) {
    return std::vector<float>(x.begin(), x.end());
}

TEST(TruePeakAccuracy, ReadsEveryKindOfSignalWithinItsBoundsOfTheIdealReconstruction) {
    for (int rate : {44100, 48000, 96000}) {
        for (const signal_case& c : signal_cases()) {
            // Float samples, as the meter sees them, for the reference too.
            const std::vector<float> f = as_float(c.make(rate));
            const std::vector<double> x(f.begin(), f.end());
            const double peak = meter_peak(x, 0);
            // The figure does not depend on how the stream is cut into calls.
            EXPECT_EQ(meter_peak(x, 1), peak) << c.name << " at " << rate << " Hz";
            const double error = db(peak) - db(reference_true_peak(x));
            EXPECT_GE(error, -0.02) << c.name << " at " << rate << " Hz";
            EXPECT_LE(error, 0.1) << c.name << " at " << rate << " Hz";
            RecordProperty(c.name + " " + std::to_string(rate), std::to_string(error));
        }
    }
}

TEST(TruePeakAccuracy, ThePreciseStageReadsSinesToJustBelowHalfTheRateAtAnyPhase) {
    const precise_peak precise(precise_kaiser_beta);
    for (double f : {0.01, 0.2, 0.45, 0.47, 0.48, 0.49}) {
        for (int p = 0; p < 8; ++p) {
            std::vector<float> x(4 * precise_peak::half_taps);
            for (size_t n = 0; n < x.size(); ++n)
                x[n] = static_cast<float>(
                    0.5 * std::cos(2.0 * pi * f * static_cast<double>(n) + p * pi / 8));
            // A steady tone: some interval of the middle holds a crest at its amplitude.
            float peak = 0.0f;
            for (int n = 0; n < 100; ++n)
                peak = std::max(peak,
                                precise.interval_peak(x.data() + 2 * precise_peak::half_taps + n));
            EXPECT_NEAR(db(peak), db(0.5), precise_error_db) << f << " fs, phase " << p;
        }
    }
}

// Where the precise stage reads an interval within 1 dB of the signal's peak, the fast scan and
// the medium stage read it no more than their margins lower, and the precise stage reads no
// more than its margin below the long one; the interval holding the peak is then never passed
// over. And the ceiling that settles a crest without the long stage is never below it.
TEST(TruePeakAccuracy, TheEarlierStagesStayWithinTheirMarginsOfTheLaterOnes) {
    const precise_peak precise(precise_kaiser_beta);
    const medium_peak medium(medium_kaiser_beta);
    const long_peak long_stage(precise_kaiser_beta);
    using split = precise_error_bound::split;
    const precise_error_bound bounds[] = {{precise, long_stage, split::eighth_difference},
                                          {precise, long_stage, split::steep_high_pass}};
    std::vector<float> coefficients = true_peak_meter::fast_coefficients();
    const int lead = precise_error_bound::reach + true_peak_taps;
    for (int rate : {44100, 96000}) {
        for (const signal_case& c : signal_cases()) {
            if (c.near_half_rate) continue;
            std::vector<float> x(static_cast<size_t>(lead), 0.0f);
            const std::vector<float> body = as_float(c.make(rate));
            x.insert(x.end(), body.begin(), body.end());
            x.resize(x.size() + static_cast<size_t>(lead), 0.0f);
            const int64_t length = static_cast<int64_t>(x.size());
            const precise_error_bound::lane_levels levels[] = {{bounds[0], x.data(), length},
                                                               {bounds[1], x.data(), length}};
            std::vector<float> exact(x.size(), 0.0f);
            std::vector<int> crests(x.size(), 0);
            float top = 0.0f;
            for (size_t j = lead; j + lead < x.size(); ++j)
                top = std::max(top, exact[j] = precise.interval_peak(&x[j], &crests[j]));
            double worst = 0.0, worst_medium = 0.0, worst_precise = 0.0;
            const auto near_top = static_cast<float>(std::pow(10.0, -1.0 / 20.0));
            for (size_t j = lead; j + lead < x.size(); ++j) {
                if (exact[j] < near_top * top) continue;
                // The precise stage reads a crest on either side of the interval's ends.
                const float fast = true_peak_scan_portable(&x[j - 1 + true_peak_delay], 3,
                                                           coefficients.data(), 0.0f);
                worst = std::max(worst, db(exact[j]) - db(fast));
                worst_medium =
                    std::max(worst_medium, db(exact[j]) - db(medium.interval_peak(&x[j])));
                if (crests[j] == 0) continue;
                const float long_reading = long_stage.around(&x[j], crests[j]);
                worst_precise = std::max(worst_precise, db(long_reading) - db(exact[j]));
                for (int b = 0; b < 2; ++b) {
                    const float error = bounds[b].at(levels[b], static_cast<int64_t>(j));
                    EXPECT_GE(precise.most_around(&x[j], crests[j], error), long_reading)
                        << c.name << " at " << rate << " Hz, interval " << j << ", bound " << b;
                }
            }
            EXPECT_LT(worst, fast_scan_margin_db) << c.name << " at " << rate << " Hz";
            EXPECT_LT(worst_medium, medium_margin_db) << c.name << " at " << rate << " Hz";
            EXPECT_LT(worst_precise, precise_margin_db) << c.name << " at " << rate << " Hz";
            RecordProperty("fast scan low, " + c.name + " " + std::to_string(rate),
                           std::to_string(worst));
            RecordProperty("medium low, " + c.name + " " + std::to_string(rate),
                           std::to_string(worst_medium));
            RecordProperty("precise low, " + c.name + " " + std::to_string(rate),
                           std::to_string(worst_precise));
        }
    }
}

}  // namespace
