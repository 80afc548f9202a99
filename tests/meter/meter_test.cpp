// The meter library: the published loudness and true-peak test signals, synthesised
// here, read as they should; and programme-like signals read as libebur128 reads them.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "loudness_meter.h"
#include "meter/level_meter.h"
#include "true_peak_meter.h"
#include "true_peak_scan.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int rate = 48000;

// A 1 kHz sine on both channels, in phase, `dbfs` on each, appended to `frames`.
void append_tone(std::vector<float>& frames, double dbfs, double seconds) {
    const double amplitude = std::pow(10.0, dbfs / 20.0);
    const auto n = static_cast<int64_t>(std::llround(seconds * rate));
    const size_t start = frames.size() / 2;
    for (int64_t i = 0; i < n; ++i) {
        const auto x = static_cast<float>(
            amplitude * std::sin(2.0 * pi * 1000.0 * static_cast<double>(start + i) / rate));
        frames.push_back(x);
        frames.push_back(x);
    }
}

struct segment {
    double dbfs;
    double seconds;
};

std::vector<float> tones(std::initializer_list<segment> segments, int repeats = 1) {
    std::vector<float> frames;
    for (int r = 0; r < repeats; ++r)
        for (const segment& s : segments) append_tone(frames, s.dbfs, s.seconds);
    return frames;
}

double integrated(const std::vector<float>& frames) {
    loudness_meter meter(2, rate);
    meter.add(frames.data(), static_cast<int64_t>(frames.size() / 2));
    return meter.integrated_lufs();
}

double loudness_range(const std::vector<float>& frames) {
    loudness_meter meter(2, rate);
    meter.add(frames.data(), static_cast<int64_t>(frames.size() / 2));
    return meter.loudness_range_lu();
}

// Six channels are 5.1: the same tone reads alike on L, R and C, 1.5 dB louder on a surround,
// not at all on the LFE; other counts weigh every channel alike.
TEST(LoudnessMeter, WeighsSurroundChannelsAndLeavesOutTheLfe) {
    auto tone_on = [](int channel, int channels) {
        std::vector<float> frames(static_cast<size_t>(4 * rate * channels), 0.0f);
        for (size_t i = 0; i < frames.size() / static_cast<size_t>(channels); ++i)
            frames[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)] =
                static_cast<float>(0.5 *
                                   std::sin(2.0 * pi * 1000.0 * static_cast<double>(i) / rate));
        loudness_meter meter(channels, rate);
        meter.add(frames.data(), static_cast<int64_t>(frames.size()) / channels);
        return meter.integrated_lufs();
    };
    const double front = tone_on(0, 6);
    EXPECT_NEAR(front, -3.01 - 6.02, 0.02);
    EXPECT_DOUBLE_EQ(tone_on(2, 6), front);
    EXPECT_NEAR(tone_on(4, 6) - front, 10.0 * std::log10(1.41), 1e-6);
    EXPECT_NEAR(tone_on(5, 6) - front, 10.0 * std::log10(1.41), 1e-6);
    EXPECT_EQ(tone_on(3, 6), -INFINITY);
    EXPECT_DOUBLE_EQ(tone_on(3, 4), tone_on(0, 4));
}

TEST(LoudnessMeter, ReadsTheIntegratedLoudnessOfTheMinimumRequirementTones) {
    EXPECT_NEAR(integrated(tones({{-23, 20}})), -23.0, 0.1);
    EXPECT_NEAR(integrated(tones({{-33, 20}})), -33.0, 0.1);
    EXPECT_NEAR(integrated(tones({{-36, 10}, {-23, 60}, {-36, 10}})), -23.0, 0.1);
    EXPECT_NEAR(integrated(tones({{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}})), -23.0,
                0.1);
    EXPECT_NEAR(integrated(tones({{-26, 20}, {-20, 20.1}, {-26, 20}})), -23.0, 0.1);
}

TEST(LoudnessMeter, ShortTermAndMomentaryHoldSteadyOverTonesThatRepeatWithinTheirWindow) {
    const std::vector<float> short_bursts = tones({{-20, 1.34}, {-30, 1.66}}, 5);
    const std::vector<float> momentary_bursts = tones({{-20, 0.18}, {-30, 0.22}}, 25);
    loudness_meter short_term(2, rate);
    loudness_meter momentary(2, rate);
    const int64_t step = rate / 10;
    for (int64_t f = 0; f + step <= static_cast<int64_t>(short_bursts.size() / 2); f += step) {
        short_term.add(&short_bursts[static_cast<size_t>(2 * f)], step);
        if (f + step >= 3 * rate) {
            EXPECT_NEAR(short_term.short_term_lufs(), -23.0, 0.1) << f;
        }
    }
    for (int64_t f = 0; f + step <= static_cast<int64_t>(momentary_bursts.size() / 2); f += step) {
        momentary.add(&momentary_bursts[static_cast<size_t>(2 * f)], step);
        if (f + step >= rate) {
            EXPECT_NEAR(momentary.momentary_lufs(), -23.0, 0.1) << f;
        }
    }
}

TEST(LoudnessMeter, ReadsTheLoudnessRangeOfTheRangeTestTones) {
    EXPECT_NEAR(loudness_range(tones({{-20, 20}, {-30, 20}})), 10.0, 1.0);
    EXPECT_NEAR(loudness_range(tones({{-20, 20}, {-15, 20}})), 5.0, 1.0);
    EXPECT_NEAR(loudness_range(tones({{-40, 20}, {-20, 20}})), 20.0, 1.0);
    EXPECT_NEAR(loudness_range(tones({{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}})),
                15.0, 1.0);
}

TEST(LoudnessMeter, SilenceAndTooShortAProgrammeReadMinusInfinity) {
    loudness_meter meter(2, rate);
    std::vector<float> silence(2 * rate, 0.0f);
    meter.add(silence.data(), rate);
    EXPECT_EQ(meter.integrated_lufs(), -INFINITY);
    EXPECT_EQ(meter.loudness_range_lu(), -INFINITY);
    loudness_meter short_programme(2, rate);
    const std::vector<float> two_seconds = tones({{-20, 2}});
    short_programme.add(two_seconds.data(), 2 * rate);
    EXPECT_NEAR(short_programme.integrated_lufs(), -20.0, 0.1);
    EXPECT_EQ(short_programme.loudness_range_lu(), -INFINITY);  // no 3 s window yet
}

TEST(LoudnessMeter, ANonFiniteSampleSpoilsOnlyTheBlocksAroundIt) {
    const std::vector<float> clean = tones({{-30, 2}, {-20, 20}});
    std::vector<float> spoiled = clean;
    spoiled[2 * rate] = NAN;
    spoiled[2 * 10 * rate + 1] = INFINITY;
    EXPECT_NEAR(integrated(spoiled), integrated(clean), 0.1);
}

// A mono sine of `frequency` cycles per sample, `amplitude`, `phase` radians, with 10 ms
// raised-cosine fades.
double true_peak_dbtp(double frequency, double amplitude, double phase, int64_t frames = rate) {
    std::vector<float> x(static_cast<size_t>(frames));
    const int64_t fade = rate / 100;
    for (int64_t i = 0; i < frames; ++i) {
        const int64_t edge = std::min(i, frames - 1 - i);
        const double gain = edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(pi * edge / fade);
        x[static_cast<size_t>(i)] =
            static_cast<float>(gain * amplitude * std::cos(2.0 * pi * frequency * i + phase));
    }
    true_peak_meter meter(1);
    meter.add(x.data(), frames);
    return 20.0 * std::log10(meter.peak());
}

TEST(TruePeakMeter, ReadsTheTruePeakTestTones) {
    EXPECT_NEAR(true_peak_dbtp(0.25, 0.50, 0.0), -6.0, 0.1);
    EXPECT_NEAR(true_peak_dbtp(0.25, 0.50, pi / 4), -6.0, 0.1);
    EXPECT_NEAR(true_peak_dbtp(1.0 / 6, 0.50, pi / 3), -6.0, 0.1);
    EXPECT_NEAR(true_peak_dbtp(0.125, 0.50, 3 * pi / 8), -6.0, 0.1);
    EXPECT_NEAR(true_peak_dbtp(0.25, 1.41, pi / 4), 3.0, 0.1);
}

TEST(TruePeakMeter, ReadsAnySineUpToNineTenthsOfNyquistWithinATenthOfADecibel) {
    // Where 8 / frequency is a whole number (1/3, 0.4, 8/19, 8/18) every crest falls at the same
    // place between the meter's interpolated points: the hardest cases.
    for (double frequency :
         {0.01, 0.05, 0.1, 0.2, 0.3, 1.0 / 3, 0.37, 0.4, 8.0 / 19, 0.43, 8.0 / 18, 0.45}) {
        for (int p = 0; p < 16; ++p) {
            const double phase = p * pi / 16;
            EXPECT_NEAR(true_peak_dbtp(frequency, 0.5, phase, 4800), 20.0 * std::log10(0.5), 0.1)
                << frequency << " " << phase;
        }
    }
}

TEST(TruePeakMeter, CatchesACrestInTheLastFramesAdded) {
    // A lone full-scale pair of samples at the very end rings above full scale between them.
    std::vector<float> x(100, 0.0f);
    x[98] = 1.0f;
    x[99] = 1.0f;
    true_peak_meter meter(1);
    meter.add(x.data(), 100);
    EXPECT_GT(meter.peak(), 1.1);
}

TEST(TruePeakMeter, EveryInstructionSetVersionGivesTheSameReadings) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> coefficients(true_peak_taps * true_peak_phases);
    for (float& h : coefficients) h = 0.3f * uniform(random);
    for (int trial = 0; trial < 200; ++trial) {
        const int frames = 1 + trial % 37;
        std::vector<float> x(static_cast<size_t>(frames + true_peak_taps));
        for (float& v : x) v = uniform(random);
        const float* start = x.data() + true_peak_taps;
        const float portable = true_peak_scan_portable(start, frames, coefficients.data(), 0.0f);
        EXPECT_EQ(true_peak_scan_sse2(start, frames, coefficients.data(), 0.0f), portable);
        // The AVX2 version runs only where the processor has AVX2.
        if (best_true_peak_scan() == true_peak_scan_avx2) {
            EXPECT_EQ(true_peak_scan_avx2(start, frames, coefficients.data(), 0.0f), portable);
        }
    }
}

// Noise through a slowly moving level and a bright tone: loud, quiet and silent passages, so
// that both gates and the range have work to do.
std::vector<float> programme(int rate_hz, double seconds) {
    std::mt19937 random(1234);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    const auto frames = static_cast<int64_t>(seconds * rate_hz);
    std::vector<float> x(static_cast<size_t>(2 * frames));
    float low_l = 0.0f, low_r = 0.0f;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate_hz;
        const double level_db = -26.0 + 12.0 * std::sin(2 * pi * t / 17.0) +
                                5.0 * std::sin(2 * pi * t / 2.3) -
                                (std::fmod(t, 19.0) < 2.0 ? 60 : 0);
        const auto level = static_cast<float>(std::pow(10.0, level_db / 20.0));
        low_l = 0.98f * low_l + 0.1f * noise(random);
        low_r = 0.98f * low_r + 0.1f * noise(random);
        const auto tone = static_cast<float>(0.3 * std::sin(2 * pi * 3000.0 * t));
        x[static_cast<size_t>(2 * i)] = level * (low_l + tone + 0.2f * noise(random));
        x[static_cast<size_t>(2 * i + 1)] = level * (low_r + 0.5f * tone);
    }
    return x;
}

TEST(LevelMeter, AgreesWithLibebur128OnProgrammeAtCommonRates) {
    for (int rate_hz : {44100, 48000, 96000}) {
        const std::vector<float> x = programme(rate_hz, 45.0);
        const auto frames = static_cast<int64_t>(x.size() / 2);

        ebur128_state* oracle =
            ebur128_init(2, static_cast<unsigned long>(rate_hz), EBUR128_MODE_I | EBUR128_MODE_LRA);
        ASSERT_NE(oracle, nullptr);
        ebur128_add_frames_float(oracle, x.data(), static_cast<size_t>(frames));
        double expected_lufs = 0.0, expected_lra = 0.0;
        ebur128_loudness_global(oracle, &expected_lufs);
        ebur128_loudness_range(oracle, &expected_lra);
        ebur128_destroy(&oracle);

        // Blocks of odd sizes, one larger than the meter's ring, through the worker.
        level_meter meter(2, rate_hz);
        int64_t done = 0;
        for (int64_t block : {1000, 70000, 1, 4097}) {
            while (done < frames) {
                const int64_t n = std::min(block, frames - done);
                meter.add(&x[static_cast<size_t>(2 * done)], n);
                done += n;
                if (done > frames / 4 && block != 4097) break;
            }
        }
        const level_figures f = meter.figures();
        EXPECT_NEAR(f.loudness_lufs, expected_lufs, 0.02) << rate_hz;
        EXPECT_NEAR(f.loudness_range_lu, expected_lra, 0.1) << rate_hz;
        EXPECT_GE(f.true_peak_dbtp, f.sample_peak_dbfs);

        // However the stream is cut into calls, the figures are the same to the bit, so that
        // a render measures alike whatever the timing of the thread that measures it.
        loudness_meter whole(2, rate_hz), pieces(2, rate_hz);
        whole.add(x.data(), frames);
        std::mt19937 cut(rate_hz);
        for (int64_t at = 0, n = 0; at < frames; at += n) {
            n = std::min<int64_t>(frames - at, 1 + cut() % 3000);
            pieces.add(&x[static_cast<size_t>(2 * at)], n);
        }
        EXPECT_EQ(pieces.integrated_lufs(), whole.integrated_lufs()) << rate_hz;
        EXPECT_EQ(pieces.loudness_range_lu(), whole.loudness_range_lu()) << rate_hz;
    }
}

TEST(LevelMeter, ReadsSilenceAsMinusInfinityAndSkipsTheTruePeakWhenAskedTo) {
    level_meter silent(2, rate);
    std::vector<float> zeros(2 * rate, 0.0f);
    silent.add(zeros.data(), rate);
    const level_figures s = silent.figures();
    EXPECT_EQ(s.sample_peak_dbfs, -INFINITY);
    EXPECT_EQ(s.true_peak_dbtp, -INFINITY);
    EXPECT_EQ(s.loudness_lufs, -INFINITY);

    level_meter loudness_only(2, rate, false);
    const std::vector<float> tone = tones({{-23, 5}});
    loudness_only.add(tone.data(), static_cast<int64_t>(tone.size() / 2));
    const level_figures l = loudness_only.figures();
    EXPECT_TRUE(std::isnan(l.true_peak_dbtp));
    EXPECT_NEAR(l.sample_peak_dbfs, -23.0, 0.01);
    EXPECT_NEAR(l.loudness_lufs, -23.0, 0.1);
}

// One worker measuring two streams, handed over in place or copied, in blocks of any size and
// with one stream behind the other, reads each as a meter of its own does.
TEST(RenderLevelMeter, TwoStreamsOnOneWorkerReadAsEachOnItsOwn) {
    constexpr int rate = 44100;
    for (int channels : {1, 2}) {
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, 0.1f);
        const int64_t frames = 5 * rate + 123;
        std::vector<float> x(static_cast<size_t>(frames * channels));
        std::vector<float> y(x.size());
        for (size_t i = 0; i < x.size(); ++i) {
            x[i] = noise(random) * (1.0f + std::sin(static_cast<float>(i) * 1e-5f));
            y[i] = 0.7f * std::sin(static_cast<float>(i) * 0.3f);
        }
        level_meter both(channels, rate, true, 2);
        level_meter x_alone(channels, rate), y_alone(channels, rate);
        x_alone.add(x.data(), frames);
        y_alone.add(y.data(), frames);
        int64_t x_done = 0, y_done = 0;
        for (int64_t block : {1024, 999, 70000, 1}) {
            for (int i = 0; i < 20 && x_done < frames; ++i) {
                const int64_t n = std::min(block, frames - x_done);
                if (float* room = both.reserve(n, 1)) {
                    std::copy_n(&x[static_cast<size_t>(x_done * channels)], n * channels, room);
                    both.commit(n, 1);
                } else {
                    both.add(&x[static_cast<size_t>(x_done * channels)], n, 1);
                }
                x_done += n;
                const int64_t m = std::min(x_done - 500, frames) - y_done;  // y trails
                if (m > 0) both.add(&y[static_cast<size_t>(y_done * channels)], m, 0);
                y_done += std::max<int64_t>(m, 0);
            }
        }
        both.add(&x[static_cast<size_t>(x_done * channels)], frames - x_done, 1);
        both.add(&y[static_cast<size_t>(y_done * channels)], frames - y_done, 0);
        for (const auto& [paired, alone] : {std::pair{both.figures(1), x_alone.figures()},
                                            {both.figures(0), y_alone.figures()}}) {
            EXPECT_EQ(paired.sample_peak_dbfs, alone.sample_peak_dbfs) << channels;
            EXPECT_EQ(paired.true_peak_dbtp, alone.true_peak_dbtp) << channels;
            EXPECT_NEAR(paired.loudness_lufs, alone.loudness_lufs, 1e-9) << channels;
            EXPECT_NEAR(paired.loudness_range_lu, alone.loudness_range_lu, 1e-9) << channels;
        }
    }
}

}  // namespace
